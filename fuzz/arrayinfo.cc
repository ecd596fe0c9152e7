// Screen arrays fed the commands a server sends. Input: operations separated by line feeds,
// each a letter and its text; arguments after the first tab:
//   a<field>\t<value>   AddArrayData
//   g<column>\t<n>      GetArrayData into n mod 64 rows
//   l<column>\t<row>    GetArrayDataLine
//   r                   RemoveArrayData
//   t<text>, m<n>, s<n> SetType, SetMaxLength, SetLength
//   c                   the array is replaced by a copy of itself
//   anything else       the name helpers on the text
// Checked: a value just added is in its column, at its row or as the last row; GetArrayData
// terminates every row within its 401 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/base/XString.h"
#include "nycl/widgets/ArrayInfo.h"

namespace {

using nycl::ArrayInfo;
using nycl::XString;

class InspectedArray : public ArrayInfo {
 public:
  size_t ColumnSize(const char* key) const {
    const std::vector<XString>* column = GetColumnVector(key);
    return column != nullptr ? column->size() : 0;
  }
};

bool RowHolds(const ArrayInfo& array, const char* key, int row, const std::string& value) {
  XString out;
  return row >= 0 && array.GetArrayDataLine(key, row, &out) == 1 && value == out.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InspectedArray array;
  for (const std::string& op : nycl::fuzz::Split(data, size, '\n')) {
    if (op.empty()) continue;
    const size_t tab = op.find('\t');
    const std::string first = op.substr(1, tab == std::string::npos ? std::string::npos : tab - 1);
    const std::string second = tab == std::string::npos ? std::string() : op.substr(tab + 1);
    const int number = std::atoi(second.c_str());
    switch (op[0]) {
      case 'a': {
        const std::string value = second.c_str();  // the array keeps C strings
        FUZZ_CHECK(array.AddArrayData(value.c_str(), first.c_str(), "string") == 1);
        XString key;
        ArrayInfo::GetArrayName(first.c_str(), key);
        const int last = static_cast<int>(array.ColumnSize(key.c_str())) - 1;
        FUZZ_CHECK(RowHolds(array, key.c_str(), ArrayInfo::GetArrayNumber(first.c_str()), value) ||
                   RowHolds(array, key.c_str(), last, value));
        break;
      }
      case 'g': {
        const int rows = std::abs(number % 64);
        std::vector<std::vector<char>> buffers(rows, std::vector<char>(ArrayInfo::kMaxRowText + 1));
        std::vector<char*> pointers;
        for (auto& buffer : buffers) pointers.push_back(buffer.data());
        const int written = array.GetArrayData(first.c_str(), pointers.data(), rows);
        for (int i = 0; i < written && i < rows; ++i) {
          FUZZ_CHECK(std::memchr(pointers[i], '\0', ArrayInfo::kMaxRowText + 1) != nullptr);
        }
        break;
      }
      case 'l': {
        XString out;
        array.GetArrayDataLine(first.c_str(), number, &out);
        break;
      }
      case 'r':
        array.RemoveArrayData();
        FUZZ_CHECK(array.GetLength() == 0);
        break;
      case 't':
        array.SetType(op.c_str() + 1);
        break;
      case 'm':
        array.SetMaxLength(std::atoi(op.c_str() + 1));
        break;
      case 's':
        array.SetLength(std::atoi(op.c_str() + 1));
        break;
      case 'c': {
        InspectedArray copy(array);
        array = copy;
        break;
      }
      default: {
        XString key;
        XString dashless;
        ArrayInfo::GetArrayNumber(op.c_str());
        ArrayInfo::GetArrayName(op.c_str(), key);
        ArrayInfo::ReplaceDashFromArrayName(op.c_str(), &dashless);
        break;
      }
    }
  }
  return 0;
}
