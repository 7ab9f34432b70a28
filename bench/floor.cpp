// The library's own cost of the pass: every record of HKLIN read and written
// to HKLOUT, with no mask.  Files are bound through the environment.
#include <cstdio>
#include <vector>

#include "binding/ccp4lib.h"

int main() {
  const int index = 1;
  const int iprint = 1;
  int ifail = 0;
  mtzini_();
  lropen_(&index, "HKLIN", &iprint, &ifail, 5);
  if (ifail != 0) {
    std::fprintf(stderr, "floor: cannot open HKLIN\n");
    return 1;
  }
  int ncol = 0;
  lrncol_(&index, &ncol);
  std::vector<float> adata(ncol > 500 ? size_t(ncol) : 500);
  lwopen_(&index, "HKLOUT", 6);
  float resol = 0;
  int eof = 0;
  long n = 0;
  for (;;) {
    lrrefl_(&index, &resol, adata.data(), &eof);
    if (eof & 1)
      break;
    ++n;
    lwrefl_(&index, adata.data());
  }
  lwclos_(&index, &iprint);
  std::printf("\n Number of reflections read = %10ld\n", n);
  return 0;
}
