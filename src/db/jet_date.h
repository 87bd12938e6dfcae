// Jet dates: days since 1899-12-30 with the time of day as fraction, to and from calendar parts and text.
// Reads the date forms Jet accepts in #...# literals and in text written to date fields.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace db {

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

// Parses the date and time forms Jet reads: "10/10/2010" (US month/day/year; day/month when the
// first number cannot be a month), "10/10/10", "Oct 10, 2010", "October 10, 2010", "10 Oct 2010",
// "2010-10-10", "2010-10-10 12:30:00", "10/10/2010 12:30:00 PM", "12:30 AM" (time alone is on
// day 0). Two-digit years 00..29 are 20xx, 30..99 are 19xx. A missing year is the current year.
// Returns nullopt for text that is no date.
std::optional<double> parseJetDate(std::string_view text);

// "YYYY-MM-DD HH:MM:SS".
std::string formatIsoDate(double serial);
// As VB's CStr prints a date: "m/d/yyyy h:mm:ss AM", the date alone when the time is midnight,
// the time alone on day 0 (so 0 prints "12:00:00 AM").
std::string formatVbDate(double serial);

}  // namespace db
