// The date and time in the names of files kept aside or backed up ("YYYYMMDD-HHMMSS"), in the
// system's local time, so that a user finds a copy by the clock on the wall.
#pragma once

#include <ctime>
#include <string>

namespace jet {

std::string fileNameStamp(std::time_t when);

}  // namespace jet
