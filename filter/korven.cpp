#include "filter/korven.h"

#include <sys/stat.h>

#include <cstdio>

#include "filter/contain.h"
#include "filter/files.h"
#include "filter/index_matrix.h"
#include "filter/mask.h"
#include "filter/precheck.h"
#include "filter/reflections.h"
#include "filter/startup.h"
#include "header/runhdr.h"

namespace {

// CPU seconds for the library's read of a header, beyond one second per
// 64 MiB of the file: a normal read takes a small part of that.
constexpr int64_t HEADER_SECONDS = 3;

int64_t file_size(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 ? int64_t(st.st_size) : 0;
}

}  // namespace

void report(const Counts& n) {
  std::printf("\n");
  std::printf(" Number of reflections read = %10d\n", n.NREAD);
  std::printf(" outside mask limits        = %10d\n", n.NOUTSD);
  std::printf(" rejected by mask           = %10d\n", n.NREJCT);
  std::printf(" written to output          = %10d\n", n.NWRITE);
  std::printf("\n Normal termination \n\n");
}

void KORVEN() {
  RUNHDR();
  CCPFYP();
  enter_stage(Stage::MSKIN_HEADER);
  limit_cpu(HEADER_SECONDS);
  apart(check_mask_file);
  MapHeader header = open_mask();
  const int64_t main_header = apart(check_mtz_file);
  enter_stage(Stage::HKLIN_HEADER);
  // The input's listing now and the output's at the end; neither is longer
  // than the main header.
  allow_log(2 * main_header);
  limit_cpu(HEADER_SECONDS + file_size(logical_file("HKLIN")) / (64 << 20));
  open_input();
  lift_cpu_limit();
  int32_t MATHKL[3][3];
  choose_matrix(header.MAPSG, MATHKL);
  enter_stage(Stage::MSKIN_SECTIONS);
  MaskGrid grid;
  load_grid(header, grid);
  check_output_is_new_file();
  enter_stage(Stage::REFLECTIONS);
  Counts counts = filter_reflections(grid, MATHKL);
  free_grid(grid);
  report(counts);
}
