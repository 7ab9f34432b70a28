// The header block and the library's output options, seen in whole runs.
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "header/build_fields.h"

namespace {

const std::string MASK = KORVEN_DATA_DIR "/mask_mode0_10cube.map";
const std::string MTZ = KORVEN_DATA_DIR "/merged_c121.mtz";

const std::string RULE = " " + std::string(97, '#');
const std::string HEADER = "\n\n" + RULE +
                           "\n\n\n\n KORVEN: mask multi-record MTZ files \n \n\n\n"
                           " Version     : KORVEN 0.1.0 for " KORVEN_PLATFM
                           " made on " KORVEN_BLDDAT " at " KORVEN_BLDTIM "\n\n" +
                           RULE + "\n\n\n";

void expect_header_first(const RunResult& r) {
  EXPECT_EQ(r.out.substr(0, HEADER.size()), HEADER);
}

// The environment in which the library would write HTML and summary markup.
RunOptions markup_on() {
  RunOptions o;
  o.unset = {"CCP_SUPPRESS_HTML", "CCP_SUPPRESS_SUMMARY"};
  o.env = {{"CBIN", "/tmp"}, {"CHTML", "/tmp"}, {"CCP_PROGRAM_ID", "korven"}};
  return o;
}

void expect_no_markup(const std::string& text) {
  for (const std::string& line : lines_of(text))
    EXPECT_NE(line.substr(0, 1), "<") << line;
}

// A whole run on the real files, the switches first.
RunResult filter_run(std::vector<std::string> args, const RunOptions& options,
                     const std::string& out) {
  args.insert(args.end(), {"MSKIN", MASK, "HKLIN", MTZ, "HKLOUT", out});
  RunResult r = run_korven(args, options);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  expect_header_first(r);
  return r;
}

std::vector<std::string> non_empty(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(kept),
               [](const std::string& s) { return !s.empty(); });
  return kept;
}

}  // namespace

// The library rejects a logical name with nothing after it; the header
// comes first all the same, and an unknown switch is skipped without a word.
TEST(Run, RejectedCommandLineBeginsWithTheHeader) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"HKLIN"}, {"-x", "HKLIN"}, {"-nohtml", "-x", "HKLIN"}}) {
    SCOPED_TRACE(args.front());
    const RunResult r = run_korven(args, markup_on());
    EXPECT_EQ(r.status, 1);
    expect_header_first(r);
    const std::vector<std::string> lines = lines_of(r.out);
    EXPECT_EQ(
        lines.at(lines_of(HEADER).size()),
        ">>>>>> CCP4 library signal ccp4_general:Use: <logical name> <file name> (Error)");
    EXPECT_EQ(r.out.find("Ignoring"), std::string::npos);
    expect_no_markup(r.out);
    expect_no_markup(r.err);
  }
}

TEST(Run, NoMarkupWhateverTheEnvironment) {
  const std::string dir = make_temp_dir();
  const RunResult r = filter_run({}, markup_on(), dir + "/out.mtz");
  expect_no_markup(r.out);
  expect_no_markup(r.err);
  EXPECT_EQ(r.err, "");
}

TEST(Run, VerbositySwitchGovernsFileNameAndProgressMessages) {
  const std::string dir = make_temp_dir();
  const std::string out = dir + "/out.mtz";
  const std::vector<std::string> v1 = lines_of(filter_run({}, {}, out).out);
  const std::vector<std::string> v0 = lines_of(filter_run({"-v", "0"}, {}, out).out);
  const std::vector<std::string> v2 = lines_of(filter_run({"-v", "2"}, {}, out).out);

  const std::vector<std::string> file_names = {
      " Logical Name: MSKIN   Filename: " + MASK + " ",
      "File name for input map file on unit   1 : " + MASK,
      "file size 2024 ; logical name MSKIN",
      " OPENED INPUT MTZ FILE ",
      " Logical Name: HKLIN   Filename: " + MTZ + " ",
      " WRITTEN OUTPUT MTZ FILE ",
      " Logical Name: HKLOUT   Filename: " + out + " ",
  };
  std::vector<std::string> listings;
  for (const std::string& line : non_empty(v1))
    if (std::find(file_names.begin(), file_names.end(), line) == file_names.end())
      listings.push_back(line);
  EXPECT_EQ(non_empty(v1).size(), listings.size() + file_names.size());
  EXPECT_EQ(non_empty(v0), listings);

  std::vector<std::string> with_progress = v1;
  const size_t after_header = lines_of(HEADER).size();
  with_progress.insert(with_progress.begin() + long(after_header),
                       {"Opening file \"" KORVEN_SHARE_DIR "/environ.def\"",
                        "Opening file \"" KORVEN_SHARE_DIR "/default.def\"",
                        "Processing Command Line Arguments", "End of pre-processing stage"});
  EXPECT_EQ(v2, with_progress);
}
