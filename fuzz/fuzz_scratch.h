// Where a fuzz target puts the file it hands to the engine: one scratch path per process and target.
// The engine works on files, so each input is written out first (to memory-backed /dev/shm when present).
#pragma once

#include <unistd.h>

#include <string>
#include <sys/stat.h>

namespace jet::fuzz {

inline std::string scratchPath(const char* target) {
  struct stat st {};
  std::string dir = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
  return dir + "/jetfuzz-" + std::to_string(::getpid()) + "-" + target + ".mdb";
}

}  // namespace jet::fuzz
