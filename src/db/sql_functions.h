// The functions a Jet expression may call (in criteria, default values and validation rules):
// Date, Now, Time, Len, Trim, LTrim, RTrim, Left, Right, Mid, Year, Month, Day and Abs.
#pragma once

#include <string>
#include <vector>

#include "jet/base/value.h"

namespace db::sql {

// The value of `name` (any letter case) called with `args`. A Null argument gives Null. Fails
// with 3085 for a function not listed above, 3075 for the wrong number of arguments, 3464 for
// an argument of the wrong kind (Year of text that is no date).
jet::Value callFunction(const std::string& name, const std::vector<jet::Value>& args);

// The local date and time now, as a date serial; midnight of today without `withTime`.
double localNow(bool withTime);

}  // namespace db::sql
