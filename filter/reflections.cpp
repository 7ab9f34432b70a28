#include "filter/reflections.h"

#include <cstdlib>
#include <vector>

#include "binding/ccp4lib.h"
#include "filter/contain.h"
#include "filter/errstp.h"

void open_input() {
  mtzini_();
  // In its in-memory mode the library does not pass written records on to
  // an output opened over the input's header.
  unsetenv("CMTZ_IN_MEMORY");
  const int iprint = 1;
  int ifail = 0;
  lropen_(&IFILE, "HKLIN", &iprint, &ifail, 5);
  if (ifail != 0)
    ERRSTP("HKLIN unable to open file");
}

int32_t truncate_index(float value) {
  double d = value;
  if (d > -2147483649.0 && d < 2147483648.0)
    return int32_t(d);
  return INT32_MIN;
}

namespace {

enum Verdict { OUTSIDE, REJECTED, PASSED };

// The loop's own copy of the grid and the matrix: a local that the library
// calls cannot reach, so nothing is reloaded from memory for each record.
struct Lookup {
  int64_t lower[3];
  uint64_t extent[3];
  int64_t m[3][3];
  const uint8_t* mask;
};

Lookup lookup_of(const MaskGrid& g, const int32_t M[3][3]) {
  Lookup t;
  for (int i = 0; i < 3; ++i) {
    t.lower[i] = g.GRDLIM[0][i];
    t.extent[i] = uint64_t(g.extent[i]);
    for (int j = 0; j < 3; ++j)
      t.m[i][j] = M[i][j];
  }
  t.mask = g.MASK;
  return t;
}

// A point below its axis's lower bound wraps to beyond every extent, so one
// unsigned comparison per axis tests both bounds.
Verdict judge(const float* adata, const Lookup& t) {
  const int64_t h = truncate_index(adata[0]), k = truncate_index(adata[1]),
                l = truncate_index(adata[2]);
  uint64_t d[3];
  for (int j = 0; j < 3; ++j) {
    d[j] = uint64_t(h * t.m[0][j] + k * t.m[1][j] + l * t.m[2][j] - t.lower[j]);
    if (d[j] >= t.extent[j])
      return OUTSIDE;
  }
  return (t.mask[(d[2] * t.extent[1] + d[1]) * t.extent[0] + d[0]] & 1) ? REJECTED : PASSED;
}

// The library fills one value per input column.
std::vector<float> record_buffer() {
  int ncol = 0;
  lrncol_(&IFILE, &ncol);
  return std::vector<float>(ncol > 500 ? size_t(ncol) : 500, 0.0f);
}

}  // namespace

Counts filter_reflections(const MaskGrid& grid, const int32_t MATHKL[3][3]) {
  std::vector<float> ADATA = record_buffer();
  open_output([] { lwopen_(&IFILE, "HKLOUT", 6); });
  const Lookup lookup = lookup_of(grid, MATHKL);
  Counts n;
  float resol = 0;
  int eof = 0;
  for (;;) {
    lrrefl_(&IFILE, &resol, ADATA.data(), &eof);
    if (eof & 1)
      break;
    ++n.NREAD;
    switch (judge(ADATA.data(), lookup)) {
      case OUTSIDE: ++n.NOUTSD; break;
      case REJECTED: ++n.NREJCT; break;
      case PASSED:
        ++n.NWRITE;
        lwrefl_(&IFILE, ADATA.data());
        break;
    }
  }
  enter_stage(Stage::HKLOUT_CLOSE);
  const int iprint = 1;
  lwclos_(&IFILE, &iprint);
  return n;
}
