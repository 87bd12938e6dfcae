#include "jet/base/calendar_date.h"

#include <cmath>
#include <cstdio>


namespace jet {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil-day algorithm).
long long daysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const long long kEpoch = daysFromCivil(1899, 12, 30);

}  // namespace

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValidDate(int year, int month, int day) {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

double toJetDate(const DateParts& p) {
  const double days = static_cast<double>(daysFromCivil(p.year, p.month, p.day) - kEpoch);
  const double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
  return days >= 0 ? days + time : days - time;
}

DateParts fromJetDate(double serial) {
  if (!(std::fabs(serial) < 1e8)) serial = 0;  // no date at all (damaged value): show day 0, never overflow
  double whole = std::trunc(serial);
  long long seconds = std::llround(std::fabs(serial - whole) * 86400.0);
  long long day = static_cast<long long>(whole);
  if (seconds >= 86400) {  // rounded up to the next midnight
    seconds -= 86400;
    day += 1;
  }
  DateParts p;
  civilFromDays(day + kEpoch, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

std::string formatIsoDate(double serial) {
  const DateParts p = fromJetDate(serial);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  return buf;
}

}  // namespace jet
