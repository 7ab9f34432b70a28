#include "filter/mask.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "binding/ccp4lib.h"
#include "filter/errstp.h"

MapHeader open_mask() {
  MapHeader h;
  char title[80];
  std::memset(title, ' ', sizeof title);
  int mxyz[3];
  float cell[6], rhmin, rhmax, rhmean, rhrms;
  int ifail = 0;
  const int iprint = 1;
  mrdhds_(&IFILE, "MSKIN", title, &h.nsec, h.iuvw, mxyz, &h.nw1, &h.nu1, &h.nu2, &h.nv1, &h.nv2,
          cell, &h.MAPSG, &h.mode, &rhmin, &rhmax, &rhmean, &rhrms, &ifail, &iprint, 5,
          sizeof title);
  if (h.mode != 0)
    ERRSTP("MSKIN not of mode=0");
  if (h.iuvw[0] != 1 || h.iuvw[1] != 2 || h.iuvw[2] != 3)
    ERRSTP("MSKIN not in XYZ order");
  return h;
}

namespace {

int64_t extent(int32_t lower, int32_t upper) {
  int64_t n = int64_t(upper) - int64_t(lower) + 1;
  return n > 0 ? n : 0;
}

[[noreturn]] void no_memory(const char* what) {
  std::fflush(stdout);
  std::fprintf(stderr, "\n KORVEN: cannot allocate the mask grid (%s)\n", what);
  std::exit(2);
}

uint8_t* allocate(const int64_t ext[3]) {
  uint64_t size = 1;
  for (int i = 0; i < 3; ++i)
    if (__builtin_mul_overflow(size, uint64_t(ext[i]), &size))
      no_memory("size beyond 64 bits");
  if (size == 0)
    return nullptr;
  if (size > SIZE_MAX)
    no_memory("size beyond the address space");
  void* p = std::malloc(size_t(size));
  if (!p)
    no_memory("out of memory");
  return static_cast<uint8_t*>(p);
}

}  // namespace

void load_grid(const MapHeader& h, MaskGrid& g) {
  int64_t last_section = int64_t(h.nw1) + h.nsec - 1;
  if (last_section > INT_MAX)
    ERRSTP("MSKIN sections numbered beyond 2147483647");
  g.GRDLIM[0][0] = h.nu1;
  g.GRDLIM[1][0] = h.nu2;
  g.GRDLIM[0][1] = h.nv1;
  g.GRDLIM[1][1] = h.nv2;
  g.GRDLIM[0][2] = h.nw1;
  g.GRDLIM[1][2] = int32_t(last_section);
  for (int i = 0; i < 3; ++i)
    g.extent[i] = extent(g.GRDLIM[0][i], g.GRDLIM[1][i]);
  // The library counts a section's bytes in 32 bits.
  if (g.extent[2] > 0 && g.extent[0] * g.extent[1] > INT_MAX)
    ERRSTP("MSKIN sections too large: columns x rows beyond 2147483647");
  g.MASK = allocate(g.extent);
  // Sections of no bytes are not read: the library cannot position them.
  int64_t slab = g.extent[0] * g.extent[1];
  if (slab > 0) {
    for (int64_t i = 0; i < g.extent[2]; ++i) {
      int s = int(h.nw1 + i);
      int ier = 0;
      mposn_(&IFILE, &s);
      mgulp_(&IFILE, g.MASK + i * slab, &ier);
      if (ier != 0)
        ERRSTP("MSKIN unable to read section(s)");
    }
  }
  mrclos_(&IFILE);
}

void free_grid(MaskGrid& g) {
  std::free(g.MASK);
  g.MASK = nullptr;
}
