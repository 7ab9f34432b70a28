// Damaged inputs that once crashed the program or made it loop, each run
// against a good partner file: the run must end by itself (the test runner
// limits its time and output) with status 0, 1 or 2, leave its inputs as
// they were, and create no HKLOUT on an error stop.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/replay/corpus.h"
#include "tests/support/run.h"

namespace fs = std::filesystem;

namespace {

const fs::path CORPUS = KORVEN_CORPUS_DIR;

void replay(const CorpusCase& c) {
  std::string dir = make_temp_dir();
  fs::copy_file(c.map, dir + "/mask.map");
  fs::copy_file(c.mtz, dir + "/in.mtz");
  std::string map = read_file(dir + "/mask.map"), mtz = read_file(dir + "/in.mtz");
  RunOptions o;
  o.cwd = dir;
  RunResult r = run_korven({"MSKIN", "mask.map", "HKLIN", "in.mtz", "HKLOUT", "out.mtz"}, o);
  EXPECT_EQ(r.signal, 0);
  EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 2) << r.status << "\n" << r.err;
  EXPECT_EQ(read_file(dir + "/mask.map"), map);
  EXPECT_EQ(read_file(dir + "/in.mtz"), mtz);
  bool out = file_exists(dir + "/out.mtz");
  if (r.status == 0) {
    EXPECT_TRUE(out && r.out.find("\n Normal termination \n") != std::string::npos);
  } else if (r.status == 1) {
    EXPECT_FALSE(out) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
  }
  fs::remove_all(dir);
}

// One test over the whole directory, so that a file added to the corpus
// is replayed without a rebuild.
TEST(Replay, EveryCorpusInputEndsCleanly) {
  std::vector<CorpusCase> cases = corpus_cases(CORPUS);
  EXPECT_GT(cases.size(), 0u);
  for (const CorpusCase& c : cases) {
    SCOPED_TRACE(c.name);
    replay(c);
  }
}

}  // namespace
