#include "filter/index_matrix.h"

#include <cstdio>
#include <string_view>

#include "binding/ccp4lib.h"
#include "filter/errstp.h"

namespace {

std::string_view trimmed(const char* text, size_t len) {
  while (len > 0 && text[len - 1] == ' ')
    --len;
  return {text, len};
}

void print_matrix(const char* label, const int32_t m[3][3]) {
  const char* blank21 = "                     ";
  for (int i = 0; i < 3; ++i)
    std::printf("%s%4d%4d%4d\n", i == 1 ? label : blank21, m[i][0], m[i][1], m[i][2]);
}

}  // namespace

void choose_matrix(int MAPSG, int32_t MATHKL[3][3]) {
  int nsym = 0, nspgr = 0;
  char ltype[1] = {' '};
  char SGNAME[10], pgnam[10];
  lrsymi_(&IFILE, &nsym, ltype, &nspgr, SGNAME, pgnam, 1, 10, 10);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      MATHKL[i][j] = i == j;
  std::string_view name = trimmed(SGNAME, sizeof SGNAME);
  if (name == "C 1 2 1" && MAPSG == 4005) {
    MATHKL[0][0] = 0;
    MATHKL[0][2] = 1;
    MATHKL[2][0] = -1;
    print_matrix(" I2 mask and C2 MTZ :", MATHKL);
  } else if (name == "I 1 2 1" && MAPSG == 5) {
    MATHKL[0][2] = -1;
    MATHKL[2][0] = 1;
    MATHKL[2][2] = 0;
    print_matrix(" C2 mask and I2 MTZ :", MATHKL);
  }
}
