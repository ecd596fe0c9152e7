// Widget descriptions and screen arrays built from hostile texts: unbalanced quotes and
// braces, control and high bytes, huge texts, odd array field names and indexes. Nothing may
// crash or write outside the buffers the getters document.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "nycl/base/XString.h"
#include "nycl/widgets/ArrayInfo.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "nycl/widgets/PropertyInterface.h"

namespace nycl {
namespace {

class ScribblingProperties : public PropertyInterface {
 public:
  int SetWidgetProperty(char* name, char* value) override {
    calls += std::strlen(name) + std::strlen(value);
    if (value[0] != '\0') value[0] = '\0';
    return 1;
  }
  size_t calls = 0;
};

class HostileText {
 public:
  explicit HostileText(unsigned seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::string Text() {
    static const char* const kPieces[] = {
        "\"",  "'",      "{",     "}",     " ",           "\t", "\\",   "-",           "[",
        "]",   ".",      "0",     "-1",    "99999999999", "|",  ",",    "=",           "a",
        "bmp", "BUTTON", "label", "combo", "__",          "_",  "__-3", "__2147483648"};
    std::string text;
    int count = Below(4) == 0 ? 2000 : Below(12);
    for (int i = 0; i < count; ++i) {
      if (Below(5) == 0)
        text += static_cast<char>(1 + Below(255));
      else
        text += kPieces[Below(sizeof kPieces / sizeof kPieces[0])];
    }
    return text;
  }
  // A text, or null now and then.
  const char* MaybeNull(const std::string& text) { return Below(8) == 0 ? nullptr : text.c_str(); }

 private:
  std::mt19937 rng_;
};

TEST(HostileWidgetTest, DescriptionsFromHostileTextsStayWithinTheirBuffers) {
  static const char* const kTypes[] = {
      "bmp",      "Button",  "CHECK",       "radio",    "field_bmp", "Combo", "label", "Active/X",
      "document", "HotLink", "filebrowser", "calendar", "browser",   "image", "text",  ""};
  HostileText h(5);
  ScribblingProperties target;
  for (int i = 0; i < 3000; ++i) {
    std::string type = h.Below(3) == 0 ? h.Text() : kTypes[h.Below(16)];
    std::string config = h.Text(), options = h.Text(), widgetClass = h.Text();
    CWidgetInfo info(h.MaybeNull(type), h.MaybeNull(config), h.MaybeNull(options),
                     h.MaybeNull(widgetClass));
    // Exactly size + 1 bytes, on the heap, so an overrun is caught.
    int size = h.Below(40);
    std::vector<char> out(static_cast<size_t>(size) + 1);
    info.GetWidgetName(out.data(), size);
    info.GetOptions(out.data(), size);
    info.GetConfig(out.data(), size);
    info.GetWidgetClass(out.data(), size);
    info.GetWidgetType();
    std::string value = h.Text();
    info.SetValue(&target, h.MaybeNull(value));
  }
}

TEST(HostileWidgetTest, ArraysFromHostileFieldNamesAndValues) {
  HostileText h(11);
  ArrayInfo array;
  std::vector<std::vector<char>> buffers(8, std::vector<char>(ArrayInfo::kMaxRowText + 1));
  std::vector<char*> rows;
  for (auto& buffer : buffers) rows.push_back(buffer.data());
  for (int i = 0; i < 3000; ++i) {
    std::string name = h.Text(), value = h.Text();
    array.SetType(h.MaybeNull(name));
    array.SetLength(h.Below(20) - 5);
    array.AddArrayData(h.MaybeNull(value), h.MaybeNull(name), nullptr);
    XString key;
    ArrayInfo::GetArrayNumber(h.MaybeNull(name));
    ArrayInfo::GetArrayName(h.MaybeNull(name), key);
    ArrayInfo::ReplaceDashFromArrayName(name.c_str(), &key);
    array.GetArrayData(name.c_str(), rows.data(), static_cast<int>(rows.size()));
    array.GetArrayDataLine(name.c_str(), h.Below(10) - 2, &key);
    if (h.Below(200) == 0) array.RemoveArrayData();
  }
}

}  // namespace
}  // namespace nycl
