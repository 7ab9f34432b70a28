// End-to-end runs that reach the report: what is written, dropped and counted.
#include <cmath>

#include "tests/filter/filter_case.h"

namespace {

// h -3..3, k -2..2, l 1..4.
MaskMap small_mask() {
  MaskMap m;
  m.start = {-3, -2, 1};
  m.extent = {7, 5, 4};
  set_byte(m, -3, -2, 1, 254);
  set_byte(m, 3, 2, 4, 255);
  set_byte(m, 0, 0, 2, 1);
  set_byte(m, 1, 0, 2, 2);
  set_byte(m, 2, 0, 2, 3);
  return m;
}

struct Probe {
  float h, k, l;
  Verdict expected;
  const char* why;
};

const Probe PROBES[] = {
    {-3, -2, 1, PASSED, "lower corner, byte 254"},
    {3, 2, 4, REJECTED, "upper corner, byte 255"},
    {0, 0, 2, REJECTED, "byte 1"},
    {1, 0, 2, PASSED, "byte 2"},
    {2, 0, 2, REJECTED, "byte 3"},
    {-4, 0, 2, OUTSIDE, "h below"},
    {4, 0, 2, OUTSIDE, "h above"},
    {0, -3, 2, OUTSIDE, "k below"},
    {0, 3, 2, OUTSIDE, "k above"},
    {0, 0, 0, OUTSIDE, "l below"},
    {0, 0, 5, OUTSIDE, "l above"},
    {-0.7f, 1, 2.99f, PASSED, "taken as (0, 1, 2), written as read"},
    {-0.7f, 0, 2, REJECTED, "-0.7 taken as 0"},
    {2.99f, 0, 2, REJECTED, "2.99 taken as 2"},
    {-3.9f, 0, 1, PASSED, "-3.9 taken as -3, not -4"},
    {NAN, 0, 2, OUTSIDE, "NaN in H"},
    {0, NAN, 2, OUTSIDE, "NaN in K"},
    {3e9f, 0, 2, OUTSIDE, "beyond 32 bits"},
    {-1, 1, 3, PASSED, "byte 0"},
};

// Two datasets with their columns interleaved, batches and history.
MtzFile two_dataset_mtz() {
  MtzFile f;
  f.title = "two datasets, interleaved";
  f.datasets = {{1, "proj", "xtal", "native", f.cell, 1.0},
                {2, "proj", "xtal2", "deriv", {51, 61, 71, 90, 101, 90}, 0.9}};
  f.columns = {{"H", 'H', 0},  {"K", 'H', 0},     {"L", 'H', 0},     {"FN", 'F', 1},
               {"FD", 'F', 2}, {"SIGFN", 'Q', 1}, {"SIGFD", 'Q', 2}, {"FREE", 'I', 1}};
  for (int i = 0; i < 3; ++i)
    f.batches.push_back({i + 1, 1, "batch " + std::to_string(i + 1), {}, {}, {"PHI"}});
  f.history = {"KORVEN TEST first history line", "second history line"};
  for (const Probe& p : PROBES) {
    float i = float(f.rows.size());
    f.rows.push_back({p.h, p.k, p.l, 10 + i, 20 + i, 0.5f + i, 0.25f + i, i});
  }
  f.rows[0][4] = NAN;  // a missing value goes out as read
  return f;
}

TEST_F(FilterTest, WritesThePassingRecordsUnderTheInputHeader) {
  MaskMap mask = small_mask();
  for (const Probe& p : PROBES)
    EXPECT_EQ(verdict(mask, {p.h, p.k, p.l}), p.expected) << p.why;
  RunResult r = run(mask, two_dataset_mtz());
  expect_filtered(r, mask);
}

TEST_F(FilterTest, InMemoryModeWritesTheSameFile) {
  run(small_mask(), two_dataset_mtz());
  RunOptions memory;
  memory.env = {{"CMTZ_IN_MEMORY", "1"}};
  RunResult r = run(memory, "memory.mtz");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(read_file(path("memory.mtz")), read_file(path("out.mtz")));
}

TEST_F(FilterTest, EmptyInput) {
  RunResult r = run(small_mask(), simple_mtz());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(last_lines(r.out, 8), report(0, 0, 0));
  size_t written = r.out.find(" WRITTEN OUTPUT MTZ FILE ");
  ASSERT_NE(written, std::string::npos);
  EXPECT_NE(r.out.find(" * Number of Reflections = 0\n", written), std::string::npos);
}

// An empty axis, with sections present or not: every reflection is outside.
TEST_F(FilterTest, EmptyGridsPutEveryReflectionOutside) {
  const std::array<int, 3> extents[] = {{7, 5, 0}, {0, 5, 4}, {7, 0, 4}};
  for (const auto& extent : extents) {
    MaskMap mask = small_mask();
    mask.extent = extent;
    mask.bytes.clear();
    RunResult r = run(mask, simple_mtz({{0, 0, 2}, {-3, -2, 1}, {3, 2, 4}}));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(last_lines(r.out, 8), report(3, 0, 0)) << extent[0] << extent[1] << extent[2];
  }
}

// Sections -20..20 and 11 columns from -5, swept with reflections beyond
// every bound; each neighbour has another byte.
TEST_F(FilterTest, NegativeOrigins) {
  MaskMap mask;
  mask.start = {-5, 0, -20};
  mask.extent = {11, 3, 41};
  fill(mask, [](int h, int k, int l) { return uint8_t((h + 3 * k + 5 * l + 200) % 4); });
  expect_filtered(run(mask, simple_mtz(sweep({-6, -1, -21}, {6, 3, 21}))), mask);
}

TEST_F(FilterTest, MoreThan500Columns) {
  MtzFile f = simple_mtz();
  f.columns.resize(3);
  for (int i = 4; i <= 600; ++i)
    f.columns.push_back({"C" + std::to_string(i), 'R', 1});
  for (float h = -5; h <= 5; ++h) {
    std::vector<float> row = {h, 0, 2};
    for (int i = 4; i <= 600; ++i)
      row.push_back(h * 1000 + float(i));
    f.rows.push_back(row);
  }
  MaskMap mask = small_mask();
  RunResult r = run(mask, f);
  expect_filtered(r, mask);
  MtzFile out = read_mtz(path("out.mtz"));
  ASSERT_EQ(out.columns.back().label, "C600");
  EXPECT_EQ(out.rows.at(0).back(), -2400.f);  // h = -3, the first that passes
}

// A real unmerged multi-record file.
TEST_F(FilterTest, RealUnmergedFile) {
  std::string real = KORVEN_DATA_DIR "/unmerged_c2c_900batches.mtz";
  MtzFile in = read_mtz(real);
  ASSERT_EQ(in.batches.size(), 900u);
  ASSERT_FALSE(in.history.empty());
  MaskMap mask = mask_around(in);
  write_mask(path("mask.map"), mask);
  RunResult r = run_args({"MSKIN", "mask.map", "HKLIN", real, "HKLOUT", "out.mtz"});
  expect_filtered(r, mask, IDENTITY, real);
}

}  // namespace
