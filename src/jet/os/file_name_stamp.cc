#include "jet/os/file_name_stamp.h"

#include "jet/os/os_file.h"

namespace jet {

std::string fileNameStamp(std::time_t when) {
  const std::tm local = osLocalTime(when);
  char stamp[32] = "";
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return stamp;
}

}  // namespace jet
