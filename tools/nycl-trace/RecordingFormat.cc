#include "RecordingFormat.h"

#include "nycl/state/NyRenderWindow.h"
#include "nycl/widgets/CWidgetInfo.h"

namespace nycl::recording {

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
