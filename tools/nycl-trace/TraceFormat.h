// Renders a call for the trace: `Name("text", 12, true)`. Texts are quoted, with C escapes
// for quotes, backslashes and control bytes, so empty and blank arguments stay visible.
#ifndef NYCL_TOOLS_NYCL_TRACE_TRACEFORMAT_H
#define NYCL_TOOLS_NYCL_TRACE_TRACEFORMAT_H

#include <string>

namespace nycl {
class CWidgetInfo;
}

namespace nycl::trace {

std::string Quote(const char* text);

inline std::string FormatArg(const char* text) {
  return Quote(text);
}
inline std::string FormatArg(char* text) {
  return Quote(text);
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
// null, or the widget description as widget{type, config, options, class}.
std::string FormatArg(CWidgetInfo* description);

inline void AppendArgs(std::string&) {}
template <class First, class... Rest>
void AppendArgs(std::string& out, First first, Rest... rest) {
  out += FormatArg(first);
  if (sizeof...(rest) > 0) out += ", ";
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

}  // namespace nycl::trace

#endif  // NYCL_TOOLS_NYCL_TRACE_TRACEFORMAT_H
