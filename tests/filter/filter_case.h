// What the filter tests share: a run of korven on files in a temporary
// directory, and the verdict that each reflection should get.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"
#include "tests/support/run.h"

enum Verdict { OUTSIDE, REJECTED, PASSED };

using Matrix = std::array<std::array<long, 3>, 3>;
constexpr Matrix IDENTITY = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// An index as the filter takes it: truncated, and a NaN far outside any grid.
inline long index_of(float x) {
  return std::isnan(x) || std::fabs(x) >= 2147483648.0f ? -2147483648L : long(std::trunc(x));
}

// The verdict of the reflection (h, k, l): the row vector times m, looked up.
inline Verdict verdict(const MaskMap& map, const std::vector<float>& row,
                       const Matrix& m = IDENTITY) {
  long hkl[3] = {index_of(row[0]), index_of(row[1]), index_of(row[2])};
  long p[3];
  for (int j = 0; j < 3; ++j) {
    p[j] = hkl[0] * m[0][j] + hkl[1] * m[1][j] + hkl[2] * m[2][j] - map.start[j];
    if (p[j] < 0 || p[j] >= map.extent[j])
      return OUTSIDE;
  }
  size_t at = size_t(p[0] + map.extent[0] * (p[1] + map.extent[1] * p[2]));
  return at < map.bytes.size() && (map.bytes[at] & 1) ? REJECTED : PASSED;
}

// Every (h, k, l) from lo to hi.
inline std::vector<std::array<float, 3>> sweep(std::array<int, 3> lo, std::array<int, 3> hi) {
  std::vector<std::array<float, 3>> hkl;
  for (int h = lo[0]; h <= hi[0]; ++h)
    for (int k = lo[1]; k <= hi[1]; ++k)
      for (int l = lo[2]; l <= hi[2]; ++l)
        hkl.push_back({float(h), float(k), float(l)});
  return hkl;
}

// A mask one short, on every side, of the range of the grid points of these
// reflections, with a pattern of bytes 0 to 3.
inline MaskMap mask_around(const MtzFile& in, const Matrix& m = IDENTITY) {
  std::array<long, 3> lo, hi;
  for (size_t i = 0; i < in.rows.size(); ++i)
    for (int j = 0; j < 3; ++j) {
      const auto& r = in.rows[i];
      long p = long(r[0]) * m[0][j] + long(r[1]) * m[1][j] + long(r[2]) * m[2][j];
      lo[j] = i == 0 ? p : std::min(lo[j], p);
      hi[j] = i == 0 ? p : std::max(hi[j], p);
    }
  MaskMap mask;
  for (int j = 0; j < 3; ++j) {
    mask.start[j] = int(lo[j]) + 1;
    mask.extent[j] = int(hi[j] - lo[j]) - 1;
  }
  fill(mask,
       [](int h, int k, int l) { return uint8_t(((h * 7 + k * 3 + l * 2) % 4 + 4) % 4); });
  return mask;
}

// The eight lines that end the log of a run that reads, drops and writes so many.
inline std::vector<std::string> report(int outside, int rejected, int written) {
  char line[4][64];
  std::snprintf(line[0], 64, " Number of reflections read = %10d",
                outside + rejected + written);
  std::snprintf(line[1], 64, " outside mask limits        = %10d", outside);
  std::snprintf(line[2], 64, " rejected by mask           = %10d", rejected);
  std::snprintf(line[3], 64, " written to output          = %10d", written);
  return {"", line[0], line[1], line[2], line[3], "", " Normal termination ", ""};
}

inline std::vector<std::string> last_lines(const std::string& text, size_t n) {
  std::vector<std::string> lines = lines_of(text);
  return {lines.end() - long(std::min(n, lines.size())), lines.end()};
}

struct FilterTest : ::testing::Test {
  std::string dir = make_temp_dir();
  ~FilterTest() override { std::filesystem::remove_all(dir); }

  std::string path(const std::string& name) const { return dir + "/" + name; }

  RunResult run_args(const std::vector<std::string>& args, RunOptions options = {}) const {
    options.cwd = dir;
    return run_korven(args, options);
  }
  // Runs korven in dir on mask.map and in.mtz, writing out.mtz.
  RunResult run(RunOptions options = {}, const std::string& out = "out.mtz") const {
    return run_args({"MSKIN", "mask.map", "HKLIN", "in.mtz", "HKLOUT", out}, options);
  }
  RunResult run(const MaskMap& map, const MtzFile& mtz, RunOptions options = {}) const {
    write_mask(path("mask.map"), map);
    write_mtz(path("in.mtz"), mtz);
    return run(options);
  }

  // Checks a normal run: exit 0, the report, and out.mtz holding exactly the
  // passing records of the input (in.mtz when not named) in input order,
  // under the input's header.
  void expect_filtered(const RunResult& r, const MaskMap& map, const Matrix& m = IDENTITY,
                       const std::string& input = "") const {
    MtzFile in = read_mtz(input.empty() ? path("in.mtz") : input);
    ASSERT_EQ(r.signal, 0);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    int count[3] = {0, 0, 0};
    std::vector<std::string> records = record_lines(in), passed;
    for (size_t i = 0; i < in.rows.size(); ++i) {
      Verdict v = verdict(map, in.rows[i], m);
      ++count[v];
      if (v == PASSED)
        passed.push_back(records[i]);
    }
    EXPECT_EQ(last_lines(r.out, 8), report(count[OUTSIDE], count[REJECTED], count[PASSED]));
    if (passed.empty())
      return;  // gemmi cannot read an MTZ file of no reflections
    MtzFile out = read_mtz(path("out.mtz"));
    EXPECT_EQ(header_lines(out), header_lines(in));
    EXPECT_EQ(record_lines(out), passed);
  }
};
