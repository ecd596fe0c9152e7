// Renders a host call and its arguments as one text, e.g. "AddText(10,5,abc,attr,0)".
// Arguments are separated by commas without blanks; bools read true/false. Texts appear as
// they are and a null text as "(null)" (the compact style the tests compare against), or, in
// the quoted style a trace reader wants, in double quotes with C escapes and a null text as null.
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGFORMAT_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGFORMAT_H

#include <string>

namespace nycl {
class CWidgetInfo;
class NyRenderWindow;
}  // namespace nycl

namespace nycl::recording {

// Process-wide choice of the text style; the quoted style is off until a program turns it on.
void SetQuotedTexts(bool quoted);
bool QuotedTexts();

// `text` in double quotes; quotes, backslashes and control bytes as C escapes.
std::string QuoteText(const std::string& text);

inline std::string FormatArg(const char* text) {
  if (QuotedTexts()) return text ? QuoteText(text) : "null";
  return text ? text : "(null)";
}
inline std::string FormatArg(char* text) {
  return FormatArg(static_cast<const char*>(text));
}
inline std::string FormatArg(const std::string& text) {
  return QuotedTexts() ? QuoteText(text) : text;
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
