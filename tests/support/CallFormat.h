// Renders a call and its arguments as one text, e.g. "AddText(10,5,abc,attr,0)".
// Null texts read "(null)"; bools read true/false.
#ifndef NYCL_TESTS_SUPPORT_CALLFORMAT_H
#define NYCL_TESTS_SUPPORT_CALLFORMAT_H

#include <string>

namespace nycl {
class CWidgetInfo;
}

namespace nycl::test {

inline std::string FormatArg(const char* text) {
  return text ? text : "(null)";
}
inline std::string FormatArg(char* text) {
  return FormatArg(static_cast<const char*>(text));
}
inline std::string FormatArg(bool value) {
  return value ? "true" : "false";
}
inline std::string FormatArg(int value) {
  return std::to_string(value);
}
inline std::string FormatArg(unsigned int value) {
  return std::to_string(value);
}
// "null", or the description's type word, config, options and class in braces.
std::string FormatArg(CWidgetInfo* description);

inline void AppendArgs(std::string&) {}
template <class First, class... Rest>
void AppendArgs(std::string& out, First first, Rest... rest) {
  out += FormatArg(first);
  if (sizeof...(rest) > 0) out += ',';
  AppendArgs(out, rest...);
}

template <class... Args>
std::string FormatCall(const char* operation, Args... args) {
  std::string out = operation;
  out += '(';
  AppendArgs(out, args...);
  out += ')';
  return out;
}

}  // namespace nycl::test

#endif  // NYCL_TESTS_SUPPORT_CALLFORMAT_H
