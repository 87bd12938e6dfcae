// Errors raised by the engine and every layer above it, and the one table of their numbers.
// Every failure is an Error carrying a number and a description; the top catches them to report
// them, and a lower layer only to translate one into another or to undo what it began.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

// Error numbers, sorted, following the numbers the Jet engine and the Basic runtime use for the
// same failures. Every layer takes its numbers from here; the comment gives the meaning.
namespace err {
inline constexpr int kOverflow = 6;                // number out of range
inline constexpr int kOutOfMemory = 7;             // out of memory
inline constexpr int kDivisionByZero = 11;         // division by zero in an expression
inline constexpr int kTypeMismatch = 13;           // value cannot be converted
inline constexpr int kInternal = 51;               // a broken invariant of this program: a bug, not bad input
inline constexpr int kSystemFileNotFound = 53;     // a system library or file not found
inline constexpr int kPathFileAccess = 75;         // path/file access error
inline constexpr int kPathNotFound = 76;           // path not found
inline constexpr int kObjectNotSet = 91;           // object variable not set (no open database)
inline constexpr int kInvalidPattern = 93;         // malformed LIKE pattern ("[a-" without ']')
inline constexpr int kInvalidNull = 94;            // Null where a value is needed
inline constexpr int kDllEntryPoint = 453;         // a system library lacks an entry point
inline constexpr int kInvalidArgument = 3001;      // invalid argument
inline constexpr int kTableExists = 3010;          // a table of that name exists already
inline constexpr int kNoAddNewOrEdit = 3020;       // Update or CancelUpdate without AddNew or Edit
inline constexpr int kNoCurrentRecord = 3021;      // no current row
inline constexpr int kDuplicateKey = 3022;         // duplicate value in a unique index
inline constexpr int kFileNotFound = 3024;         // database file missing
inline constexpr int kReadOnly = 3027;             // database or object is read-only
inline constexpr int kBadPassword = 3031;          // encrypted or password-protected
inline constexpr int kDiskFull = 3035;             // out of disk space / system resources
inline constexpr int kDiskIo = 3043;               // disk or network error
inline constexpr int kInvalidPath = 3044;          // a path that no file can have (a NUL inside)
inline constexpr int kAlreadyInUse = 3045;         // file held by another program
inline constexpr int kRecordTooLarge = 3047;       // a row larger than a data page holds
inline constexpr int kNotDatabase = 3049;          // damaged, or not a database at all
inline constexpr int kLogNotCreated = 3050;        // no permission to create the log beside the file
inline constexpr int kCannotOpen = 3051;           // permission denied
inline constexpr int kInvalidFileName = 3055;      // a path, or a name in it, too long for the system
inline constexpr int kNullInIndex = 3058;          // Null in a primary key or required index
inline constexpr int kTooFewParameters = 3061;     // a name in a query that is no field of its table
inline constexpr int kCannotExecuteSelect = 3065;  // Execute given a SELECT
inline constexpr int kUnknownName = 3070;          // a name in FindFirst criteria that is no field
inline constexpr int kSyntaxQuery = 3075;          // syntax error in an expression
inline constexpr int kTableNotFound = 3078;        // input table or query not found
inline constexpr int kUndefinedFunction = 3085;    // a function an expression calls that is not known
inline constexpr int kUnknownInsertField = 3127;   // INSERT INTO names a field the table lacks
inline constexpr int kInvalidStatement = 3129;     // not a statement we know
inline constexpr int kSyntaxFrom = 3131;           // FROM clause
inline constexpr int kSyntaxInsert = 3134;         // INSERT INTO
inline constexpr int kSyntaxOrderBy = 3138;        // ORDER BY clause
inline constexpr int kSyntaxSelect = 3141;         // SELECT column list, or text after the statement
inline constexpr int kSyntaxUpdate = 3144;         // UPDATE
inline constexpr int kTooSmall = 3163;             // value too long for its field
inline constexpr int kNotUpdatable = 3164;         // field cannot be updated (autonumber)
inline constexpr int kRecordDeleted = 3167;        // the current row was deleted
inline constexpr int kRelatedRecordsExist = 3200;   // rows of another table refer to this one
inline constexpr int kRelatedRecordRequired = 3201; // a reference names no row
inline constexpr int kDatabaseExists = 3204;       // a database file of that name exists already
inline constexpr int kInvalidOperation = 3219;     // a source that is no table and no SELECT
inline constexpr int kNotSupported = 3251;         // operation not supported for this object
inline constexpr int kInvalidFieldType = 3259;     // unknown type name in a field definition
inline constexpr int kItemNotFound = 3265;         // field not found in this collection
inline constexpr int kSyntaxConstraint = 3289;     // CONSTRAINT / PRIMARY KEY / UNIQUE clause
inline constexpr int kSyntaxCreateTable = 3290;    // CREATE TABLE
inline constexpr int kSyntaxCreateIndex = 3291;    // CREATE INDEX
inline constexpr int kSyntaxFieldDef = 3292;       // field definition
inline constexpr int kSyntaxAlterTable = 3293;     // ALTER TABLE
inline constexpr int kSyntaxDrop = 3295;           // DROP TABLE / DROP INDEX
inline constexpr int kValueRequired = 3314;        // Null in a column whose Required property is Yes
inline constexpr int kZeroLengthString = 3315;     // "" in a column whose AllowZeroLength is No
inline constexpr int kValidationText = 3316;       // a ValidationRule refused a value: its ValidationText
inline constexpr int kValidationRule = 3317;       // a ValidationRule without ValidationText refused a value
inline constexpr int kUnrecognizedFormat = 3343;   // a database format we do not read
inline constexpr int kValueCount = 3346;           // INSERT: values and fields differ in number
inline constexpr int kQueryTooComplex = 3360;     // an expression nested or chained beyond our limits
inline constexpr int kConversion = 3421;           // data type conversion error on a field write
inline constexpr int kCriteriaMismatch = 3464;     // data type mismatch in criteria
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

// A broken invariant of this program itself: never caused by a file or by what a user typed. It
// still ends in a numbered error at the top, so the user's files are left as they were.
[[noreturn]] inline void internalFault(const std::string& what) {
  throw Error(err::kInternal, "Internal error: " + what + ".");
}

}  // namespace jet
