#include "nycl/widgets/CWidgetType.h"

#include <algorithm>
#include <string>

#include "nycl/base/StringParse.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "nycl/widgets/PropertyInterface.h"
#include "widgets/WidgetText.h"

namespace nycl {

using widgets_internal::CopyBounded;

CWidgetType::~CWidgetType() = default;

int CWidgetType::SetValue(PropertyInterface* /*target*/, char* /*value*/) {
  return 0;
}

// The host receives its own copies, so a setter that edits its arguments in place cannot
// change what a later property of the same value receives.
int CWidgetType::SetProperty(PropertyInterface* target, const char* name, const char* value) {
  if (target == nullptr) return 0;
  std::string nameCopy(name);
  std::string valueCopy(value != nullptr ? value : "");
  return target->SetWidgetProperty(&nameCopy[0], &valueCopy[0]);
}

bool CWidgetType::CopyConfig(char* out, int size) const {
  return info_->GetConfig(out, size);
}

bool CWidgetType::CopyClass(char* out, int size) const {
  return info_->GetWidgetClass(out, size);
}

bool CWidgetType::ConfigToken(int n, int limit, char* out, int size) const {
  const char* config = info_->ConfigText();
  if (config == nullptr) {
    CopyBounded("", out, size);
    return false;
  }
  if (out == nullptr || size < 0) return true;
  size_t length = std::strlen(config);
  length = std::min(length, static_cast<size_t>(std::min(limit, size)));
  std::string work(config, length);
  char* cursor = &work[0];
  char* token = nullptr;
  for (int i = 0; i < n; ++i) {
    token = StringParse::GetToken(&cursor);
    if (token == nullptr) break;
  }
  CopyBounded(token != nullptr ? token : "", out, size);
  return true;
}

}  // namespace nycl
