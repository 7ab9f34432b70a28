#include "header/banner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "header/build_fields.h"
#include "header/print.h"
#include "header/text.h"

namespace {

constexpr size_t FIELD = 255;

Ivers IVERS;
char PLATFM[FIELD];
char BLDDAT[FIELD];
char BLDTIM[FIELD];

constexpr std::string_view RELSUF[4] = {"test ", "alpha", "beta ", "     "};
constexpr std::string_view TITLES[2][3] = {
    {"KORVEN: mask multi-record MTZ files", "", ""},
    {"KORVEN: mask multi-record MTZ files", "", ""},
};
constexpr std::string_view PRGNAM = "KORVEN";

void fill(char (&field)[FIELD], std::string_view text) {
  std::memset(field, ' ', FIELD);
  std::memcpy(field, text.data(), std::min(text.size(), FIELD));
}

bool blank(std::string_view line) {
  return line.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

void print_version_line(const Ivers& v, std::string_view platform, std::string_view date,
                        std::string_view time) {
  PT(stdout, "Version     :", SPACED);
  PT(stdout, PRGNAM, SPACED);
  PI(stdout, v.IVMAJ, SPACED);
  PT(stdout, ".", GLUED);
  PI(stdout, v.IVMIN, GLUED);
  PT(stdout, ".", GLUED);
  PI(stdout, v.IVPAT, GLUED);
  if (v.IVTYPE >= 3 && v.IVRC >= 1) {
    PT(stdout, "-rc", GLUED);
    PI(stdout, v.IVRC, GLUED);
  } else {
    PT(stdout, RELSUF[v.IVTYPE - 1], GLUED);
  }
  PT(stdout, "for", SPACED);
  const int32_t first = STRB(platform);
  const int32_t last = STRE(platform);
  if (last >= first)
    PT(stdout, platform.substr(size_t(first - 1), size_t(last - first + 1)), SPACED);
  PT(stdout, "made on", SPACED);
  PT(stdout, date, SPACED);
  PT(stdout, "at", SPACED);
  PT(stdout, time, SPCEND);
}

void PRTVER(int32_t mode) {
  IVERS = {4, 0, 1, 0, 0};
  fill(PLATFM, KORVEN_PLATFM);
  fill(BLDDAT, KORVEN_BLDDAT);
  fill(BLDTIM, KORVEN_BLDTIM);
  if (mode != 1 && mode != 2)
    return;
  std::fputs("\n\n\n", stdout);
  // A blank title line ends the line that the title before it left open.
  for (std::string_view line : TITLES[mode - 1]) {
    if (blank(line))
      std::fputs(" \n", stdout);
    else
      PT(stdout, line, SPACED);
  }
  std::fputs("\n\n", stdout);
  print_version_line(IVERS, std::string_view(PLATFM, FIELD), std::string_view(BLDDAT, FIELD),
                     std::string_view(BLDTIM, FIELD));
}
