#include "header/runhdr.h"

#include <cstdio>

#include "header/banner.h"
#include "header/options.h"

namespace {
constexpr const char* RULE[3] = {
    " #####################################",
    "#####################################",
    "#######################",
};

void rule() { std::printf("%s%s%s\n", RULE[0], RULE[1], RULE[2]); }
}  // namespace

void RUNHDR() {
  SILENT();
  std::fputs("\n\n", stdout);
  rule();
  PRTVER(2);
  std::fputs("\n", stdout);
  rule();
  std::fputs("\n\n", stdout);
}
