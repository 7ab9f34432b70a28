#pragma once
#include <cstdint>

// Sets the library's verbosity (0 to 9; other values only query it) and
// returns the level in force.
int32_t VERBLV(int32_t level);

// Verbosity 0 until the library's start-up sets it again, and HTML and
// summary markup off for the whole run.
void SILENT();
