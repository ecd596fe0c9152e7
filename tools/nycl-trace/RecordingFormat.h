// Renders a host call and its arguments as one text, e.g. "AddText(10,5,abc,attr,0)".
// Arguments are separated by commas without blanks; texts appear as they are, a null text as
// "(null)"; bools read true/false.
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGFORMAT_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGFORMAT_H

#include <string>

namespace nycl {
class CWidgetInfo;
class NyRenderWindow;
}  // namespace nycl

namespace nycl::recording {

inline std::string FormatArg(const char* text) {
  return text ? text : "(null)";
}
inline std::string FormatArg(char* text) {
  return FormatArg(static_cast<const char*>(text));
}
inline std::string FormatArg(const std::string& text) {
  return text;
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

// The window's name as it stands in records ("(null)" for no window).
std::string WindowName(NyRenderWindow* window);

inline void AppendArgs(std::string&) {}
template <class First, class... Rest>
void AppendArgs(std::string& out, const First& first, const Rest&... rest) {
  out += FormatArg(first);
  if (sizeof...(rest) > 0) out += ',';
  AppendArgs(out, rest...);
}

template <class... Args>
std::string FormatCall(const char* operation, const Args&... args) {
  std::string out = operation;
  out += '(';
  AppendArgs(out, args...);
  out += ')';
  return out;
}

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_RECORDINGFORMAT_H
