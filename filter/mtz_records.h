#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Header records of an MTZ file on which the library crashes or loops.

// SYMINF: space-group and point-group names that fit the library's fields.
bool syminf_record_ok(const std::string& record);

// SYMM: text whose number parsing ends and whose rotation part is -1, 0 or 1.
bool symm_record_ok(const std::string& record);

// The records after END: history and batch headers, each whole, up to the
// end record.
bool tail_ok(const char* data, size_t size);
