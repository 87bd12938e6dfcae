// Fuzz target: open a file, read every table's rows and walk every index.
#include <cstddef>
#include <cstdint>

#include "fuzz_paths.h"
#include "fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = jet::fuzz::scratchPath("read");
  jet::fuzz::writeBytes(path, data, jet::fuzz::databaseBytes(data, size));
  try {
    jet::fuzz::readPath(path);
  } catch (const jet::Error&) {
    // Refusing a damaged file is the expected outcome; anything else escapes and is reported.
  }
  jet::fuzz::removeScratch(path);
  return 0;
}
