// Values as the export prints them: plain numbers that read back exactly, quoted text, ISO dates.
// Shared by `jet export` and `jet sql`.
#pragma once

#include <string>
#include <vector>

#include "jet/base/value.h"

namespace jet {

std::string csvField(const Value& v);
// A row's fields, comma-separated, with the closing newline.
std::string csvLine(const std::vector<Value>& values);
std::string csvQuote(const std::string& text);
// Shortest decimal text that reads back as the same double.
std::string formatDouble(double d);

}  // namespace jet
