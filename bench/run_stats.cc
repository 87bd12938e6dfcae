// Runs a command and prints what it cost: wall seconds, peak memory, and its I/O as the kernel
// counted it (bytes read and written by its system calls, read calls). Linux only.
// Usage: run-stats OUTFILE COMMAND [ARG...]   (the command's standard output goes to OUTFILE)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// "name: value" lines of a /proc file, the values as numbers.
std::map<std::string, long long> procFields(const std::string& path) {
  std::map<std::string, long long> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::istringstream value(line.substr(colon + 1));
    long long v = 0;
    if (value >> v) out[line.substr(0, colon)] = v;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: run-stats OUTFILE COMMAND [ARG...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  // Wait for the end without reaping, so that the child's /proc entries can still be read.
  siginfo_t info{};
  if (waitid(P_PID, child, &info, WEXITED | WNOWAIT) != 0) return 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string proc = "/proc/" + std::to_string(child);
  auto io = procFields(proc + "/io");
  int exitStatus = 0;
  rusage usage{};
  wait4(child, &exitStatus, 0, &usage);
  // seconds, peak KB, MB read and written by system calls, read calls
  std::printf("%.2f %ld %.1f %.1f %lld\n", seconds, usage.ru_maxrss, io["rchar"] / 1048576.0, io["wchar"] / 1048576.0,
              io["syscr"]);
  return WIFEXITED(exitStatus) ? WEXITSTATUS(exitStatus) : 1;
}
