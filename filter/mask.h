#pragma once
#include <cstddef>
#include <cstdint>

// What the program keeps of the mask map's header.
struct MapHeader {
  int nsec = 0;
  int iuvw[3] = {0, 0, 0};
  int nw1 = 0;           // first section
  int nu1 = 0, nu2 = 0;  // first and last column
  int nv1 = 0, nv2 = 0;  // first and last row
  int MAPSG = 0;
  int mode = 0;
};

// One byte per grid point over GRDLIM, h fastest, then k, then l.
struct MaskGrid {
  int32_t GRDLIM[2][3] = {};  // [0] lower, [1] upper bound of h, k, l
  int64_t extent[3] = {0, 0, 0};
  uint8_t* MASK = nullptr;
};

MapHeader open_mask();
void load_grid(const MapHeader& header, MaskGrid& grid);
void free_grid(MaskGrid& grid);
