// Widget descriptions: the four texts of an entry-creation line, then values displayed in the
// field. Input: texts separated by the byte 0x1F: type word, configuration, options, class,
// then any number of values. Fewer than four texts leave the rest absent (null).
//
// Every getter of the description and of its kind object is called with output buffers of
// exactly the size it is told plus one byte, so the sanitizer sees any write past them;
// checked: each result is terminated within its buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/widgets/CBUTTONWidgetType.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "nycl/widgets/PropertyInterface.h"
#include "nycl/widgets/WidgetKinds.h"

namespace {

using namespace nycl;

constexpr int kSizes[] = {0, 1, 3, 40, 5000};

class CheckingTarget : public PropertyInterface {
 public:
  int SetWidgetProperty(char* name, char* value) override {
    FUZZ_CHECK(name != nullptr && value != nullptr);
    last_ = value;
    return 1;
  }

 private:
  std::string last_;
};

// Calls `get(out, size)` for every size with a buffer of exactly size + 1 bytes; what it
// reports as copied must be terminated within them.
template <typename Getter>
void EverySize(Getter get) {
  for (int size : kSizes) {
    std::vector<char> out(static_cast<size_t>(size) + 1, 'x');
    if (get(out.data(), size)) FUZZ_CHECK(std::memchr(out.data(), '\0', out.size()) != nullptr);
  }
}

// When `kind` is a Kind, calls each of its `getters` through EverySize.
template <typename Kind, typename... Getters>
void CallGetters(CWidgetType* kind, Getters... getters) {
  if (auto* k = dynamic_cast<Kind*>(kind)) {
    (EverySize([k, getters](char* out, int size) { return (k->*getters)(out, size); }), ...);
  }
}

void KindGetters(CWidgetType* kind) {
  CallGetters<CBMPWidgetType>(kind, &CBMPWidgetType::GetKeyPress, &CBMPWidgetType::GetFileName);
  CallGetters<CBUTTONWidgetType>(kind, &CBUTTONWidgetType::GetKeyAction,
                                 &CBUTTONWidgetType::GetButtonLabel);
  CallGetters<CCHECKWidgetType>(kind, &CCHECKWidgetType::GetConfig, &CCHECKWidgetType::GetClass);
  CallGetters<CRADIOWidgetType>(kind, &CRADIOWidgetType::GetClass);
  CallGetters<CCOMBOWidgetType>(kind, &CCOMBOWidgetType::GetConfig);
  CallGetters<CLABELWidgetType>(kind, &CLABELWidgetType::GetConfig);
  CallGetters<CHOTLINKWidgetType>(kind, &CHOTLINKWidgetType::GetConfig);
  CallGetters<CDOCUMENTWidgetType>(kind, &CDOCUMENTWidgetType::GetConfig);
  CallGetters<CFILEBROWSERWidgetType>(kind, &CFILEBROWSERWidgetType::GetFileName,
                                      &CFILEBROWSERWidgetType::GetKeyPress);
  CallGetters<CCALENDARWidgetType>(kind, &CCALENDARWidgetType::GetFileName,
                                   &CCALENDARWidgetType::GetKeyPress);
  CallGetters<CIMAGEWidgetType>(kind, &CIMAGEWidgetType::GetFileName);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> texts = nycl::fuzz::Split(data, size, '\x1F');
  auto text = [&](size_t i) { return i < texts.size() ? texts[i].c_str() : nullptr; };
  CWidgetInfo info(text(0), text(1), text(2), text(3));

  EverySize([&](char* out, int n) { return info.GetWidgetName(out, n); });
  EverySize([&](char* out, int n) { return info.GetConfig(out, n); });
  EverySize([&](char* out, int n) { return info.GetOptions(out, n); });
  EverySize([&](char* out, int n) { return info.GetWidgetClass(out, n); });
  KindGetters(info.GetWidgetTypeClass());

  CheckingTarget target;
  for (size_t i = 4; i < texts.size(); ++i) {
    info.SetValue(&target, texts[i].c_str());
    info.SetValue(nullptr, texts[i].c_str());
    if (auto* button = dynamic_cast<CBUTTONWidgetType*>(info.GetWidgetTypeClass())) {
      if (i % 2 == 0) button->SetDefaultLabel(texts[i].c_str());
    }
    KindGetters(info.GetWidgetTypeClass());
  }
  info.SetValue(&target, nullptr);
  return 0;
}
