// STRE, STRB, PI and PT.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <variant>
#include <vector>

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

// Each case prints its pieces in turn, integers through PI, texts through PT.
TEST(Print, Pieces) {
  using Piece = std::pair<std::variant<int32_t, std::string>, int32_t>;
  struct Case {
    std::vector<Piece> pieces;
    std::string expected;
  };
  const std::string x255 = blanks_with(300, 1, 'x').replace(254, 1, "\r");
  const std::string x256 = blanks_with(300, 1, 'x').replace(255, 1, "\r");
  const std::string z200 = blanks_with(300, 200, 'z');
  const Case cases[] = {
      {{{0, ENDLIN}}, "0\n"},
      {{{-7, SPACED}}, " -7"},
      {{{INT_MIN, GLUED}, {INT_MAX, SPCEND}}, "-2147483648 2147483647\n"},
      {{{"a", GLUED}, {"b", 4}, {1, -1}, {2, 4}, {"c", -1}, {"d", ENDLIN}}, "ad\n"},
      {{{"   ", ENDLIN}, {"", SPCEND}, {" \0\r\r "s, ENDLIN}, {"\r", SPCEND}}, ""},
      {{{"  word  ", SPACED}}, "   word"},
      {{{"word\r \0 "s, ENDLIN}}, "word\r\n"},
      {{{"a\rb ", SPCEND}}, " a\rb\n"},
      {{{x255, GLUED}}, "x" + std::string(253, ' ') + "\r"},
      {{{x256, GLUED}}, "x"},
      {{{z200, ENDLIN}}, z200.substr(0, 200) + "\n"},
      {{{blanks_with(300, 256, 'z'), ENDLIN}}, ""},
      {{{std::string(255, 'y'), GLUED}}, std::string(255, 'y')},
      {{{"abc", SPACED}, {1, GLUED}, {"def", SPCEND}}, " abc1 def\n"},
  };
  for (const Case& c : cases) {
    const std::string out = printed([&](FILE* f) {
      for (const auto& [piece, mode] : c.pieces) {
        if (const int32_t* value = std::get_if<int32_t>(&piece))
          PI(f, *value, mode);
        else
          PT(f, std::get<std::string>(piece), mode);
      }
    });
    EXPECT_EQ(out, c.expected) << testing::PrintToString(c.expected);
  }
}
