#pragma once
#include <cstdint>

// Damaged files can make the library loop for ever or crash inside its
// open; these read just enough of each file first to know it can be read.

// Stops the run through ERRSTP unless the map on MSKIN is sound.
void check_mask_file();

// Stops the run through ERRSTP unless the MTZ file on HKLIN is sound.
int64_t check_mtz_file();
