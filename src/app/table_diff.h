// What an update changed in a database: its tables compared row by row, before and after.
// Rows are matched by primary key; in a table without one, by all their values.
#pragma once

#include <ostream>
#include <string>

#include "jet/base/value.h"

namespace app {

// Compares every user table of the database file `before` with the same table of `after` (both
// opened read-only) and writes, for each table, a line with its counts and then one line for
// each row added ("+"), changed ("~", each changed field as "name: old → new") and deleted ("-").
// Rows are streamed: each table of `before` is held only as a key and a checksum per row, and
// read a second time for the rows that were changed or deleted.
void writeDatabaseChanges(const std::string& before, const std::string& after, std::ostream& out);

// A field value as the changes show it: Null, True/False, numbers as VB prints them, text in
// double quotes (shortened past 100 characters), dates between # signs, binary by its length.
std::string displayValue(const jet::Value& v);

}  // namespace app
