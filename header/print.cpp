#include "header/print.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "binding/ccp4lib.h"
#include "header/text.h"

namespace {

constexpr size_t FIELD = 255;
char PIFLD[FIELD];
char PTFLD[FIELD];

// A piece with no line end is left open for whatever the stream gets next.
void put(FILE* out, const char* piece, size_t n, int32_t mode) {
  if (mode < ENDLIN || mode > SPCEND)
    return;
  if (mode == SPACED || mode == SPCEND)
    std::fputc(' ', out);
  std::fwrite(piece, 1, n, out);
  if (mode == ENDLIN || mode == SPCEND)
    std::fputc('\n', out);
}

}  // namespace

void PI(FILE* out, int32_t value, int32_t mode) {
  std::memset(PIFLD, ' ', FIELD);
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", value);
  std::memcpy(PIFLD + 1, digits, size_t(n));
  const int32_t first = STRB(std::string_view(PIFLD, FIELD));
  const int32_t last = lenstr_(PIFLD, FIELD);
  if (first <= 0 || last <= 0 || first > last) {
    std::fprintf(stderr, " PI: Greetings from Tavil 1%12d%12d\n", first, last);
    std::exit(0);
  }
  put(out, PIFLD + first - 1, size_t(last - first + 1), mode);
}

void PT(FILE* out, std::string_view text, int32_t mode) {
  const int32_t len = text.empty() ? 0 : lenstr_(text.data(), text.size());
  if (len <= 0 || len > int32_t(FIELD))
    return;
  std::memset(PTFLD, ' ', FIELD);
  std::memcpy(PTFLD, text.data(), std::min(text.size(), FIELD));
  // Trailing carriage returns that lenstr_ looked past are printed.
  const int32_t k = std::clamp(STRE(std::string_view(PTFLD, FIELD)), 1, int32_t(FIELD));
  put(out, PTFLD, size_t(k), mode);
}
