#include "filter/precheck.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "filter/errstp.h"
#include "filter/files.h"
#include "filter/mtz_records.h"

namespace {

// Part of a file, with the byte order of its machine stamp.
struct Bytes {
  std::vector<char> data;
  bool big_endian = false;

  int32_t word(size_t offset) const {
    unsigned char c[4];
    std::memcpy(c, data.data() + offset, 4);
    if (big_endian)
      return int32_t(uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | c[3]);
    return int32_t(uint32_t(c[3]) << 24 | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0]);
  }
  int64_t word64(size_t offset) const {
    uint64_t first = uint32_t(word(offset)), second = uint32_t(word(offset + 4));
    return int64_t(big_endian ? first << 32 | second : second << 32 | first);
  }
};

// Reads up to `count` bytes from `offset`; false when the file cannot be
// opened, which is left to the library's own refusal.
bool read_part(std::ifstream& in, int64_t offset, size_t count, Bytes& b) {
  if (!in)
    return false;
  b.data.resize(count);
  in.seekg(offset);
  in.read(b.data.data(), std::streamsize(count));
  b.data.resize(size_t(in.gcount()));
  in.clear();
  return true;
}

int64_t file_size(std::ifstream& in) {
  in.seekg(0, std::ios::end);
  return int64_t(in.tellg());
}

void map_fault(const std::string& what) { ERRSTP("MSKIN header damaged: " + what); }

}  // namespace

void check_mask_file() {
  std::ifstream in(logical_file("MSKIN"), std::ios::binary);
  Bytes b;
  if (!read_part(in, 0, 1024, b) || b.data.size() < 1024)
    return;
  int64_t room = file_size(in) - 1024;
  // The second byte of the machine stamp gives the order of integers.
  b.big_endian = (uint8_t(b.data[213]) >> 4) == 1;
  for (size_t i = 0; i < 3; ++i) {
    if (int64_t(b.word(16 + 4 * i)) + b.word(4 * i) - 1 > INT_MAX)
      map_fault("grid numbered beyond 2147483647");
  }
  int32_t labels = b.word(220);
  if (labels < 0 || labels > 10)
    map_fault("label count " + std::to_string(labels) + ", not 0 to 10");
  int64_t symmetry = b.word(92);
  if (symmetry < 0)
    map_fault("symmetry record of " + std::to_string(symmetry) + " bytes");
  if (symmetry > room)
    map_fault("symmetry record runs past the end of the file");
  // The library's listing names each axis by its number in the axis order,
  // and crashes on a number far from 1 to 3.
  for (size_t i = 0; i < 3; ++i) {
    int32_t axis = b.word(64 + 4 * i);
    if (axis < 1 || axis > 3)
      ERRSTP(b.word(12) != 0 ? "MSKIN not of mode=0" : "MSKIN not in XYZ order");
  }
}

namespace {

[[noreturn]] void mtz_fault() { ERRSTP("HKLIN unable to open file"); }

// Walks the main header records to their END record and checks that the
// columns agree with NCOL and name declared datasets, and that the
// reflections that NCOL promises fit before the header.  Returns the
// position after END and sets the batch count.
size_t check_main_header(const Bytes& b, int64_t data_bytes, int64_t& nbat) {
  int64_t ncol = -1, nref = -1, columns = 0, hkl_columns = 0, symm = 0;
  bool cell = false;
  DatasetRecords sets;
  std::set<std::string> datasets = {"0"}, used;
  size_t pos = 0;
  for (;; pos += 80) {
    if (pos + 80 > b.data.size())
      mtz_fault();
    std::string rec(b.data.data() + pos, 80);
    if (end_record(rec))
      break;
    // The library keys some records by their first columns, others by
    // their first word: every record must begin in column 1.
    if (std::strchr(" \t,=", rec[0]))
      mtz_fault();
    std::vector<std::string> w = tokens(rec);
    std::string key = record_key(rec);
    if (key == "NCOL" && w.size() >= 3) {
      ncol = std::atoll(w[1].c_str());
      nref = std::atoll(w[2].c_str());
      nbat = w.size() > 3 ? std::atoll(w[3].c_str()) : 0;
    } else if (key == "COLU") {
      // The library takes any COLU... record for a column and overruns its
      // buffers on one that does not read: COLUMN label type min max dataset.
      if (w.size() != 6 || w[0] != "COLUMN" || w[1].size() > 30 || w[2].size() != 1)
        mtz_fault();
      ++columns;
      hkl_columns += w[2] == "H";
      used.insert(w[5]);
      // Records the library crashes or hangs on (see mtz_records.h): a
      // word that begins with END, sort keys beyond the columns, a VALM
      // record without a plain value, and a backslash or a control
      // character in any but the title.  A title may end in a dash.
    } else if ((starts_end(key) && !end_record(rec)) ||
               (key == "SORT" && !sort_record_ok(rec, ncol)) ||
               (key != "TITL" &&
                (continued(rec) || control_bytes(rec) || rec.find('\\') != rec.npos)) ||
               (key == "SYMI" && !syminf_record_ok(rec)) ||
               (key == "SYMM" && (++symm > 192 || !symm_record_ok(rec))) ||
               (key == "VALM" && (w.size() < 2 || rec.find_first_of("'\"") != rec.npos)) ||
               !sets.add(rec)) {
      mtz_fault();
    } else if (key == "CELL" || key == "DCEL") {
      cell = cell || usable_cell(rec);
    } else if (key == "DATA" && w.size() >= 2) {
      datasets.insert(w[1]);
    }
  }
  for (const std::string& id : used)
    if (!datasets.count(id))
      mtz_fault();
  // The library crashes while it looks for the H, K and L columns, or
  // when it reads a reflection with no usable cell (see usable_cell).
  if (hkl_columns < 3 || !cell || !sets.consistent())
    mtz_fault();
  if (ncol < 0 || nref < 0 || columns != ncol || ncol > (1 << 20) ||
      (ncol > 0 && nref > data_bytes / 4 / ncol))
    mtz_fault();
  return pos + 80;
}

}  // namespace

int64_t check_mtz_file() {
  std::ifstream in(logical_file("HKLIN"), std::ios::binary);
  Bytes b;
  if (!read_part(in, 0, 80, b))
    return 0;
  if (b.data.size() < 80 || std::memcmp(b.data.data(), "MTZ ", 4) != 0)
    mtz_fault();
  b.big_endian = (uint8_t(b.data[9]) >> 4) == 1;
  int64_t word = b.word(4);
  if (word == -1)
    word = b.word64(12);
  int64_t size = file_size(in);
  if (word < 21 || word > size / 4)
    mtz_fault();
  int64_t header = (word - 1) * 4;
  Bytes tail;
  tail.big_endian = b.big_endian;
  read_part(in, header, size_t(size - header), tail);
  int64_t nbat = 0;
  size_t pos = check_main_header(tail, header - 80, nbat);
  if (!tail_ok(tail.data.data() + pos, tail.data.size() - pos, nbat))
    mtz_fault();
  return size - header;
}
