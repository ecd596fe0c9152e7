#include "nycl/widgets/CBUTTONWidgetType.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "nycl/widgets/CWidgetInfo.h"
#include "widgets/WidgetText.h"

namespace nycl {

using widgets_internal::CopyBounded;
using widgets_internal::Duplicate;

namespace {

// How much of the configuration the constructor looks at for a label, and how much of it
// GetKeyAction cuts into tokens.
constexpr size_t kLabelScanLimit = 2000;
constexpr int kKeyActionLimit = 200;

}  // namespace

CBUTTONWidgetType::CBUTTONWidgetType(CWidgetInfo* info) : CWidgetType(info) {
  const char* config = info->ConfigText();
  if (config == nullptr) return;
  size_t length = std::min(std::strlen(config), kLabelScanLimit);
  for (size_t i = 0; i < length; ++i) {
    if (std::isspace(static_cast<unsigned char>(config[i])) != 0) {
      label_ = Duplicate(config + i + 1, length - i - 1);
      return;
    }
  }
}

CBUTTONWidgetType::~CBUTTONWidgetType() = default;

int CBUTTONWidgetType::SetValue(PropertyInterface* target, char* value) {
  const char* text = value != nullptr ? value : "";
  label_ = Duplicate(text);
  if (target == nullptr) return 1;
  SetProperty(target, "Label", text);
  if (pendingDefault_ && *text == '\0') {
    SetProperty(target, "Label", defaultLabel_.get());
    pendingDefault_ = false;
    return 1;
  }
  SetProperty(target, "Label", text);
  return 1;
}

int CBUTTONWidgetType::SetDefaultLabel(const char* text) {
  defaultLabel_ = Duplicate(text != nullptr ? text : "");
  pendingDefault_ = true;
  return 1;
}

bool CBUTTONWidgetType::GetKeyAction(char* out, int size) const {
  return ConfigToken(1, kKeyActionLimit, out, size);
}

int CBUTTONWidgetType::GetButtonLabel(char* out, int size) const {
  CopyBounded("", out, size);
  if (label_ != nullptr) {
    CopyBounded(label_.get(), out, size);
    return 1;
  }
  if (defaultLabel_ != nullptr) {
    CopyBounded(defaultLabel_.get(), out, size);
    return 1;
  }
  return 0;
}

}  // namespace nycl
