// Jet's date values as calendar dates: a double counting days since 1899-12-30, with the time of
// day as its fraction. The one conversion every layer uses, to parts and to ISO text.
#pragma once

#include <string>

namespace jet {

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The serial number of a date and time. Before 1899-12-30 the day count is negative and the
// time of day is subtracted (Jet keeps the fraction's magnitude as the time: -1.25 is
// 1899-12-29 06:00). Parts are not validated; use isValidDate first when they come from outside.
double toJetDate(const DateParts& p);
// Calendar parts of a serial number, the time rounded to the nearest second.
DateParts fromJetDate(double serial);

bool isLeapYear(int year);
int daysInMonth(int year, int month);
// Year 100..9999, month 1..12, day within the month.
bool isValidDate(int year, int month, int day);

// The earliest and latest serial numbers Jet stores (1/1/100 and 12/31/9999 23:59:59).
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDate = 2958465.99999;

// "YYYY-MM-DD HH:MM:SS".
std::string formatIsoDate(double serial);

}  // namespace jet
