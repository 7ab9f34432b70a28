#pragma once
#include <string>
#include <utility>
#include <vector>

// What one run of korven left behind.
struct RunResult {
  int status = -1;  // exit status, -1 when ended by a signal
  int signal = 0;   // the signal that ended it, 0 if none
  std::string out;  // standard output (both streams when merged)
  std::string err;  // standard error (empty when merged)
};

struct RunOptions {
  std::vector<std::pair<std::string, std::string>> env;  // set for the run
  std::vector<std::string> unset;                        // removed for the run
  std::string cwd;              // working directory; the current one when empty
  bool merged = false;          // stdout and stderr into one file
  std::string exe;              // another executable; korven when empty
  long file_limit = 256 << 20;  // bytes any file of the run may reach
  bool full_as_error = false;   // SIGXFSZ ignored: a write past the limit fails
  bool own_group = false;       // a process group of its own, as a shell job
};

// A run in progress.
struct Started {
  int pid = -1;
  std::string dir;
  bool merged = false;
};

// Runs korven with these arguments (argv[0] is "korven"), CINCL set to the
// project's set-up files, and no standard input.
RunResult run_korven(const std::vector<std::string>& args, const RunOptions& options = {});

// The same in two halves: start it, and wait for its end.
Started start_korven(const std::vector<std::string>& args, const RunOptions& options = {});
RunResult finish_korven(const Started& run);

// Splits a text into lines without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// A fresh, empty directory under the system's temporary directory.
std::string make_temp_dir();

// The whole content of a file ("" if it cannot be read).
std::string read_file(const std::string& path);

bool file_exists(const std::string& path);
