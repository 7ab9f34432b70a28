#include "tests/support/run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

[[noreturn]] void exec_child(const std::vector<std::string>& args, const RunOptions& o,
                             const std::string& out, const std::string& err) {
  if (!o.cwd.empty() && chdir(o.cwd.c_str()) != 0)
    _exit(127);
  int in = open("/dev/null", O_RDONLY);
  int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int fe = o.merged ? fo : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(in, 0);
  dup2(fo, 1);
  dup2(fe, 2);
  // A run that loops must fail the test, not fill the disk or hang it.
  rlimit file_limit = {rlim_t(o.file_limit), rlim_t(o.file_limit)}, cpu_limit = {60, 60};
  if (o.full_as_error)
    signal(SIGXFSZ, SIG_IGN);
  if (o.own_group)
    setpgid(0, 0);
  setrlimit(RLIMIT_FSIZE, &file_limit);
  setrlimit(RLIMIT_CPU, &cpu_limit);
  setenv("CINCL", KORVEN_SHARE_DIR, 1);
  for (const auto& name : o.unset)
    unsetenv(name.c_str());
  for (const auto& [name, value] : o.env)
    setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  std::string exe = o.exe.empty() ? KORVEN_EXE : o.exe;
  std::string name = "korven";
  argv.push_back(name.data());
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(exe.c_str(), argv.data());
  _exit(127);
}

}  // namespace

Started start_korven(const std::vector<std::string>& args, const RunOptions& options) {
  Started run{-1, make_temp_dir(), options.merged};
  pid_t pid = fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0)
    exec_child(args, options, run.dir + "/stdout", run.dir + "/stderr");
  run.pid = pid;
  return run;
}

RunResult run_korven(const std::vector<std::string>& args, const RunOptions& options) {
  return finish_korven(start_korven(args, options));
}

RunResult finish_korven(const Started& run) {
  const std::string& dir = run.dir;
  std::string out = dir + "/stdout", err = dir + "/stderr";
  int wstatus = 0;
  waitpid(run.pid, &wstatus, 0);
  RunResult r;
  if (WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus))
    r.signal = WTERMSIG(wstatus);
  r.out = read_file(out);
  r.err = run.merged ? "" : read_file(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  rmdir(dir.c_str());
  return r;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::string make_temp_dir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/korven-test-XXXXXX";
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}
