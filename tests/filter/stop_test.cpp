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
  bool exact = true;  // else the beginning of the message
};

std::vector<Stop> stops() {
  std::vector<Stop> s;
  auto add = [&](const char* what, const std::string& message) -> MaskMap& {
    s.push_back({what, plain_mask(), message});
    return s.back().map;
  };
  add("mode 2", "MSKIN not of mode=0").mode = 2;
  MaskMap& both = add("mode 1, axes 3 2 1: the mode alone", "MSKIN not of mode=0");
  both.mode = 1;
  both.axes = {3, 2, 1};
  add("axes 2 1 3", "MSKIN not in XYZ order").axes = {2, 1, 3};
  add("axes 1 3 2", "MSKIN not in XYZ order").axes = {1, 3, 2};
  add("cut short in the second section", "MSKIN unable to read section(s)").keep = 18;
  // Sections the library cannot address: the wording is this program's own.
  add("65536 x 65536 columns and rows", "MSKIN ").words = {{1, 65536}, {2, 65536}};
  s.back().exact = false;
  return s;
}

std::vector<std::string> stop_lines(const std::string& message) {
  return {"", " ERROR: " + message, ""};
}

// Exit 1 by the error stop on both streams, no report, no HKLOUT.
void expect_stop(const RunResult& r, const std::string& message, const std::string& out_file,
                 bool exact = true) {
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> out = last_lines(r.out, 3), err = last_lines(r.err, 4);
  if (!exact && out.size() == 3 && err.size() == 4) {
    out[1].resize(std::min(out[1].size(), message.size() + 8));
    err[1].resize(std::min(err[1].size(), message.size() + 8));
  }
  EXPECT_EQ(out, stop_lines(message)) << r.out;
  std::vector<std::string> expected_err = stop_lines(message);
  expected_err.push_back("1");
  EXPECT_EQ(err, expected_err) << r.err;
  EXPECT_EQ(r.out.find("Number of reflections read"), std::string::npos);
  EXPECT_FALSE(file_exists(out_file));
}

TEST_F(FilterTest, ErrorStops) {
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}}));
  for (const Stop& stop : stops()) {
    SCOPED_TRACE(stop.what);
    write_mask(path("mask.map"), stop.map);
    expect_stop(run(), stop.message, path("out.mtz"), stop.exact);
  }
}

TEST_F(FilterTest, MissingInputStopsAfterTheMapListing) {
  write_mask(path("mask.map"), plain_mask());
  RunResult r = run();
  expect_stop(r, "HKLIN unable to open file", path("out.mtz"));
  EXPECT_EQ(r.err, "\n ERROR: HKLIN unable to open file\n\n1\n");
  EXPECT_LT(r.out.find("Fast, medium, slow axes"), r.out.find(" ERROR: "));
}

TEST_F(FilterTest, ErrorStopOnMergedStreams) {
  MaskMap map = plain_mask();
  map.mode = 2;
  RunOptions merged;
  merged.merged = true;
  RunResult r = run(map, simple_mtz({{0, 0, 0}}), merged);
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> once = stop_lines("MSKIN not of mode=0"), lines = once;
  lines.insert(lines.end(), once.begin(), once.end());
  lines.push_back("1");
  EXPECT_EQ(last_lines(r.out, 7), lines);
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
