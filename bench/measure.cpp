// Runs a command and writes its wall seconds, CPU seconds (user + system)
// and peak resident set in KiB on one line to RESULT.  Exits with the
// command's status.  The CPU seconds include those of the processes that the
// command forked and waited for, and the peak is the largest of any of them
// (Linux's wait4), not their sum.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure RESULT COMMAND [ARG...]\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    std::perror(argv[2]);
    _exit(127);
  }
  int status = 0;
  struct rusage ru;
  if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) {
    std::perror("measure");
    return 2;
  }
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  double cpu = seconds(ru.ru_utime) + seconds(ru.ru_stime);
  FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 2;
  }
  std::fprintf(out, "%.4f %.4f %ld\n", wall.count(), cpu, ru.ru_maxrss);
  std::fclose(out);
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
