// The change of setting between an I2 and a C2 mask and the reflections.
#include "tests/filter/filter_case.h"

namespace {

constexpr Matrix I2_MASK = {{{0, 0, 1}, {0, 1, 0}, {-1, 0, 1}}};  // (h,k,l) -> (-l, k, h+l)
constexpr Matrix C2_MASK = {{{1, 0, -1}, {0, 1, 0}, {1, 0, 0}}};  // (h,k,l) -> (h+l, k, -h)

const std::vector<std::string> I2_LINES = {"                        0   0   1",
                                           " I2 mask and C2 MTZ :   0   1   0",
                                           "                       -1   0   1"};
const std::vector<std::string> C2_LINES = {"                        1   0  -1",
                                           " C2 mask and I2 MTZ :   0   1   0",
                                           "                        1   0   0"};

// The three lines after the input's header listing, which ends with the
// space group and an empty line.
std::vector<std::string> after_input_listing(const std::string& log) {
  std::vector<std::string> lines = lines_of(log);
  for (size_t i = 0; i + 4 < lines.size(); ++i)
    if (lines[i].rfind(" * Space group = ", 0) == 0 && lines[i + 1].empty())
      return {lines.begin() + long(i) + 2, lines.begin() + long(i) + 5};
  return {};
}

struct Setting {
  int map_spacegroup;
  const char* symbol;
  const char* name_in_file;  // the symbol when empty
  const Matrix& matrix;
  const std::vector<std::string>* lines;
};

const Setting SETTINGS[] = {
    {4005, "C 1 2 1", "", I2_MASK, &I2_LINES},
    {5, "I 1 2 1", "", C2_MASK, &C2_LINES},
    {405, "I 1 2 1", "", C2_MASK, &C2_LINES},  // the map reader reports 405 as 5
    {4005, "I 1 2 1", "", IDENTITY, nullptr},
    {5, "C 1 2 1", "", IDENTITY, nullptr},
    {4005, "C 1 2 1", " C 1 2 1", IDENTITY, nullptr},
    {4005, "C 1 2 1", "c 1 2 1", IDENTITY, nullptr},
    {4005, "C 1 2 1", "C121", IDENTITY, nullptr},
    {4005, "C 1 2 1", "C 1 2 1   X", I2_MASK, &I2_LINES},  // cut to 10 characters
    {1, "C 1 2 1", "", IDENTITY, nullptr},
};

// Reflections all round a small grid, so that some inside it map outside
// and some outside map inside.
TEST_F(FilterTest, ChangesOfSetting) {
  MaskMap mask;
  mask.start = {-3, -1, -2};
  mask.extent = {7, 3, 6};
  fill(mask, [](int h, int k, int l) { return (h * 2 + k + l * 3 + 100) % 3 == 0; });
  const auto hkl = sweep({-5, -2, -5}, {5, 2, 5});
  // (3, 0, 3) lies inside but maps to (-3, 0, 6); (-4, 0, 2) the reverse.
  EXPECT_NE(verdict(mask, {3, 0, 3}), OUTSIDE);
  EXPECT_EQ(verdict(mask, {3, 0, 3}, I2_MASK), OUTSIDE);
  EXPECT_EQ(verdict(mask, {-4, 0, 2}), OUTSIDE);
  EXPECT_NE(verdict(mask, {-4, 0, 2}, I2_MASK), OUTSIDE);
  for (const Setting& s : SETTINGS) {
    SCOPED_TRACE(std::to_string(s.map_spacegroup) + " '" + s.name_in_file + "' " + s.symbol);
    mask.spacegroup = s.map_spacegroup;
    MtzFile in = simple_mtz(hkl);
    in.spacegroup = s.symbol;
    in.spacegroup_text = s.name_in_file;
    RunResult r = run(mask, in);
    expect_filtered(r, mask, s.matrix);
    if (s.lines)
      EXPECT_EQ(after_input_listing(r.out), *s.lines);
    else
      EXPECT_EQ(r.out.find(" mask and "), std::string::npos);
  }
}

// A real "C 1 2 1" file through an I2 mask.
TEST_F(FilterTest, RealC2FileThroughAnI2Mask) {
  std::string real = KORVEN_DATA_DIR "/merged_c121.mtz";
  MtzFile in = read_mtz(real);
  ASSERT_EQ(in.spacegroup, "C 1 2 1");
  MaskMap mask = mask_around(in, I2_MASK);
  mask.spacegroup = 4005;
  write_mask(path("mask.map"), mask);
  RunResult r = run_args({"MSKIN", "mask.map", "HKLIN", real, "HKLOUT", "out.mtz"});
  expect_filtered(r, mask, I2_MASK, real);
  EXPECT_EQ(after_input_listing(r.out), I2_LINES);
}

}  // namespace
