#include "db/jet_date.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace db {
namespace {

int currentYear() {
  const auto now = std::chrono::system_clock::now();
  const long long days = std::chrono::duration_cast<std::chrono::hours>(now.time_since_epoch()).count() / 24;
  return fromJetDate(double(days + 25569)).year;  // 1970-01-01 is day 25569
}

// Month number of a month name or its abbreviation of at least three letters; 0 when none.
int monthOfName(const std::string& word) {
  static const char* const kNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                       "july",    "august",   "september", "october", "november", "december"};
  if (word.size() < 3) return 0;
  for (int i = 0; i < 12; ++i) {
    const std::string name = kNames[i];
    if (word.size() <= name.size() && name.compare(0, word.size(), word) == 0) return i + 1;
  }
  return 0;
}

bool isWeekdayName(const std::string& word) {
  static const char* const kNames[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
  if (word.size() < 3) return false;
  for (const char* n : kNames) {
    const std::string name = n;
    if (word.size() <= name.size() && name.compare(0, word.size(), word) == 0) return true;
  }
  return false;
}

struct Piece {
  enum Kind { Number, Word, Colon } kind;
  explicit Piece(Kind k) : kind(k) {}
  int value = 0;       // Number
  int digits = 0;      // Number
  std::string word;    // Word, lower case
};

bool splitPieces(std::string_view text, std::vector<Piece>& out) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isdigit(c)) {
      Piece p(Piece::Number);
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (p.digits >= 6) return false;
        p.value = p.value * 10 + (text[i] - '0');
        ++p.digits;
        ++i;
      }
      out.push_back(p);
    } else if (std::isalpha(c)) {
      Piece p(Piece::Word);
      while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
        p.word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        ++i;
      }
      out.push_back(p);
    } else if (c == ':') {
      out.push_back(Piece(Piece::Colon));
      ++i;
    } else if (c == '/' || c == '-' || c == ',' || c == '.' || std::isspace(c)) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

int expandYear(const Piece& p) {
  if (p.digits <= 2) return p.value < 30 ? 2000 + p.value : 1900 + p.value;
  return p.value;
}

// Seconds since midnight from pieces "h : m [: s] [AM|PM]"; false when malformed.
bool parseTime(const std::vector<Piece>& t, int& seconds) {
  size_t i = 0;
  int part[3] = {0, 0, 0};
  int count = 0;
  while (i < t.size() && t[i].kind == Piece::Number && count < 3) {
    part[count++] = t[i].value;
    ++i;
    if (i < t.size() && t[i].kind == Piece::Colon) {
      ++i;
      if (i >= t.size() || t[i].kind != Piece::Number) return false;
    } else {
      break;
    }
  }
  if (count < 2) return false;
  int hour = part[0];
  if (i < t.size()) {
    if (t[i].kind != Piece::Word || i + 1 != t.size()) return false;
    const std::string& w = t[i].word;
    const bool pm = (w == "pm" || w == "p");
    if (!pm && w != "am" && w != "a") return false;
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
  }
  if (hour > 23 || part[1] > 59 || part[2] > 59) return false;
  seconds = hour * 3600 + part[1] * 60 + part[2];
  return true;
}

bool parseDay(const std::vector<Piece>& d, int& year, int& month, int& day) {
  std::vector<const Piece*> nums;
  int named = 0;
  size_t namedAt = 0;
  for (const Piece& p : d) {
    if (p.kind == Piece::Number) {
      nums.push_back(&p);
    } else if (p.kind == Piece::Word) {
      if (int m = monthOfName(p.word)) {
        if (named) return false;
        named = m;
        namedAt = nums.size();
      } else if (!isWeekdayName(p.word)) {
        return false;
      }
    } else {
      return false;
    }
  }
  if (named) {
    month = named;
    if (nums.size() == 2) {
      if (namedAt == 1 && (nums[0]->digits > 2 || nums[0]->value > 31)) {  // 2010 Oct 10
        year = nums[0]->value;
        day = nums[1]->value;
      } else {  // Oct 10, 2010 / 10 Oct 2010
        day = nums[0]->value;
        year = expandYear(*nums[1]);
      }
    } else if (nums.size() == 1) {
      if (nums[0]->digits > 2 || nums[0]->value > 31) {  // Oct 2010
        year = nums[0]->value;
        day = 1;
      } else {  // Oct 10
        year = currentYear();
        day = nums[0]->value;
      }
    } else {
      return false;
    }
  } else if (nums.size() == 3) {
    if (nums[0]->digits > 2) {  // 2010-10-10
      year = nums[0]->value;
      month = nums[1]->value;
      day = nums[2]->value;
    } else {  // 10/10/2010, day first when the first cannot be a month
      month = nums[0]->value;
      day = nums[1]->value;
      year = expandYear(*nums[2]);
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else if (nums.size() == 2) {
    if (nums[0]->digits > 2) {  // 2010/10
      year = nums[0]->value;
      month = nums[1]->value;
      day = 1;
    } else if (nums[1]->digits > 2 || nums[1]->value > 31) {  // 10/2010
      month = nums[0]->value;
      year = expandYear(*nums[1]);
      day = 1;
    } else {  // 10/10 of this year
      month = nums[0]->value;
      day = nums[1]->value;
      year = currentYear();
      if (month > 12 && day <= 12) std::swap(month, day);
    }
  } else {
    return false;
  }
  return isValidDate(year, month, day);
}

}  // namespace

std::optional<double> parseJetDate(std::string_view text) {
  std::vector<Piece> pieces;
  if (!splitPieces(text, pieces) || pieces.empty()) return std::nullopt;
  // The time starts at the number before the first colon.
  size_t timeAt = pieces.size();
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (pieces[i].kind == Piece::Colon && pieces[i - 1].kind == Piece::Number) {
      timeAt = i - 1;
      break;
    }
  }
  std::vector<Piece> day(pieces.begin(), pieces.begin() + timeAt);
  std::vector<Piece> time(pieces.begin() + timeAt, pieces.end());
  if (!day.empty() && !time.empty() && day.back().kind == Piece::Word && day.back().word == "t") day.pop_back();

  int seconds = 0;
  if (!time.empty() && !parseTime(time, seconds)) return std::nullopt;
  DateParts p;
  if (!day.empty()) {
    if (!parseDay(day, p.year, p.month, p.day)) return std::nullopt;
  } else if (time.empty()) {
    return std::nullopt;
  }
  p.hour = seconds / 3600;
  p.minute = seconds / 60 % 60;
  p.second = seconds % 60;
  return toJetDate(p);
}

std::string formatVbDate(double serial) {
  const DateParts p = fromJetDate(serial);
  const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  char date[24];
  std::snprintf(date, sizeof date, "%d/%d/%d", p.month, p.day, p.year);
  char time[24];
  const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  std::snprintf(time, sizeof time, "%d:%02d:%02d %s", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
  if (dayZero) return time;
  if (midnight) return date;
  return std::string(date) + " " + time;
}

}  // namespace db
