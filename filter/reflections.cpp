#include "filter/reflections.h"

#include <cstdlib>
#include <vector>

#include "binding/ccp4lib.h"
#include "filter/files.h"
#include "filter/korven.h"
#include "filter/precheck.h"

void open_input() {
  mtzini_();
  // In its in-memory mode the library does not pass written records on to
  // an output opened over the input's header.
  unsetenv("CMTZ_IN_MEMORY");
  check_mtz_file();
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

Verdict judge(const float* adata, const MaskGrid& g, const int32_t M[3][3]) {
  int64_t hkl[3];
  for (int i = 0; i < 3; ++i)
    hkl[i] = truncate_index(adata[i]);
  int64_t offset = 0;
  int64_t stride = 1;
  for (int j = 0; j < 3; ++j) {
    int64_t p = hkl[0] * M[0][j] + hkl[1] * M[1][j] + hkl[2] * M[2][j];
    if (p < g.GRDLIM[0][j] || p > g.GRDLIM[1][j])
      return OUTSIDE;
    offset += (p - g.GRDLIM[0][j]) * stride;
    stride *= g.extent[j];
  }
  return (g.MASK[offset] & 1) ? REJECTED : PASSED;
}

// The library fills one value per input column.
std::vector<float> record_buffer() {
  int ncol = 0;
  lrncol_(&IFILE, &ncol);
  return std::vector<float>(ncol > 500 ? size_t(ncol) : 500, 0.0f);
}

}  // namespace

Counts filter_reflections(const MaskGrid& grid, const int32_t MATHKL[3][3]) {
  check_output_is_new_file();
  std::vector<float> ADATA = record_buffer();
  lwopen_(&IFILE, "HKLOUT", 6);
  Counts n;
  float resol = 0;
  int eof = 0;
  for (;;) {
    lrrefl_(&IFILE, &resol, ADATA.data(), &eof);
    if (eof & 1)
      break;
    ++n.NREAD;
    switch (judge(ADATA.data(), grid, MATHKL)) {
      case OUTSIDE: ++n.NOUTSD; break;
      case REJECTED: ++n.NREJCT; break;
      case PASSED:
        ++n.NWRITE;
        lwrefl_(&IFILE, ADATA.data());
        break;
    }
  }
  const int iprint = 1;
  lwclos_(&IFILE, &iprint);
  return n;
}
