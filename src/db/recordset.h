// A record set: the rows of a table or SELECT, with a current row, moves, finds and edits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/base/value.h"

namespace db {

class Recordset {
 public:
  virtual ~Recordset() = default;

  // Right after opening: 0 exactly when the set is empty; after MoveLast, the number of rows.
  virtual long RecordCount() const = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;   // fails with "no current record" on an empty set
  virtual void MoveNext() = 0;
  virtual bool Eof() const = 0;  // True once past the last row (EOF)
  virtual bool Bof() const = 0;

  // Current row becomes the first row that meets the criterion ("DXCC=517"); NoMatch tells.
  virtual void FindFirst(const std::string& criteria) = 0;
  virtual bool NoMatch() const = 0;

  // Fields(name).Value of the current row, or of the row being added or edited.
  virtual jet::Value getField(const std::string& name) const = 0;
  virtual void setField(const std::string& name, const jet::Value& value) = 0;

  virtual void AddNew() = 0;  // a new row; its autonumber can be read at once
  virtual void Edit() = 0;    // the current row may be changed
  virtual void Update() = 0;  // the row is stored in the file at once
  virtual void Delete() = 0;

  virtual std::vector<std::string> fieldNames() const = 0;
  // The fields of the current row (or of the row being added or edited), in fieldNames() order.
  virtual std::vector<jet::Value> currentValues() const = 0;
};

}  // namespace db
