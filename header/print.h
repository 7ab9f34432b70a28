#pragma once
#include <cstdint>
#include <cstdio>
#include <string_view>

// Print modes: whether one blank goes before a piece and whether the line
// ends after it. Any other value prints nothing.
constexpr int32_t ENDLIN = 0;
constexpr int32_t GLUED = 1;
constexpr int32_t SPACED = 2;
constexpr int32_t SPCEND = 3;

// Prints an integer with no blanks around it.
void PI(FILE* out, int32_t value, int32_t mode);

// Prints a text without its trailing blanks, leading blanks kept; a text
// that is blank or longer than 255 once trimmed prints nothing.
void PT(FILE* out, std::string_view text, int32_t mode);
