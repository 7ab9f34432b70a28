// Writes a small example mask (mask.map) and MTZ file (in.mtz) into a directory.
#include <cstdio>
#include <exception>

#include "tests/support/fixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  try {
    // h -6..6, k -4..4, l 0..3; every seventh point rejects.
    MaskMap mask;
    mask.start = {-6, -4, 0};
    mask.extent = {13, 9, 4};
    fill(mask, [](int h, int k, int l) { return (h + 2 * k + 3 * l + 100) % 7 == 0; });
    write_mask(dir + "/mask.map", mask);
    // 15 x 9 x 4 reflections: those with h = -7 or 7 lie outside the mask.
    std::vector<std::array<float, 3>> hkl;
    for (int h = -7; h <= 7; ++h)
      for (int k = -4; k <= 4; ++k)
        for (int l = 0; l < 4; ++l)
          hkl.push_back({float(h), float(k), float(l)});
    MtzFile mtz = simple_mtz(hkl);
    mtz.title = "korven example";
    mtz.history = {"made by make_example"};
    write_mtz(dir + "/in.mtz", mtz);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_example: %s\n", e.what());
    return 1;
  }
  return 0;
}
