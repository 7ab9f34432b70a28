#pragma once
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Header records of an MTZ file on which the library crashes or loops.

// Splits a record as the library's parser does: blanks, tabs, commas and
// '=' separate; quotes around a token hold it together; a NUL, '!' or '#'
// ends the record.
std::vector<std::string> tokens(const std::string& record);

// A record whose last word is "-" or "&", which the library joins to the
// next one; in the main header it has crashed or hung the library with a
// PROJECT, DATASET or END record.
bool continued(const std::string& record);

// What the library keys a record by: the first four characters of its
// first word, in upper case.
std::string record_key(const std::string& record);

// The END record of the main header: the word END alone.  The library
// reads on for ever after some others that begin with it.
bool end_record(const std::string& record);

// SYMINF: counts, lattice letter and space-group number as plain words,
// and names that fit the library's fields.
bool syminf_record_ok(const std::string& record);

// A key that begins with END: any record but END itself that does has
// ended the library's main header early.
bool starts_end(const std::string& key);

// SORT: plain column numbers, none beyond `columns`.
bool sort_record_ok(const std::string& record, int64_t columns);

// Control characters other than tab before any NUL: the library's parser
// and this one part ways on them.
bool control_bytes(const std::string& record);

// SYMM: text whose number parsing ends and whose numbers are at most 1.
bool symm_record_ok(const std::string& record);

// PROJECT, CRYSTAL and DATASET records.  The library crashes on dataset
// 0 named other than HKL_base, and on a project or dataset left without
// the others of its id; files name every dataset in all three, in that
// order and in fixed columns.
struct DatasetRecords {
  std::set<long> ids[3];
  long last[3] = {-1, -1, -1};
  // False for a record out of its columns, or of dataset 0 with another name.
  bool add(const std::string& record);
  bool consistent() const;
};

// CELL and DCELL: an edge a above 0.001, without which the library sets up
// nothing to compute resolutions from for that crystal.  With no such cell
// at all, reading a reflection follows an unset pointer.
bool usable_cell(const std::string& record);

// The records after END: history and `batches` batch headers, up to the
// record that ends the header, read as the library reads them.
bool tail_ok(const char* data, size_t size, int64_t batches);
