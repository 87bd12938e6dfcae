// Errors raised by the engine and the layers above it.
// Every failure is an Error carrying a Jet-style number and a description; only the top catches.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

// Error numbers, following the numbers Jet and its runtime use for the same failures.
namespace err {
inline constexpr int kOverflow = 6;               // number out of range
inline constexpr int kTypeMismatch = 13;          // value cannot be converted
inline constexpr int kInvalidNull = 94;           // Null where a value is needed
inline constexpr int kNoCurrentRecord = 3021;     // no current row
inline constexpr int kDuplicateKey = 3022;        // duplicate value in a unique index
inline constexpr int kFileNotFound = 3024;        // database file missing
inline constexpr int kReadOnly = 3027;            // database or object is read-only
inline constexpr int kBadPassword = 3031;         // encrypted or password-protected
inline constexpr int kAlreadyInUse = 3045;        // file held by another program
inline constexpr int kDiskIo = 3043;              // disk or network error
inline constexpr int kNotDatabase = 3049;         // damaged, or not a database at all
inline constexpr int kLogNotCreated = 3050;       // no permission to create the log beside the file (Jet: could not lock file)
inline constexpr int kCannotOpen = 3051;          // permission denied
inline constexpr int kSyntaxQuery = 3075;         // syntax error in an expression
inline constexpr int kTableNotFound = 3078;       // input table or query not found
inline constexpr int kTooSmall = 3163;            // value too long for its field
inline constexpr int kItemNotFound = 3265;        // field not found in this collection
inline constexpr int kLocked = 3260;              // locked by another user
inline constexpr int kUnrecognizedFormat = 3343;  // a database format we do not read
inline constexpr int kSyntaxStatement = 3000;     // statement is not one we know
inline constexpr int kCriteriaMismatch = 3464;    // data type mismatch in criteria
inline constexpr int kDiskFull = 3035;            // out of disk space / system resources
inline constexpr int kNotSupported = 3251;        // operation not supported for this object
inline constexpr int kInvalidArgument = 3001;     // invalid argument
inline constexpr int kNullInIndex = 3058;         // Null in a primary key or required index
}  // namespace err

class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// A damaged file: raised by every bounds check of the reader.
[[noreturn]] inline void corrupt(const std::string& what) {
  throw Error(err::kNotDatabase, "The database file is damaged: " + what + ".");
}

}  // namespace jet
