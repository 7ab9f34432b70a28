// PRTVER and the version line, printed on stdout.
#include "header/banner.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/header/capture.h"
#include "tests/support/run.h"

namespace {

std::string field(const std::string& text) {
  return text + std::string(255 - text.size(), ' ');
}

}  // namespace

TEST(Banner, OnlyModesOneAndTwoPrintTheSameBanner) {
  const std::string two = stdout_of([] { PRTVER(2); });
  EXPECT_EQ(stdout_of([] { PRTVER(1); }), two);
  EXPECT_EQ(lines_of(two).size(), 8u);
  for (int32_t mode : {0, 3, 4, -1})
    EXPECT_EQ(stdout_of([mode] { PRTVER(mode); }), "") << mode;
}

TEST(Banner, VersionLine) {
  struct Case {
    Ivers v;
    std::string platform, date, time;
    std::string expected;
  };
  const std::string tail = " for x86 made on Mar 05 2021 at 03:02:37\n";
  const Case cases[] = {
      {{1, 0, 1, 0, 7}, "x86", "Mar 05 2021", "03:02:37", " 0.1.0test" + tail},
      {{2, 0, 1, 0, 7}, "x86", "Mar 05 2021", "03:02:37", " 0.1.0alpha" + tail},
      {{3, 0, 1, 0, 0}, "x86", "Mar 05 2021", "03:02:37", " 0.1.0beta" + tail},
      {{3, 0, 1, 0, 2}, "x86", "Mar 05 2021", "03:02:37", " 0.1.0-rc2" + tail},
      {{4, 0, 1, 0, -1}, "x86", "Mar 05 2021", "03:02:37", " 0.1.0" + tail},
      {{4, 10, 0, 12, 12}, "x86", "Mar 05 2021", "03:02:37", " 10.0.12-rc12" + tail},
      {{4, 0, 1, 0, 0},
       "  x86 64",
       "Mar 05 2021",
       "03:02:37",
       " 0.1.0 for x86 64 made on Mar 05 2021 at 03:02:37\n"},
      {{4, 0, 1, 0, 0}, "", " Mar 05", "  03", " 0.1.0 for made on  Mar 05 at   03\n"},
  };
  for (const Case& c : cases) {
    const std::string line = stdout_of(
        [&] { print_version_line(c.v, field(c.platform), field(c.date), field(c.time)); });
    EXPECT_EQ(line, " Version     : KORVEN" + c.expected);
  }
}
