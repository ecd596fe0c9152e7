#include "RecordingFormat.h"

#include "nycl/state/NyRenderWindow.h"
#include "nycl/widgets/CWidgetInfo.h"

#include <atomic>
#include <cstdio>

namespace nycl::recording {

namespace {
std::atomic<bool> quoted_texts{false};
}  // namespace

void SetQuotedTexts(bool quoted) {
  quoted_texts.store(quoted, std::memory_order_relaxed);
}
bool QuotedTexts() {
  return quoted_texts.load(std::memory_order_relaxed);
}

std::string QuoteText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
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
        if (c < 0x20 || c == 0x7f) {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

std::string FormatArg(CWidgetInfo* description) {
  if (description == nullptr) return "null";
  return "{" + FormatArg(description->NameText()) + "," + FormatArg(description->ConfigText()) +
         "," + FormatArg(description->OptionsText()) + "," +
         FormatArg(description->WidgetClassText()) + "}";
}

std::string WindowName(NyRenderWindow* window) {
  if (window == nullptr) return "(null)";
  char buffer[512];
  window->getWindowName(buffer, 511);
  return buffer;
}

}  // namespace nycl::recording
