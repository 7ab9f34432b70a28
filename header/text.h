#pragma once
#include <cstdint>
#include <string_view>

// Length of a text without its trailing blanks and NULs; a text of blanks
// and NULs only keeps its full length.
int32_t STRE(std::string_view text);

// Position (from 1) of the first non-blank among the first STRE(text)
// characters, STRE(text) + 1 when there is none. An empty text ends the run.
int32_t STRB(std::string_view text);
