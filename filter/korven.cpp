#include "filter/korven.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "filter/index_matrix.h"
#include "filter/mask.h"
#include "filter/reflections.h"
#include "filter/startup.h"
#include "header/runhdr.h"

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

namespace {

void report(const Counts& n) {
  std::printf("\n");
  std::printf(" Number of reflections read = %10d\n", n.NREAD);
  std::printf(" outside mask limits        = %10d\n", n.NOUTSD);
  std::printf(" rejected by mask           = %10d\n", n.NREJCT);
  std::printf(" written to output          = %10d\n", n.NWRITE);
  std::printf("\n Normal termination \n\n");
}

}  // namespace

void KORVEN() {
  RUNHDR();
  CCPFYP();
  MapHeader header = open_mask();
  open_input();
  int32_t MATHKL[3][3];
  choose_matrix(header.MAPSG, MATHKL);
  MaskGrid grid;
  load_grid(header, grid);
  Counts counts = filter_reflections(grid, MATHKL);
  free_grid(grid);
  report(counts);
}
