// ArrayInfo: the declaration and contents of one 4GL screen array.
#ifndef NYCL_WIDGETS_ARRAYINFO_H
#define NYCL_WIDGETS_ARRAYINFO_H

#include <vector>

#include "nycl/base/XString.h"

namespace nycl {

// Keeps the values the server sends for a screen array column by column, so that the host
// can read whole columns or single rows. A value is named by its form field: the field's
// column key is the text before its first underscore with every "." turned into "-", its row
// the decimal number after its first "__" (0 without one); s.col__3 is row 3 of column
// s-col. Column keys compare exactly.
//
// A value type: copies share the row texts (XString is copy on write). Threads: an array
// belongs to one thread at a time.
class ArrayInfo {
 public:
  // The most bytes of one value GetArrayData copies; each output row holds this + 1 bytes.
  static constexpr int kMaxRowText = 400;

  ArrayInfo() = default;

  // 2 for exactly "display", 1 for exactly "input", else 0 (also for null); returns the type.
  int SetType(const char* text);
  int GetType() const { return type_; }
  bool isInputArray() const { return type_ == 1; }
  bool isDisplayArray() const { return type_ == 2; }

  int SetMaxLength(int maxLength);  // returns 1
  int GetMaxLength() const { return maxLength_; }
  // Records the length the server asked for and returns it; the row count is not changed.
  int SetLength(int n);
  // The row count: the size of the column a value was last appended to.
  int GetLength() const { return length_; }

  // The row number of a field name (above); a null name has row 0.
  static int GetArrayNumber(const char* fieldName);
  // Sets `key` to the column key of a field name (empty for null); returns 1.
  static int GetArrayName(const char* fieldName, XString& key);
  // Sets `*out` to `name` with every "-" replaced by "t"; returns 1.
  static int ReplaceDashFromArrayName(const char* name, XString* out);

  // Stores `value` (null reads as empty) under its field name. A row inside the column
  // overwrites that row and leaves the row count alone; any other row (beyond the end, or
  // negative) appends and makes the row count the column's new size. `dataType` is not used.
  // Returns 1.
  int AddArrayData(const char* value, const char* fieldName, const char* dataType);
  // Drops every column and value; the row count becomes 0. Returns 1.
  int RemoveArrayData();

  // Copies the column `columnName` into `rows`, one value per entry in row order, at most
  // maxRows values. If no column has that key, the column whose key is columnName's column
  // key with every "t" turned into "-" is used instead.
  // REQUIRES: `rows` holds maxRows pointers, each to a buffer of kMaxRowText + 1 (401) bytes;
  // a null entry is skipped. Every entry written is NUL-terminated within those bytes; a
  // longer value is cut to kMaxRowText bytes.
  // Returns the number of values processed; -1 (nothing copied) when maxRows is below
  // GetLength(); -2 when neither column exists.
  int GetArrayData(const char* columnName, char** rows, int maxRows) const;

  // Sets `*out` to row `row` of the column whose key is exactly `columnName`. Returns 1; 0
  // (out untouched) when the column has no such row; -2 when there is no such column.
  int GetArrayDataLine(const char* columnName, int row, XString* out) const;

 protected:
  // The rows of the column whose key equals `key`, or null. The pointer is valid until the
  // next AddArrayData or RemoveArrayData.
  std::vector<XString>* GetColumnVector(const char* key);
  const std::vector<XString>* GetColumnVector(const char* key) const;

 private:
  struct Column {
    XString key;
    std::vector<XString> rows;
  };

  int requestedLength_ = 0;
  int type_ = 0;
  int length_ = 0;
  int maxLength_ = 0;
  std::vector<Column> columns_;
};

}  // namespace nycl

#endif  // NYCL_WIDGETS_ARRAYINFO_H
