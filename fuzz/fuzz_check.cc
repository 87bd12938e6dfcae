// Fuzz target: open a file and run the consistency check behind `jet check`.
#include <cstddef>
#include <cstdint>

#include "fuzz_paths.h"
#include "fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = jet::fuzz::scratchPath("check");
  jet::fuzz::writeBytes(path, data, jet::fuzz::databaseBytes(data, size));
  try {
    jet::fuzz::checkPath(path);
  } catch (const jet::Error&) {
    // Refusing a damaged file is the expected outcome; anything else escapes and is reported.
  }
  jet::fuzz::removeScratch(path);
  return 0;
}
