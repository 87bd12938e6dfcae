// Fuzz target: edit a file. The input's whole pages are the database; the bytes after them choose
// the inserts, updates and deletes. The result is read and checked again.
#include <cstddef>
#include <cstdint>

#include "fuzz_paths.h"
#include "fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = jet::fuzz::scratchPath("edit");
  size_t dbSize = jet::fuzz::databaseBytes(data, size);
  jet::fuzz::writeBytes(path, data, dbSize);
  try {
    jet::fuzz::editPath(path, data + dbSize, size - dbSize);
  } catch (const jet::Error&) {
    // Refusing a damaged file is the expected outcome; anything else escapes and is reported.
  }
  jet::fuzz::removeScratch(path);
  return 0;
}
