// A run that does not end normally leaves no HKLOUT that it created or
// overwrote, and never touches one that it did not open.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/filter/filter_case.h"

namespace {

// A mask that passes everything, and an input long enough to be stopped
// while its reflections are copied.
struct OutputTest : FilterTest {
  void SetUp() override {
    MaskMap mask;
    mask.start = {-60, -60, -60};
    mask.extent = {121, 121, 121};
    write_mask(path("mask.map"), mask);
    MtzFile in = simple_mtz();
    for (int i = 0; i < 2000000; ++i)
      in.rows.push_back(
          {float(i % 101 - 50), float(i / 101 % 101 - 50), float(i % 7), 1, 2, 3});
    write_mtz(path("in.mtz"), in);
    input = read_file(path("in.mtz"));
  }

  // Starts a run and waits until HKLOUT exists.
  Started start_writing(const RunOptions& options = {}) const {
    RunOptions o = options;
    o.cwd = dir;
    Started run =
        start_korven({"MSKIN", "mask.map", "HKLIN", "in.mtz", "HKLOUT", "out.mtz"}, o);
    for (int i = 0; i < 20000 && !file_exists(path("out.mtz")); ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    return run;
  }

  // The process that does the run's work, under the one the user started.
  static int worker_of(int pid) {
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    int child = -1;
    children >> child;
    return child;
  }

  void expect_no_output_and_input_kept() const {
    EXPECT_FALSE(file_exists(path("out.mtz")));
    EXPECT_EQ(read_file(path("in.mtz")), input);
  }

  std::string input;
};

TEST_F(OutputTest, StopSignalsRemoveTheUnfinishedOutput) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    RunOptions o;
    o.own_group = true;
    Started run = start_writing(o);
    ASSERT_TRUE(file_exists(path("out.mtz")));
    // Ctrl-C reaches the whole job; SIGTERM only the process the user started.
    kill(sig == SIGINT ? -run.pid : run.pid, sig);
    RunResult r = finish_korven(run);
    EXPECT_EQ(r.signal, sig) << r.status << r.err;
    expect_no_output_and_input_kept();
  }
}

TEST_F(OutputTest, CrashWhileWritingRemovesTheOutput) {
  Started run = start_writing();
  ASSERT_TRUE(file_exists(path("out.mtz")));
  int worker = worker_of(run.pid);
  ASSERT_GT(worker, 0);
  // SIGKILL: no sanitizer in the worker can catch it first.
  kill(worker, SIGKILL);
  RunResult r = finish_korven(run);
  EXPECT_EQ(r.status, 1);
  const std::string message =
      " ERROR: HKLIN: the library crashed (Killed) while copying the reflections to HKLOUT";
  EXPECT_EQ(last_lines(r.out, 3), (std::vector<std::string>{"", message, ""}));
  EXPECT_EQ(r.err, "\n" + message + "\n\n1\n");
  expect_no_output_and_input_kept();
}

// A file system that fills up: as a write that fails (the library stops
// with its own message) and as the signal that a file-size limit sends.
TEST_F(OutputTest, FullFileSystemLeavesNoOutput) {
  for (bool as_error : {true, false}) {
    SCOPED_TRACE(as_error);
    RunOptions o;
    o.file_limit = 4 << 20;
    o.full_as_error = as_error;
    RunResult r = run(o);
    EXPECT_EQ(r.status, 1) << r.signal;
    if (as_error)
      EXPECT_NE(r.out.find(" LWREFL: failed to write reflection"), std::string::npos);
    else
      EXPECT_NE(r.out.find("File size limit exceeded"), std::string::npos);
    expect_no_output_and_input_kept();
  }
}

// An error stop comes before HKLOUT is opened, and the library refuses an
// HKLOUT of the same name as HKLIN before it opens it: either way a file of
// that name stays as it was.
TEST_F(OutputTest, RunsThatNeverOpenTheOutputLeaveItAlone) {
  const std::string old = "an older file";
  std::ofstream(path("out.mtz")) << old;
  MaskMap mode2;
  mode2.mode = 2;
  write_mask(path("mode2.map"), mode2);
  RunResult r = run_args({"MSKIN", "mode2.map", "HKLIN", "in.mtz", "HKLOUT", "out.mtz"});
  EXPECT_EQ(last_lines(r.out, 3),
            (std::vector<std::string>{"", " ERROR: MSKIN not of mode=0", ""}));
  EXPECT_EQ(read_file(path("out.mtz")), old);

  r = run_args({"MSKIN", "mask.map", "HKLIN", "in.mtz", "HKLOUT", "in.mtz"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, " korven:  LWOPEN: failed to open output file\n");
  EXPECT_NE(r.out.find("\n WARNING: LWOPEN_NOEXIT: output file is same as open input file: "
                       "in.mtz\n"),
            std::string::npos);
  EXPECT_EQ(r.out.find("same file"), std::string::npos);
  EXPECT_EQ(read_file(path("in.mtz")), input);
  EXPECT_EQ(read_file(path("out.mtz")), old);
}

}  // namespace
