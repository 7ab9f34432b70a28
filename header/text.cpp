#include "header/text.h"

#include <cstdio>
#include <cstdlib>

int32_t STRE(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0'))
    --n;
  return int32_t(n > 0 ? n : text.size());
}

int32_t STRB(std::string_view text) {
  const int32_t n = STRE(text);
  if (n <= 0) {
    std::fprintf(stderr, " STRB: Greetings from Tavil 1. J = %12d\n", n);
    std::exit(0);
  }
  int32_t i = 0;
  while (i < n && text[size_t(i)] == ' ')
    ++i;
  return i + 1;
}
