#include "TraceFormat.h"

#include <cstdio>

#include "nycl/widgets/CWidgetInfo.h"

namespace nycl::trace {

std::string Quote(const char* text) {
  if (text == nullptr) return "null";
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    switch (*p) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (*p < 0x20 || *p == 0x7f) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\x%02x", *p);
          out += escaped;
        } else {
          out += static_cast<char>(*p);
        }
    }
  }
  out += '"';
  return out;
}

std::string FormatArg(CWidgetInfo* description) {
  if (description == nullptr) return "null";
  return "widget{" + Quote(description->NameText()) + ", " + Quote(description->ConfigText()) +
         ", " + Quote(description->OptionsText()) + ", " + Quote(description->WidgetClassText()) +
         "}";
}

}  // namespace nycl::trace
