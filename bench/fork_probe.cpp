// A process tree of known work, for bench/run to check that its figures
// cover a forked child as korven forks one:
//   fork_probe LOOPS MIB fork     LOOPS steps, a fork, then in the child LOOPS
//                                 more steps and MIB MiB written; the parent
//                                 waits for the child
//   fork_probe LOOPS MIB alone    the same work in one process
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile unsigned long sink;

void work(long loops) {
  unsigned long s = 0;
  for (long i = 0; i < loops; ++i)
    s = s * 6364136223846793005UL + 1442695040888963407UL;
  sink = s;
}

void touch(long mib) {
  std::vector<char> block(size_t(mib) << 20);
  std::memset(block.data(), 1, block.size());
  sink = (unsigned long)block[block.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fork_probe LOOPS MIB fork|alone\n");
    return 2;
  }
  long loops = std::atol(argv[1]), mib = std::atol(argv[2]);
  work(loops);
  if (std::string(argv[3]) == "fork") {
    pid_t child = fork();
    if (child < 0) {
      std::perror("fork_probe");
      return 1;
    }
    if (child > 0) {
      int status = 0;
      return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
  }
  work(loops);
  touch(mib);
  return 0;
}
