#include "filter/contain.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "filter/errstp.h"

namespace {

// Shared between the two processes.
struct Watch {
  std::atomic<int> stage;
  std::atomic<int64_t> log_budget;
  std::atomic<int> output_open;
  std::atomic<int64_t> result;
  dev_t dev;
  ino_t ino;
  char path[PATH_MAX];
};

// The banner, the start-up's lines and the map's listing, and the margin
// that a damaged file may add to the log.
constexpr int64_t BASE_LOG = (1 << 20) + (64 << 10);

Watch* watch = nullptr;
pid_t child = 0;
volatile sig_atomic_t stop_signal = 0;
const int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void on_stop_signal(int sig) {
  stop_signal = sig;
  if (child > 0)
    kill(child, sig);
}

struct sigaction user_actions[std::size(STOP_SIGNALS)];

// Set before the fork, so that no stop signal falls between; the child
// gets the dispositions that the user gave.  Ignored signals stay ignored.
void catch_stop_signals() {
  struct sigaction sa = {};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  for (size_t i = 0; i < std::size(STOP_SIGNALS); ++i) {
    sigaction(STOP_SIGNALS[i], nullptr, &user_actions[i]);
    if (user_actions[i].sa_handler != SIG_IGN)
      sigaction(STOP_SIGNALS[i], &sa, nullptr);
  }
}

void restore_stop_signals() {
  for (size_t i = 0; i < std::size(STOP_SIGNALS); ++i)
    sigaction(STOP_SIGNALS[i], &user_actions[i], nullptr);
}

bool is_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

bool same_file(int a, int b) {
  struct stat sa, sb;
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A stream that is not a terminal reaches the user through a pipe whose
// bytes are counted; one pipe serves both when they are the same file, so
// that their lines keep their order.
struct Pipes {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
};

Pipes make_pipes() {
  Pipes p;
  bool relay_out = is_open(1) && !isatty(1);
  bool relay_err = is_open(2) && !isatty(2);
  if (relay_out && pipe(p.out) != 0)
    relay_out = false;
  if (relay_err && relay_out && same_file(1, 2))
    relay_err = false, p.err[1] = p.out[1];
  if (relay_err && pipe(p.err) != 0)
    p.err[0] = p.err[1] = -1;
  return p;
}

[[noreturn]] void run_child(const Pipes& p, void (*run)()) {
  restore_stop_signals();
  if (p.out[1] >= 0)
    dup2(p.out[1], 1);
  if (p.err[1] >= 0)
    dup2(p.err[1], 2);
  for (int fd : {p.out[0], p.out[1], p.err[0], p.err[1]})
    if (fd > 2)
      close(fd);
  // The library's parser reads on from standard input after a header
  // record that ends in a continuation mark: give it nothing to wait for.
  int null = open("/dev/null", O_RDONLY);
  if (null >= 0 && null != 0) {
    dup2(null, 0);
    close(null);
  }
  run();
  std::exit(0);
}

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Passes the child's log on until it closes its streams; false when the
// log outgrew its budget and the child was stopped.
bool relay(const Pipes& p) {
  struct Source {
    int from, to;
  };
  std::vector<Source> sources;
  if (p.out[0] >= 0)
    sources.push_back({p.out[0], 1});
  if (p.err[0] >= 0)
    sources.push_back({p.err[0], 2});
  int64_t written = 0;
  std::vector<char> buffer(1 << 16);
  while (!sources.empty()) {
    std::vector<pollfd> fds;
    for (const Source& s : sources)
      fds.push_back({s.from, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0)
      continue;
    for (size_t i = fds.size(); i-- > 0;) {
      if (!fds[i].revents)
        continue;
      ssize_t n = read(sources[i].from, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        close(sources[i].from);
        sources.erase(sources.begin() + long(i));
        continue;
      }
      written += n;
      if (written > watch->log_budget.load()) {
        kill(child, SIGKILL);
        for (const Source& s : sources)
          close(s.from);
        return false;
      }
      if (!write_all(sources[i].to, buffer.data(), size_t(n)) && errno == EPIPE &&
          !stop_signal) {
        stop_signal = SIGPIPE;
        kill(child, SIGPIPE);
      }
    }
  }
  return true;
}

int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

void remove_output() {
  if (!watch->output_open.load())
    return;
  struct stat st;
  if (lstat(watch->path, &st) == 0 && st.st_dev == watch->dev && st.st_ino == watch->ino)
    unlink(watch->path);
}

[[noreturn]] void die_of(int sig) {
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  std::_Exit(128 + sig);
}

std::string what_it_did(Stage stage) {
  switch (stage) {
    case Stage::STARTUP: return "in its start-up";
    case Stage::MSKIN_HEADER: return "while reading the map header";
    case Stage::HKLIN_HEADER: return "while reading the file header";
    case Stage::MSKIN_SECTIONS: return "while reading the map sections";
    case Stage::REFLECTIONS: return "while copying the reflections to HKLOUT";
    case Stage::HKLOUT_CLOSE: return "while writing the file header";
  }
  return "";
}

std::string file_of(Stage stage) {
  switch (stage) {
    case Stage::MSKIN_HEADER:
    case Stage::MSKIN_SECTIONS: return "MSKIN: ";
    case Stage::HKLIN_HEADER:
    case Stage::REFLECTIONS: return "HKLIN: ";
    case Stage::HKLOUT_CLOSE: return "HKLOUT: ";
    case Stage::STARTUP: break;
  }
  return "";
}

[[noreturn]] void report_death(int status, bool log_overrun) {
  Stage stage = Stage(watch->stage.load());
  int sig = WTERMSIG(status);
  std::string what = log_overrun ? "the library's log ran on without end"
                     : sig == SIGXCPU
                         ? "the library ran on without end"
                         : std::string("the library crashed (") + strsignal(sig) + ")";
  ERRSTP(file_of(stage) + what + " " + what_it_did(stage));
}

}  // namespace

int run_contained(void (*run)()) {
  void* shared =
      mmap(nullptr, sizeof(Watch), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    run();
    return 0;
  }
  watch = new (shared) Watch();
  watch->log_budget = BASE_LOG;
  Pipes pipes = make_pipes();
  std::fflush(nullptr);
  catch_stop_signals();
  child = fork();
  if (child < 0) {
    restore_stop_signals();
    watch = nullptr;
    run();
    return 0;
  }
  if (child == 0)
    run_child(pipes, run);
  for (int fd : {pipes.out[1], pipes.err[1]})
    if (fd >= 0)
      close(fd);
  signal(SIGPIPE, SIG_IGN);
  if (stop_signal)
    kill(child, stop_signal);
  bool log_ok = relay(pipes);
  int status = wait_for(child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return 0;
  remove_output();
  if (stop_signal)
    die_of(stop_signal);
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  report_death(status, !log_ok);
}

void enter_stage(Stage stage) {
  if (watch)
    watch->stage = int(stage);
}

void allow_log(int64_t bytes) {
  if (watch)
    watch->log_budget += bytes;
}

void limit_cpu(int64_t seconds) {
  rusage used;
  rlimit limit;
  if (!watch || getrusage(RUSAGE_SELF, &used) != 0 || getrlimit(RLIMIT_CPU, &limit) != 0)
    return;
  rlim_t now = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec + 1);
  limit.rlim_cur = now + rlim_t(seconds);
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max)
    limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_CPU, &limit);
}

void lift_cpu_limit() {
  rlimit limit;
  if (!watch || getrlimit(RLIMIT_CPU, &limit) != 0)
    return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_CPU, &limit);
}

int64_t apart(int64_t (*check)()) {
  if (!watch)
    return check();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0)
    return check();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    watch->result = check();
    _exit(0);
  }
  int status = wait_for(pid);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return watch->result.load();
  return check();
}

namespace {

std::vector<bool> open_fds() {
  std::vector<bool> open(1024);
  for (int fd = 0; fd < int(open.size()); ++fd)
    open[size_t(fd)] = is_open(fd);
  return open;
}

// The file that the library opened for writing since `before`.
void note_output(const std::vector<bool>& before) {
  for (int fd = 0; fd < int(before.size()); ++fd) {
    struct stat st;
    if (before[size_t(fd)] || !is_open(fd) || (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY ||
        fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
      continue;
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t n = readlink(link.c_str(), watch->path, sizeof watch->path - 1);
    if (n <= 0)
      continue;
    watch->path[n] = '\0';
    watch->dev = st.st_dev;
    watch->ino = st.st_ino;
    watch->output_open = 1;
    return;
  }
}

}  // namespace

void open_output(void (*open)()) {
  if (!watch) {
    open();
    return;
  }
  sigset_t stops, old;
  sigemptyset(&stops);
  for (int sig : STOP_SIGNALS)
    sigaddset(&stops, sig);
  sigprocmask(SIG_BLOCK, &stops, &old);
  std::vector<bool> before = open_fds();
  open();
  note_output(before);
  sigprocmask(SIG_SETMASK, &old, nullptr);
}
