// Jet dates as text: the date forms Jet accepts in #...# literals and in text written to date
// fields, and dates printed as the Basic runtime prints them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "jet/base/calendar_date.h"

namespace db {

using jet::DateParts;
using jet::daysInMonth;
using jet::formatIsoDate;
using jet::fromJetDate;
using jet::isLeapYear;
using jet::isValidDate;
using jet::kMaxDate;
using jet::kMinDate;
using jet::toJetDate;

// Parses the date and time forms Jet reads: "10/10/2010" (US month/day/year; day/month when the
// first number cannot be a month), "10/10/10", "Oct 10, 2010", "October 10, 2010", "10 Oct 2010",
// "2010-10-10", "2010-10-10 12:30:00", "10/10/2010 12:30:00 PM", "12:30 AM" (time alone is on
// day 0). Two-digit years 00..29 are 20xx, 30..99 are 19xx. A missing year is the current year.
// Returns nullopt for text that is no date.
std::optional<double> parseJetDate(std::string_view text);

// As VB's CStr prints a date: "m/d/yyyy h:mm:ss AM", the date alone when the time is midnight,
// the time alone on day 0 (so 0 prints "12:00:00 AM").
std::string formatVbDate(double serial);

}  // namespace db
