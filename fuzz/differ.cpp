// The target of fuzz/run's diff campaigns: runs korven and the library alone
// (library_alone) on one input, the other input a fixed good file, and
// aborts when they disagree:
//   - the library alone reads the file ("ok") and korven does not filter it
//     to the same bytes;
//   - the library alone fails on it and korven ends with status 0 (except
//     where the library alone crashes: see below), ends
//     without a clear " ERROR: " line (unless the library's own fatal error
//     ends both), or leaves an HKLOUT;
//   - korven dies of a signal, runs on past KORVEN_SECONDS, ends with a
//     status other than 0, 1 or 2, or changes an input.
// Each run starts in a fresh process with no open descriptors beyond the
// standard three, so that AFL's fork server stays with this program while
// both (instrumented) programs report their paths into its map.
//
//   differ KORVEN LIBRARY_ALONE map|mtz PARTNER INPUT WORKDIR
//
// map: INPUT on MSKIN and PARTNER on HKLIN; mtz: the other way round.
// Both run in directories of their own under WORKDIR, which keeps the last
// run's logs.  The reason for an abort is on standard error and in
// WORKDIR/disagreement.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr unsigned KORVEN_SECONDS = 20;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string work_dir;

// The reason goes to standard error and, since AFL hides that, to
// WORKDIR/disagreement too.
[[noreturn]] void disagree(const std::string& why) {
  std::ofstream(work_dir + "/disagreement") << why << "\n";
  std::fprintf(stderr, "differ: %s\n", why.c_str());
  std::fflush(stderr);
  std::abort();
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "differ: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(2);
}

void close_other_descriptors() {
  DIR* d = opendir("/proc/self/fd");
  if (!d)
    return;
  std::vector<int> fds;
  while (dirent* e = readdir(d))
    if (int fd = std::atoi(e->d_name); fd > 2 && fd != dirfd(d))
      fds.push_back(fd);
  closedir(d);
  for (int fd : fds)
    close(fd);
}

struct Ended {
  int status = -1;  // exit status, -1 when ended by a signal
  int signal = 0;
};

// Runs `exe` as "korven" with `args` in `dir`, standard output and error
// into dir/stdout and dir/stderr.
Ended run(const std::string& exe, const std::vector<std::string>& args, const std::string& dir,
          unsigned seconds) {
  pid_t pid = fork();
  if (pid < 0)
    fail("fork");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close_other_descriptors();
    if (chdir(dir.c_str()) != 0)
      _exit(127);
    int in = open("/dev/null", O_RDONLY);
    int out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    rlimit file_limit = {256 << 20, 256 << 20}, cpu_limit = {60, 60};
    setrlimit(RLIMIT_FSIZE, &file_limit);
    setrlimit(RLIMIT_CPU, &cpu_limit);
    if (seconds)
      alarm(seconds);
    std::vector<char*> argv;
    std::string name = "korven";
    argv.push_back(name.data());
    for (const auto& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0)
    if (errno != EINTR)
      fail("waitpid");
  Ended e;
  if (WIFEXITED(wstatus))
    e.status = WEXITSTATUS(wstatus);
  else
    e.signal = WTERMSIG(wstatus);
  return e;
}

std::string fresh_dir(const std::string& work, const char* name) {
  std::string dir = work + "/" + name;
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
    fail("mkdir " + dir);
  for (const char* file : {"out.mtz", "out.mtz.log", "stdout", "stderr"})
    unlink((dir + "/" + file).c_str());
  return dir;
}

// A copy of the input under WORKDIR/KIND/, named by its size and a hash.
void keep_aside(const std::string& input, const std::string& kind) {
  const std::string bytes = read_file(input);
  const std::string dir = work_dir + "/" + kind;
  mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/" + std::to_string(bytes.size()) + "-" +
                    std::to_string(std::hash<std::string>()(bytes)),
                std::ios::binary)
      << bytes;
}

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/')
    return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd))
    fail("getcwd");
  return std::string(cwd) + "/" + path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7 || (std::strcmp(argv[3], "map") != 0 && std::strcmp(argv[3], "mtz") != 0)) {
    std::fprintf(stderr, "usage: differ KORVEN LIBRARY_ALONE map|mtz PARTNER INPUT WORKDIR\n");
    return 2;
  }
  const std::string korven = absolute(argv[1]), oracle = absolute(argv[2]),
                    input = absolute(argv[5]), partner = absolute(argv[4]);
  work_dir = argv[6];
  const bool map = std::strcmp(argv[3], "map") == 0;
  const std::vector<std::string> args = {
      "MSKIN", map ? input : partner, "HKLIN", map ? partner : input, "HKLOUT", "out.mtz"};
  const std::string input_bytes = read_file(input), partner_bytes = read_file(partner);
  // Inputs of at most 1 MB end in well under a second and log at most a
  // few hundred kB: a loop shows in 3 s or 4 MiB.  Each run that ends well
  // is repeated in a fresh process (see library_alone.cpp).
  setenv("LIBRARY_ALONE_CPU_SECONDS", "3", 0);
  setenv("LIBRARY_ALONE_LOG_MIB", "4", 0);
  setenv("LIBRARY_ALONE_RUNS", "4", 0);

  const std::string odir = fresh_dir(work_dir, "library_alone"),
                    kdir = fresh_dir(work_dir, "korven");
  Ended o = run(oracle, args, odir, 0);
  std::string verdict = read_file(odir + "/stdout");
  if (!verdict.empty() && verdict.back() == '\n')
    verdict.pop_back();
  // A library_alone that cannot judge stops the campaign at its first seed.
  if (o.signal || (o.status != 0 && o.status != 1) || verdict.empty() ||
      verdict.find('\n') != std::string::npos)
    disagree("library_alone gave no verdict (status " + std::to_string(o.status) + ", signal " +
             std::to_string(o.signal) + ")");

  Ended k = run(korven, args, kdir, KORVEN_SECONDS);
  const std::string log = read_file(kdir + "/stdout");
  const std::string said = "; the library alone says " + verdict;
  if (k.signal == SIGALRM)
    disagree("korven ran on past " + std::to_string(KORVEN_SECONDS) + " s" + said);
  if (k.signal)
    disagree(std::string("korven died of SIG") + sigabbrev_np(k.signal) + said);
  if (k.status < 0 || k.status > 2)
    disagree("korven ended with status " + std::to_string(k.status) + said);
  if (read_file(input) != input_bytes || read_file(partner) != partner_bytes)
    disagree("korven changed an input" + said);
  const bool output = exists(kdir + "/out.mtz");
  if (verdict == "ok") {
    if (k.status != 0)
      disagree("korven refused a file that the library alone reads (status " +
               std::to_string(k.status) + ")");
    if (read_file(kdir + "/out.mtz") != read_file(odir + "/out.mtz"))
      disagree("korven's HKLOUT differs from the library alone's");
    return 0;
  }
  // Where the library alone crashes, it has mostly followed a pointer that it
  // never set, and whether korven's run crashes too depends on what its
  // memory holds: such inputs are kept aside for a look, not counted.
  if (k.status == 0 && verdict.rfind("crash ", 0) == 0) {
    keep_aside(input, "korven-filtered-library-crashed");
    return 0;
  }
  if (k.status == 0)
    disagree("korven filtered a file that the library alone does not" + said);
  if (output)
    disagree("korven left an HKLOUT after status " + std::to_string(k.status) + said);
  const bool fatal = verdict.rfind("fatal ", 0) == 0;
  const bool clear = log.find("\n ERROR: ") != std::string::npos;
  if (k.status == 2 && verdict != "fatal 2")
    disagree("korven ended with status 2" + said);
  if (k.status == 1 && !clear && !fatal)
    disagree("korven ended with status 1 without an ERROR line" + said);
  return 0;
}
