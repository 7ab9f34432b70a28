#include "filter/errstp.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

void ERRSTP(std::string_view message) {
  size_t len = message.size();
  while (len > 0 && message[len - 1] == ' ')
    --len;
  const int n = int(len);
  std::printf("\n ERROR: %.*s\n\n", n, message.data());
  std::fflush(stdout);
  if (!(isatty(STDOUT_FILENO) && isatty(STDERR_FILENO)))
    std::fprintf(stderr, "\n ERROR: %.*s\n\n", n, message.data());
  std::fflush(stderr);
  std::fputs("1\n", stderr);
  std::exit(1);
}
