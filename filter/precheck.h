#pragma once
#include <cstdint>

// A file cut short or overwritten can make the library read past its end
// for ever, or read header bytes as data.  These read the files first, as
// the library will, and stop the run through ERRSTP on such damage only;
// what the library refuses by itself, or dies of, is left to it.

// Returns 0.
int64_t check_mask_file();

// Returns the length of the main header, which bounds the length of the
// library's listing of it (0 when it is not known).
int64_t check_mtz_file();
