// Times the mask load as korven does it: header, every section into one
// block, close.  Prints the median of REPEATS loads in seconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "binding/ccp4lib.h"

namespace {

double load_once() {
  auto start = std::chrono::steady_clock::now();
  const int unit = 1;
  const int iprint = 1;
  char title[80];
  std::memset(title, ' ', sizeof title);
  int nsec = 0, iuvw[3], mxyz[3], nw1 = 0, nu1 = 0, nu2 = 0, nv1 = 0, nv2 = 0;
  int spg = 0, mode = 0, ifail = 0;
  float cell[6], rhmin, rhmax, rhmean, rhrms;
  mrdhds_(&unit, "MSKIN", title, &nsec, iuvw, mxyz, &nw1, &nu1, &nu2, &nv1, &nv2, cell, &spg,
          &mode, &rhmin, &rhmax, &rhmean, &rhrms, &ifail, &iprint, 5, sizeof title);
  size_t slab = size_t(nu2 - nu1 + 1) * size_t(nv2 - nv1 + 1);
  auto* mask = static_cast<unsigned char*>(std::malloc(slab * size_t(nsec)));
  for (int i = 0; i < nsec; ++i) {
    int s = nw1 + i;
    int ier = 0;
    mposn_(&unit, &s);
    mgulp_(&unit, mask + size_t(i) * slab, &ier);
    if (ier != 0) {
      std::fprintf(stderr, "mask_load: cannot read section %d\n", s);
      std::exit(1);
    }
  }
  mrclos_(&unit);
  std::free(mask);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = argc > 1 ? std::atoi(argv[1]) : 9;
  std::vector<double> times;
  for (int i = 0; i < std::max(repeats, 1); ++i)
    times.push_back(load_once());
  std::sort(times.begin(), times.end());
  std::fprintf(stderr, "%.6f\n", times[times.size() / 2]);
  return 0;
}
