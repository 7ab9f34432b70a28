// Runs that end in the error stop, before anything is written.
#include <unistd.h>

#include "tests/filter/filter_case.h"

namespace {

// h 0..3, k 0..2, l 0..1, all zero.
MaskMap plain_mask() {
  MaskMap m;
  m.extent = {4, 3, 2};
  return m;
}

struct Stop {
  const char* what;
  MaskMap map;
  std::string message;
};

std::vector<Stop> stops() {
  std::vector<Stop> s;
  auto add = [&](const char* what, const std::string& message) -> MaskMap& {
    return s.emplace_back(Stop{what, plain_mask(), message}).map;
  };
  add("mode 2", "MSKIN not of mode=0").mode = 2;
  MaskMap& both = add("mode 1, axes 3 2 1: the mode alone", "MSKIN not of mode=0");
  both.mode = 1;
  both.axes = {3, 2, 1};
  add("axes 2 1 3", "MSKIN not in XYZ order").axes = {2, 1, 3};
  add("axes 1 3 2", "MSKIN not in XYZ order").axes = {1, 3, 2};
  add("cut short in the second section", "MSKIN unable to read section(s)").keep = 18;
  add("65536 x 65536 columns and rows",
      "MSKIN sections too large: columns x rows beyond 2147483647")
      .words = {{1, 65536}, {2, 65536}};
  return s;
}

std::vector<std::string> stop_lines(const std::string& message) {
  return {"", " ERROR: " + message, ""};
}

// Exit 1 through the error stop, no report and no HKLOUT: stdout ends with
// its three lines, stderr with the same and "1"; merged, both in turn.
void expect_stop(const FilterTest& t, const std::string& message) {
  for (bool merged : {false, true}) {
    RunOptions options;
    options.merged = merged;
    RunResult r = t.run(options);
    std::vector<std::string> out = stop_lines(message), err = out;
    err.push_back("1");
    if (merged)
      err.insert(err.begin(), out.begin(), out.end());
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(last_lines(r.out, merged ? 7 : 3), merged ? err : out) << r.out;
    EXPECT_EQ(last_lines(r.err, merged ? 0 : 4), merged ? std::vector<std::string>{} : err);
    EXPECT_EQ(r.out.find("Number of reflections read"), std::string::npos);
    EXPECT_FALSE(file_exists(t.path("out.mtz")));
  }
}

TEST_F(FilterTest, ErrorStops) {
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}}));
  for (const Stop& stop : stops()) {
    SCOPED_TRACE(stop.what);
    write_mask(path("mask.map"), stop.map);
    expect_stop(*this, stop.message);
  }
}

// A grid of more bytes than memory holds ends the run outside the error
// stop, with its own message and status 2.
TEST_F(FilterTest, GridThatCannotBeAllocated) {
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}}));
  MaskMap map = plain_mask();
  map.words = {{1, 46340}, {2, 46340}, {3, 2147483647}};
  write_mask(path("mask.map"), map);
  RunResult r = run();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "\n KORVEN: cannot allocate the mask grid (out of memory)\n");
  EXPECT_EQ(r.out.find(" ERROR: "), std::string::npos);
  EXPECT_FALSE(file_exists(path("out.mtz")));
}

TEST_F(FilterTest, MissingInputStopsAfterTheMapListing) {
  write_mask(path("mask.map"), plain_mask());
  expect_stop(*this, "HKLIN unable to open file");
  RunResult r = run();
  EXPECT_EQ(r.err, "\n ERROR: HKLIN unable to open file\n\n1\n");
  EXPECT_LT(r.out.find("Fast, medium, slow axes"), r.out.find(" ERROR: "));
}

// HKLOUT naming an input under another name stops before anything is opened
// for writing; the same text is the library's own refusal.
TEST_F(FilterTest, OutputOnAnInputFile) {
  write_mask(path("mask.map"), plain_mask());
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}, {1, 1, 1}}));
  ASSERT_EQ(link(path("in.mtz").c_str(), path("hard.mtz").c_str()), 0);
  ASSERT_EQ(symlink("in.mtz", path("soft.mtz").c_str()), 0);
  ASSERT_EQ(symlink("mask.map", path("soft.map").c_str()), 0);
  const std::string mtz = read_file(path("in.mtz")), map = read_file(path("mask.map"));
  const std::pair<std::string, const char*> cases[] = {
      {"./in.mtz", "HKLIN"}, {path("in.mtz"), "HKLIN"}, {"hard.mtz", "HKLIN"},
      {"soft.mtz", "HKLIN"}, {"./mask.map", "MSKIN"},   {"soft.map", "MSKIN"},
      {"in.mtz", nullptr}};
  for (const auto& [out, input] : cases) {
    SCOPED_TRACE(out);
    RunResult r = run({}, out);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    if (input) {
      EXPECT_EQ(last_lines(r.out, 3),
                stop_lines("HKLOUT is the same file as " + std::string(input) + ": " + out));
    }
    EXPECT_EQ(r.out.find("Normal termination"), std::string::npos);
    EXPECT_EQ(read_file(path("in.mtz")), mtz);
    EXPECT_EQ(read_file(path("mask.map")), map);
  }
}

}  // namespace
