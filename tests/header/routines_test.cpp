// STRE, STRB, PI and PT.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "header/print.h"
#include "header/text.h"
#include "tests/header/capture.h"

using namespace std::string_literals;

namespace {

// A text of n blanks with the character c at position pos (from 1).
std::string blanks_with(size_t n, size_t pos, char c) {
  std::string s(n, ' ');
  s[pos - 1] = c;
  return s;
}

}  // namespace

TEST(Text, TrimAndFirstNonBlank) {
  struct Case {
    std::string text;
    int32_t stre, strb;
  };
  const Case cases[] = {
      {"     ", 5, 6},
      {"\0\0\0\0\0"s, 5, 1},
      {" \0\0"s, 3, 2},
      {"abc  ", 3, 1},
      {"abc \0 "s, 3, 1},
      {"ab\r", 3, 1},
      {"ab\r  ", 3, 1},
      {" a  ", 2, 2},
      {"  a", 3, 3},
      {"a", 1, 1},
      {"  abcdefg" + std::string(246, ' '), 9, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(STRE(c.text), c.stre);
    EXPECT_EQ(STRB(c.text), c.strb);
  }
  EXPECT_EQ(STRE(""), 0);
}

TEST(TextDeathTest, FirstNonBlankOfEmptyTextEndsRun) {
  EXPECT_EXIT(STRB(""), testing::ExitedWithCode(0),
              "^ STRB: Greetings from Tavil 1\\. J =            0\n$");
}

TEST(Print, Pieces) {
  struct Case {
    const char* name;
    std::function<void(FILE*)> write;
    std::string expected;
  };
  const std::string text300 = blanks_with(300, 200, 'z');
  const Case cases[] = {
      {"zero", [](FILE* f) { PI(f, 0, ENDLIN); }, "0\n"},
      {"negative", [](FILE* f) { PI(f, -7, SPACED); }, " -7"},
      {"extremes",
       [](FILE* f) {
         PI(f, INT_MIN, GLUED);
         PI(f, INT_MAX, SPCEND);
       },
       "-2147483648 2147483647\n"},
      {"modes out of range keep the line open",
       [](FILE* f) {
         PT(f, "a", GLUED);
         PT(f, "b", 4);
         PI(f, 1, -1);
         PI(f, 2, 4);
         PT(f, "c", -1);
         PT(f, "d", ENDLIN);
       },
       "ad\n"},
      {"blank pieces end no line",
       [](FILE* f) {
         for (int32_t mode : {ENDLIN, GLUED, SPACED, SPCEND}) {
           PT(f, "   ", mode);
           PT(f, "", mode);
           PT(f, " \0\r\r "s, mode);
         }
       },
       ""},
      {"leading blanks kept", [](FILE* f) { PT(f, "  word  ", SPACED); }, "   word"},
      {"carriage return behind the text", [](FILE* f) { PT(f, "word\r \0 "s, ENDLIN); },
       "word\r\n"},
      {"carriage return inside the text", [](FILE* f) { PT(f, "a\rb ", SPCEND); }, " a\rb\n"},
      {"carriage return at 255 kept",
       [](FILE* f) { PT(f, blanks_with(300, 1, 'x').replace(254, 1, "\r"), GLUED); },
       "x" + std::string(253, ' ') + "\r"},
      {"carriage return at 256 dropped",
       [](FILE* f) { PT(f, blanks_with(300, 1, 'x').replace(255, 1, "\r"), GLUED); }, "x"},
      {"300 characters ending at 200", [&](FILE* f) { PT(f, text300, ENDLIN); },
       text300.substr(0, 200) + "\n"},
      {"300 characters ending at 256",
       [](FILE* f) { PT(f, blanks_with(300, 256, 'z'), ENDLIN); }, ""},
      {"255 characters", [](FILE* f) { PT(f, std::string(255, 'y'), GLUED); },
       std::string(255, 'y')},
      {"one line of three pieces",
       [](FILE* f) {
         PT(f, "abc", SPACED);
         PI(f, 1, GLUED);
         PT(f, "def", SPCEND);
       },
       " abc1 def\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(printed(c.write), c.expected) << c.name;
}
