#pragma once
#include <cstdint>

#include "filter/mask.h"

struct Counts {
  int32_t NREAD = 0, NOUTSD = 0, NREJCT = 0, NWRITE = 0;
};

// MTZ initialisation and the open of HKLIN, with its listing.
void open_input();

// HKLOUT open, every reflection through the mask, HKLOUT closed.
Counts filter_reflections(const MaskGrid& grid, const int32_t MATHKL[3][3]);

// h, k or l truncated toward zero; NaN or out of range gives -2^31.
int32_t truncate_index(float value);
