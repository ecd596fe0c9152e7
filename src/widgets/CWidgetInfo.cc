// A widget description is built from the four texts of an entry-creation line. The type
// word picks the kind; two kinds first rewrite their configuration text:
//
//   BUTTON  config := key-action [ default-label ]   (tokens as StringParse::GetToken cuts
//           them) is cut to key-action; a non-empty default-label goes to the button kind.
//   LABEL   config := blanks ( '"' text ['"'] | '{' text ['}'] | text ) is cut to text.
#include "nycl/widgets/CWidgetInfo.h"

#include <strings.h>

#include <cstring>
#include <cwctype>
#include <string>

#include "nycl/base/StringParse.h"
#include "nycl/widgets/CBUTTONWidgetType.h"
#include "nycl/widgets/WidgetKinds.h"
#include "widgets/WidgetText.h"

namespace nycl {

using widgets_internal::CopyBounded;
using widgets_internal::Duplicate;

namespace {

struct TypeWord {
  const char* word;
  int code;
};

// Searched in order; the first match wins.
const TypeWord kTypeWords[] = {
    {"BMP", kWidgetBmp},
    {"BUTTON", kWidgetButton},
    {"CHECK", kWidgetCheck},
    {"RADIO", kWidgetRadio},
    {"FIELD_BMP", kWidgetFieldBmp},
    {"COMBO", kWidgetCombo},
    {"LABEL", kWidgetLabel},
    {"ACTIVE/X", kWidgetActiveX},
    {"DOCUMENT", kWidgetDocument},
    {"HOTLINK", kWidgetHotlink},
    {"FILEBROWSER", kWidgetFileBrowser},
    {"CALENDAR", kWidgetCalendar},
    {"BROWSER", kWidgetBrowser},
    {"IMAGE", kWidgetImage},
};

std::unique_ptr<CWidgetType> MakeKind(int code, CWidgetInfo* info) {
  switch (code) {
    case kWidgetBmp:
    case kWidgetFieldBmp:
      return std::make_unique<CBMPWidgetType>(info);
    case kWidgetButton:
      return std::make_unique<CBUTTONWidgetType>(info);
    case kWidgetCheck:
      return std::make_unique<CCHECKWidgetType>(info);
    case kWidgetRadio:
      return std::make_unique<CRADIOWidgetType>(info);
    case kWidgetCombo:
      return std::make_unique<CCOMBOWidgetType>(info);
    case kWidgetLabel:
      return std::make_unique<CLABELWidgetType>(info);
    case kWidgetActiveX:
      return std::make_unique<CACTIVEXWidgetType>(info);
    case kWidgetDocument:
      return std::make_unique<CDOCUMENTWidgetType>(info);
    case kWidgetHotlink:
      return std::make_unique<CHOTLINKWidgetType>(info);
    case kWidgetFileBrowser:
      return std::make_unique<CFILEBROWSERWidgetType>(info);
    case kWidgetCalendar:
      return std::make_unique<CCALENDARWidgetType>(info);
    case kWidgetBrowser:
      return std::make_unique<CBROWSERWidgetType>(info);
    case kWidgetImage:
      return std::make_unique<CIMAGEWidgetType>(info);
    default:
      return nullptr;
  }
}

bool IsWideSpace(char c) {
  return std::iswspace(static_cast<wint_t>(static_cast<unsigned char>(c))) != 0;
}

}  // namespace

CWidgetInfo::CWidgetInfo(const char* name, const char* config, const char* options,
                         const char* widgetClass) {
  if (name != nullptr) {
    name_ = Duplicate(name);
    if (options != nullptr) {
      options_ = Duplicate(options);
      if (config != nullptr) {
        config_ = Duplicate(config);
        if (widgetClass != nullptr) class_ = Duplicate(widgetClass);
      }
    }
  }

  int code = GetWidgetType();
  if (code == kWidgetButton) {
    // The work copy is as long as the configuration, so no key action or label is cut short.
    std::string work(config_ != nullptr ? config_.get() : "");
    char* cursor = &work[0];
    const char* keyAction = StringParse::GetToken(&cursor);
    const char* defaultLabel = keyAction != nullptr ? StringParse::GetToken(&cursor) : nullptr;
    if (config_ != nullptr) config_ = Duplicate(keyAction != nullptr ? keyAction : "");
    auto button = std::make_unique<CBUTTONWidgetType>(this);
    if (defaultLabel != nullptr && *defaultLabel != '\0') button->SetDefaultLabel(defaultLabel);
    kind_ = std::move(button);
    return;
  }
  if (code == kWidgetLabel && config_ != nullptr) {
    std::string work(config_.get());
    char* cursor = &work[0];
    const char* text = StringParse::GetWhole(&cursor);
    config_ = Duplicate(text != nullptr ? text : "");
  }
  kind_ = MakeKind(code, this);
}

CWidgetInfo::~CWidgetInfo() = default;

bool CWidgetInfo::GetWidgetName(char* out, int size) const {
  if (name_ == nullptr) return false;
  CopyBounded(name_.get(), out, size);
  return true;
}

bool CWidgetInfo::GetOptions(char* out, int size) const {
  if (options_ == nullptr) return false;
  CopyBounded(options_.get(), out, size);
  return true;
}

bool CWidgetInfo::GetConfig(char* out, int size) const {
  if (config_ == nullptr) return false;
  CopyBounded(config_.get(), out, size);
  return true;
}

bool CWidgetInfo::GetWidgetClass(char* out, int size) const {
  if (class_ == nullptr) return false;
  CopyBounded(class_.get(), out, size);
  return true;
}

int CWidgetInfo::GetWidgetType() const {
  if (name_ == nullptr) return kWidgetEdit;
  for (const TypeWord& entry : kTypeWords) {
    if (strcasecmp(name_.get(), entry.word) == 0) return entry.code;
  }
  return kWidgetEdit;
}

int CWidgetInfo::SetValue(PropertyInterface* target, const char* value) {
  if (kind_ == nullptr) return 0;
  if (value == nullptr) value = "";
  const char* begin = value;
  while (*begin != '\0' && IsWideSpace(*begin)) ++begin;
  const char* end = begin + std::strlen(begin);
  while (end > begin && IsWideSpace(end[-1])) --end;
  std::string trimmed(begin, end);
  kind_->SetValue(target, &trimmed[0]);
  return 1;
}

}  // namespace nycl
