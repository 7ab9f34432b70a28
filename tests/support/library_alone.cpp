// Filters with the library alone: korven's own calls in korven's order, but
// none of its checks of the input files and no contained run of its own.
// What the library does with a file is the measure of what korven must
// accept: every file on which this ends "ok" korven must filter to the same
// bytes, and every other file korven must refuse.
//
//   library_alone [library switches] MSKIN m.map HKLIN in.mtz HKLOUT out.mtz
//
// The work runs in a child process with no standard input, its log in
// HKLOUT.log (both streams), a CPU limit (20 s) and a log limit of 16 MiB.
// On some damaged headers the library reads memory that it never set, and
// whether it crashes then depends on where the system placed the process:
// a run that ends well is therefore repeated in fresh processes, the first
// with the same placement every time, until LIBRARY_ALONE_RUNS (8) runs
// have ended well, and every run must write the same HKLOUT.
// LIBRARY_ALONE_CPU_SECONDS and LIBRARY_ALONE_LOG_MIB set other limits.
//
// One line on standard output says how it ended, from the first run that
// did not end well:
//   ok             exit 0 and " Normal termination " in the log
//   fatal N        exit status N other than 0 (or 0 without that line)
//   crash SIGNAME  killed by a signal other than the limits
//   loop           past the CPU, wall-clock, file-size or log limit
//   garbage        ended normally, but the reflections read reach into the
//                  header (the library passed header bytes on as records)
//                  or have no values,
//                  the map's sections start inside its header (a negative
//                  symmetry length), or HKLOUT differs from that of an
//                  earlier run
// Exit status 0 for ok, 1 otherwise, 2 when it cannot run at all.
#include <ccp4/cmtzlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "binding/ccp4lib.h"
#include "filter/errstp.h"
#include "filter/files.h"
#include "filter/index_matrix.h"
#include "filter/korven.h"
#include "filter/mask.h"
#include "filter/reflections.h"
#include "filter/startup.h"
#include "header/runhdr.h"

namespace {

// The worker's side: the descriptor it reports its counts on.
const char* const RESULTS = "LIBRARY_ALONE_RESULTS";

long setting(const char* name, long fallback) {
  const char* text = std::getenv(name);
  long n = text ? std::atol(text) : 0;
  return n > 0 ? n : fallback;
}

// ---- The worker: korven's run without check_mask_file, check_mtz_file and
// check_output_is_new_file.

// Tells the parent, on `results`, the count of reflections read, the
// input's columns (lrncol_) and HKLIN's file; then the values per record
// that the library reads, from the header's NCOL record, which may count
// other columns than the COLUMN records do.
[[noreturn]] void filter_alone(int results) {
  RUNHDR();
  CCPFYP();
  MapHeader header = open_mask();
  open_input();
  int columns = 0;
  lrncol_(&IFILE, &columns);
  int32_t MATHKL[3][3];
  choose_matrix(header.MAPSG, MATHKL);
  MaskGrid grid;
  load_grid(header, grid);
  Counts counts = filter_reflections(grid, MATHKL);
  free_grid(grid);
  report(counts);
  std::fflush(nullptr);
  const std::string hklin = logical_file("HKLIN");
  dprintf(results, "%d %d %s\n", counts.NREAD, columns, hklin.c_str());
  // The header was read once already: reading it again is safe.
  if (CMtz::MTZ* mtz = CMtz::MtzGet(hklin.c_str(), 0)) {
    dprintf(results, "%d\n", mtz->ncol_read);
    CMtz::MtzFree(mtz);
  }
  std::exit(0);
}

// ---- The parent: runs the worker and judges how it ended.

struct Run {
  int status = 0;
  bool log_overrun = false;
  bool timed_out = false;
  int64_t cpu_used = 0;  // seconds
  std::string results;   // what the worker reported
};

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void set_limit(int resource, rlim_t value) {
  rlimit limit;
  getrlimit(resource, &limit);
  if (limit.rlim_max != RLIM_INFINITY && value > limit.rlim_max)
    value = limit.rlim_max;
  limit.rlim_cur = value;
  setrlimit(resource, &limit);
}

[[noreturn]] void exec_worker(char** argv, int log_pipe, int results, int64_t cpu,
                              bool fixed_placement) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  int null = open("/dev/null", O_RDONLY);
  dup2(null, 0);
  dup2(log_pipe, 1);
  dup2(log_pipe, 2);
  setenv(RESULTS, std::to_string(results).c_str(), 1);
  // SIGXCPU at the soft limit; the hard limit, if any, stays.
  set_limit(RLIMIT_CPU, rlim_t(cpu));
  // HKLOUT is bounded only against a runaway write.
  set_limit(RLIMIT_FSIZE, rlim_t(1) << 30);
  if (fixed_placement)
    personality(unsigned(personality(0xffffffff)) | ADDR_NO_RANDOMIZE);
  execv("/proc/self/exe", argv);
  std::perror("library_alone: exec");
  _exit(127);
}

// Reads what is ready on `fd` into `text`; false at its end.
bool drain(int fd, std::string& text, std::vector<char>& buffer) {
  ssize_t n = read(fd, buffer.data(), buffer.size());
  if (n < 0 && errno == EINTR)
    return true;
  if (n <= 0)
    return false;
  text.append(buffer.data(), size_t(n));
  return true;
}

// Runs the worker once, its log to `log` until it closes it, the log passes
// its limit or the wall-clock time runs out.
Run run_once(char** argv, const std::string& log_path, int64_t cpu, int64_t log_limit,
             bool fixed_placement) {
  Run r;
  int log_pipe[2], results_pipe[2];
  if (pipe2(log_pipe, O_CLOEXEC) != 0 || pipe2(results_pipe, O_CLOEXEC) != 0) {
    std::perror("library_alone: pipe");
    std::exit(2);
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    std::perror("library_alone: fork");
    std::exit(2);
  }
  if (child == 0) {
    // Both ends the worker keeps must survive its exec.
    int out = dup(log_pipe[1]), results = dup(results_pipe[1]);
    exec_worker(argv, out, results, cpu, fixed_placement);
  }
  close(log_pipe[1]);
  close(results_pipe[1]);
  std::ofstream log(log_path, std::ios::binary | std::ios::trunc);
  const double deadline = now() + 3.0 * double(cpu) + 10.0;
  std::vector<char> buffer(1 << 16);
  std::string text;
  int64_t written = 0;
  bool log_open = true, results_open = true;
  while (log_open || results_open) {
    pollfd p[2] = {{log_open ? log_pipe[0] : -1, POLLIN, 0},
                   {results_open ? results_pipe[0] : -1, POLLIN, 0}};
    int wait_ms = int((deadline - now()) * 1000);
    if (wait_ms <= 0) {
      r.timed_out = true;
      break;
    }
    if (poll(p, 2, wait_ms) <= 0)
      continue;
    if (p[0].revents) {
      text.clear();
      log_open = drain(log_pipe[0], text, buffer);
      written += int64_t(text.size());
      if (written > log_limit) {
        r.log_overrun = true;
        break;
      }
      log.write(text.data(), std::streamsize(text.size()));
    }
    if (p[1].revents)
      results_open = drain(results_pipe[0], r.results, buffer);
  }
  if (r.log_overrun || r.timed_out)
    kill(child, SIGKILL);
  close(log_pipe[0]);
  close(results_pipe[0]);
  rusage used{};
  while (wait4(child, &r.status, 0, &used) < 0 && errno == EINTR) {
  }
  r.cpu_used = used.ru_utime.tv_sec + used.ru_stime.tv_sec;
  return r;
}

std::string signal_name(int sig) {
  const char* abbrev = sigabbrev_np(sig);
  return abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(sig);
}

// The header's position, in 4-byte words from 1, as the library reads it:
// in the byte order of the machine stamp, and from bytes 12 to 19 when the
// first word is -1.  -1 when the file cannot be read that far.
int64_t header_position(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char b[20];
  if (!in.read(reinterpret_cast<char*>(b), sizeof b))
    return -1;
  const bool big = (b[9] >> 4) == 1;
  auto number = [&](int at, int size) {
    uint64_t v = 0;
    for (int i = 0; i < size; ++i)
      v = v << 8 | b[big ? at + i : at + size - 1 - i];
    return v;
  };
  const int32_t word = int32_t(uint32_t(number(4, 4)));
  return word == -1 ? int64_t(number(12, 8)) : word;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True when the map's symmetry length is negative: its sections then start
// inside the 1024-byte header, and the library passes header bytes on as
// the mask.
bool mask_reads_header(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char b[1024];
  if (!in.read(reinterpret_cast<char*>(b), sizeof b))
    return false;
  const bool big = (b[213] >> 4) == 1;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v = v << 8 | b[big ? 92 + i : 95 - i];
  return int32_t(v) < 0;
}

// True when the records read, of the header's NCOL values each (else the
// COLUMN records' count), reach past the 80 bytes before them into the
// header, or hold no values at all.
bool read_into_header(const std::string& results) {
  std::istringstream in(results);
  int64_t nread = 0, columns = 0, record_columns = -1;
  std::string hklin;
  in >> nread >> columns >> std::ws;
  std::getline(in, hklin);
  if (!(in >> record_columns))
    record_columns = columns;
  // Records of no values carry none of the file's: what is written for
  // them is whatever the buffer held.
  if (nread > 0 && record_columns == 0)
    return true;
  return 80 + nread * record_columns * 4 > (header_position(hklin) - 1) * 4;
}

std::string verdict(const Run& r, const std::string& log, int64_t cpu,
                    const std::string& mskin) {
  if (r.log_overrun || r.timed_out)
    return "loop";
  if (WIFSIGNALED(r.status)) {
    int sig = WTERMSIG(r.status);
    if (sig == SIGXCPU || sig == SIGXFSZ || (sig == SIGKILL && r.cpu_used >= cpu))
      return "loop";
    return "crash " + signal_name(sig);
  }
  const int code = WEXITSTATUS(r.status);
  if (code != 0 || r.results.empty() ||
      read_file(log).find(" Normal termination ") == std::string::npos)
    return "fatal " + std::to_string(code);
  return read_into_header(r.results) || mask_reads_header(mskin) ? "garbage" : "ok";
}

std::string upper(std::string text) {
  for (char& c : text)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The file that a logical name names: on the command line, else in the
// environment.
std::string bound_file(int argc, char** argv, const std::string& name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (upper(argv[i]) == name)
      return argv[i + 1];
  const char* bound = std::getenv(name.c_str());
  return bound ? bound : name;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* results = std::getenv(RESULTS)) {
    const int fd = std::atoi(results);
    unsetenv(RESULTS);
    keep_command_line(argc, argv);
    filter_alone(fd);
  }
  const std::string hklout = bound_file(argc, argv, "HKLOUT"), log = hklout + ".log";
  const std::string mskin = bound_file(argc, argv, "MSKIN");
  const int64_t cpu = setting("LIBRARY_ALONE_CPU_SECONDS", 20);
  const int64_t log_limit = int64_t(setting("LIBRARY_ALONE_LOG_MIB", 16)) << 20;
  const long runs = setting("LIBRARY_ALONE_RUNS", 8);
  std::string v, first_output;
  for (long i = 0; i < runs; ++i) {
    v = verdict(run_once(argv, log, cpu, log_limit, i == 0), log, cpu, mskin);
    if (v != "ok")
      break;
    std::string output = read_file(hklout);
    if (i == 0)
      first_output.swap(output);
    else if (output != first_output)
      v = "garbage";
    if (v != "ok")
      break;
  }
  std::printf("%s\n", v.c_str());
  return v == "ok" ? 0 : 1;
}
