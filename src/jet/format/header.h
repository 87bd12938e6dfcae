// The header page of a database file: format, code page, sort order, encryption and password.
// Recognises files we must refuse (Access 2007+, encrypted, password-protected) before anything else.
#pragma once

#include <cstdint>
#include <string>

#include "jet/format/format.h"

namespace jet {

struct Header {
  const Format* format = nullptr;
  int version = 0;          // 0 Jet 3, 1 Jet 4
  uint16_t codePage = 0;
  uint16_t sortOrder = 0;   // 1033: General
  uint8_t sortVersion = 0;
  double created = 0;       // Jet 4: creation date
};

// Parses and checks the first page; `prefix` holds at least the first 2048 bytes of the file.
Header parseHeader(const std::string& prefix, const std::string& path);

// The masked part of the header: the same bytes as stored, with the mask applied (and undone).
std::string unmaskHeader(const std::string& page, bool jet4);

}  // namespace jet
