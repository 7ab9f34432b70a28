#pragma once

// Damaged files can make the library loop for ever or crash inside its
// open; these read just enough of each file first to know it can be read.

// Stops the run through ERRSTP unless the map on MSKIN is sound.
void check_mask_file();

// Stops the run through ERRSTP unless the MTZ file on HKLIN is sound.
void check_mtz_file();
