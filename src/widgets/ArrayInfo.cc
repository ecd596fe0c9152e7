#include "nycl/widgets/ArrayInfo.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace nycl {

namespace {

// The fallback key GetArrayData builds is used up to this many bytes.
constexpr int kMaxFallbackKey = 2000;

bool SameKey(const XString& key, const char* name) {
  return name != nullptr && std::strcmp(key.c_str(), name) == 0;
}

}  // namespace

int ArrayInfo::SetType(const char* text) {
  if (text != nullptr && std::strcmp(text, "display") == 0) {
    type_ = 2;
  } else if (text != nullptr && std::strcmp(text, "input") == 0) {
    type_ = 1;
  } else {
    type_ = 0;
  }
  return type_;
}

int ArrayInfo::SetMaxLength(int maxLength) {
  maxLength_ = maxLength;
  return 1;
}

int ArrayInfo::SetLength(int n) {
  requestedLength_ = n;
  return n;
}

// The number is converted like the C library's decimal conversion; values beyond int are
// clamped rather than left to overflow.
int ArrayInfo::GetArrayNumber(const char* fieldName) {
  if (fieldName == nullptr) return 0;
  const char* marker = std::strstr(fieldName, "__");
  if (marker == nullptr) return 0;
  long number = std::strtol(marker + 2, nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

int ArrayInfo::GetArrayName(const char* fieldName, XString& key) {
  if (fieldName == nullptr) {
    key = XString();
    return 1;
  }
  size_t length = std::strcspn(fieldName, "_");
  XString result(fieldName, static_cast<int>(length));
  for (int i = 0; i < result.length(); ++i) {
    if (result.c_str()[i] == '.') result.SetAt(i, '-');
  }
  key = result;
  return 1;
}

int ArrayInfo::ReplaceDashFromArrayName(const char* name, XString* out) {
  XString result(name);
  for (int i = 0; i < result.length(); ++i) {
    if (result.c_str()[i] == '-') result.SetAt(i, 't');
  }
  *out = result;
  return 1;
}

int ArrayInfo::AddArrayData(const char* value, const char* fieldName, const char* /*dataType*/) {
  XString key;
  GetArrayName(fieldName, key);
  int row = GetArrayNumber(fieldName);
  std::vector<XString>* rows = GetColumnVector(key.c_str());
  if (rows == nullptr) {
    columns_.push_back(Column{key, {}});
    rows = &columns_.back().rows;
  }
  // A negative row names no position inside the column, so it appends like a row beyond
  // the end.
  if (row >= 0 && rows->size() > static_cast<size_t>(row)) {
    (*rows)[row] = XString(value);
    return 1;
  }
  rows->push_back(XString(value));
  length_ = static_cast<int>(rows->size());
  return 1;
}

int ArrayInfo::RemoveArrayData() {
  columns_.clear();
  length_ = 0;
  return 1;
}

int ArrayInfo::GetArrayData(const char* columnName, char** rows, int maxRows) const {
  if (maxRows < length_) return -1;
  const std::vector<XString>* values = GetColumnVector(columnName);
  if (values == nullptr) {
    XString key;
    GetArrayName(columnName, key);
    XString fallback(key.c_str(), key.length() < kMaxFallbackKey ? key.length() : kMaxFallbackKey);
    for (int i = 0; i < fallback.length(); ++i) {
      if (fallback.c_str()[i] == 't') fallback.SetAt(i, '-');
    }
    values = GetColumnVector(fallback.c_str());
    if (values == nullptr) return -2;
  }
  int written = 0;
  for (const XString& value : *values) {
    if (written >= maxRows) break;
    char* out = rows != nullptr ? rows[written] : nullptr;
    if (out != nullptr) {
      int length = value.length() < kMaxRowText ? value.length() : kMaxRowText;
      std::memcpy(out, value.c_str(), length);
      out[length] = '\0';
    }
    ++written;
  }
  return written;
}

int ArrayInfo::GetArrayDataLine(const char* columnName, int row, XString* out) const {
  const std::vector<XString>* values = GetColumnVector(columnName);
  if (values == nullptr) return -2;
  if (row < 0 || values->size() < static_cast<size_t>(row) + 1) return 0;
  if (out != nullptr) *out = (*values)[row];
  return 1;
}

std::vector<XString>* ArrayInfo::GetColumnVector(const char* key) {
  for (Column& column : columns_) {
    if (SameKey(column.key, key)) return &column.rows;
  }
  return nullptr;
}

const std::vector<XString>* ArrayInfo::GetColumnVector(const char* key) const {
  for (const Column& column : columns_) {
    if (SameKey(column.key, key)) return &column.rows;
  }
  return nullptr;
}

}  // namespace nycl
