#include "nycl/widgets/CWidgetInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nycl/widgets/CBUTTONWidgetType.h"
#include "nycl/widgets/PropertyInterface.h"
#include "nycl/widgets/WidgetKinds.h"

namespace nycl {
namespace {

// Records every property set as "Name=value;".
class RecordingProperties : public PropertyInterface {
 public:
  int SetWidgetProperty(char* name, char* value) override {
    log += std::string(name) + "=" + value + ";";
    value[0] = '\0';  // a host may scribble on its copy
    return 1;
  }
  std::string TakeLog() {
    std::string taken;
    taken.swap(log);
    return taken;
  }
  std::string log;
};

std::string Config(const CWidgetInfo& info) {
  char out[256];
  if (!info.GetConfig(out, sizeof out - 1)) return "<none>";
  return out;
}

// The four texts as "name|options|config|class": an absent one as "-", or as "-!" when its
// getter wrote into the buffer all the same.
std::string Texts(const CWidgetInfo& info) {
  std::string texts;
  for (auto get : {&CWidgetInfo::GetWidgetName, &CWidgetInfo::GetOptions, &CWidgetInfo::GetConfig,
                   &CWidgetInfo::GetWidgetClass}) {
    char out[64];
    std::memset(out, '?', sizeof out);
    const bool present = (info.*get)(out, sizeof out - 2);
    const bool written = std::string(out, sizeof out) != std::string(sizeof out, '?');
    texts += (texts.empty() ? "" : "|") + std::string(present ? out : written ? "-!" : "-");
  }
  return texts;
}

// What a getter of the widget or of its kind answers and writes, as "answer:text", into a
// buffer that held "junk".
template <class Kind, class Owner, class Answer>
std::string Got(const Kind* kind, Answer (Owner::*get)(char*, int) const, int size = 63) {
  char out[64] = "junk";
  const int answer = (kind->*get)(out, size);
  return std::to_string(answer) + ":" + out;
}

TEST(CWidgetInfoTest, TypeWordsMatchWithoutRegardToCase) {
  struct Row {
    const char* word;
    int code;
  };
  const Row rows[] = {{"bmp", 1},          {"Button", 2},   {"CHECK", 3},        {"radio", 4},
                      {"field_bmp", 5},    {"Combo", 6},    {"label", 7},        {"Active/X", 8},
                      {"document", 9},     {"HotLink", 10}, {"filebrowser", 11}, {"calendar", 12},
                      {"browser", 13},     {"image", 14},   {"text", 0},         {"", 0},
                      {"AN END MARKER", 0}};
  for (const Row& row : rows) {
    CWidgetInfo info(row.word, "", "", "");
    EXPECT_EQ(info.GetWidgetType(), row.code) << row.word;
    EXPECT_EQ(info.GetWidgetTypeClass() != nullptr, row.code != 0) << row.word;
  }
  CWidgetInfo fieldBmp("FIELD_BMP", "", "", "");
  EXPECT_NE(dynamic_cast<CBMPWidgetType*>(fieldBmp.GetWidgetTypeClass()), nullptr);
}

// Options come before config in the copying order.
TEST(CWidgetInfoTest, CopyingStopsAtTheFirstNullArgument) {
  CWidgetInfo none(nullptr, "cfg", "opt", "cls");
  EXPECT_EQ(Texts(none), "-|-|-|-");
  EXPECT_EQ(none.GetWidgetTypeClass(), nullptr);
  EXPECT_EQ(none.GetWidgetType(), 0);
  CWidgetInfo noOptions("CHECK", "cfg", nullptr, "cls");
  EXPECT_EQ(Texts(noOptions), "CHECK|-|-|-");
  EXPECT_NE(noOptions.GetWidgetTypeClass(), nullptr);
  CWidgetInfo noConfig("BUTTON", nullptr, "opt", "cls");
  EXPECT_EQ(Texts(noConfig), "BUTTON|opt|-|-");
  EXPECT_NE(noConfig.GetWidgetTypeClass(), nullptr);
}

TEST(CWidgetInfoTest, GettersCopyAtMostSizeBytes) {
  CWidgetInfo info("CALENDAR", "c", "o", "k");
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_TRUE(info.GetWidgetName(out, 3));
  EXPECT_EQ(std::string(out, 5), std::string("CAL\0x", 5));
  EXPECT_EQ(Got(&info, &CWidgetInfo::GetWidgetName, 0), "1:");
  EXPECT_EQ(Got(&info, &CWidgetInfo::GetWidgetClass, 7), "1:k");
  // Nowhere to write: the answer is still whether the text exists.
  EXPECT_TRUE(info.GetOptions(nullptr, 5));
  EXPECT_EQ(Got(&info, &CWidgetInfo::GetOptions, -1), "1:junk");
}

TEST(CWidgetInfoTest, ButtonConfigKeepsTheKeyActionAndShowsTheDefaultLabelOnce) {
  CWidgetInfo info("button", "F5 \"Save all\"", "", "");
  ASSERT_TRUE(info.IsButton());
  EXPECT_EQ(Config(info), "F5");
  auto* button = dynamic_cast<CBUTTONWidgetType*>(info.GetWidgetTypeClass());
  ASSERT_NE(button, nullptr);

  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetKeyAction), "1:F5");
  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetButtonLabel), "1:Save all");

  // Without a target the value is only remembered; the default label is still pending for
  // the first empty value shown on a widget.
  EXPECT_EQ(info.SetValue(nullptr, "x"), 1);
  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetButtonLabel), "1:x");
  RecordingProperties host;
  EXPECT_EQ(info.SetValue(&host, ""), 1);
  EXPECT_EQ(host.TakeLog(), "Label=;Label=Save all;");
  info.SetValue(&host, "  ");
  EXPECT_EQ(host.TakeLog(), "Label=;Label=;");
  info.SetValue(&host, "Go");
  EXPECT_EQ(host.TakeLog(), "Label=Go;Label=Go;");
  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetButtonLabel), "1:Go");
}

TEST(CWidgetInfoTest, ButtonLabelFromAQuotedKeyActionWithBlanksOrNone) {
  // The first token is the quoted text; the constructor takes what follows its first blank.
  CWidgetInfo info("BUTTON", "\"F3 Next page\"", "", "");
  EXPECT_EQ(Config(info), "F3 Next page");
  auto* button = dynamic_cast<CBUTTONWidgetType*>(info.GetWidgetTypeClass());
  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetButtonLabel), "1:Next page");
  EXPECT_EQ(Got(button, &CBUTTONWidgetType::GetKeyAction), "1:F3");

  CWidgetInfo bare("BUTTON", "", "", "");
  auto* bareButton = dynamic_cast<CBUTTONWidgetType*>(bare.GetWidgetTypeClass());
  EXPECT_EQ(Got(bareButton, &CBUTTONWidgetType::GetButtonLabel), "0:");
  EXPECT_EQ(Config(bare), "");

  EXPECT_EQ(Config(CWidgetInfo("LABEL", "  \"Name:\" rest", "", "")), "Name:");
  EXPECT_EQ(Config(CWidgetInfo("LABEL", "{Total sum} x", "", "")), "Total sum");
  EXPECT_EQ(Config(CWidgetInfo("LABEL", "   plain  words", "", "")), "plain  words");
  EXPECT_EQ(Config(CWidgetInfo("LABEL", "    ", "", "")), "");
  EXPECT_EQ(Config(CWidgetInfo("LABEL", "", "", "")), "");
  // Only LABEL and BUTTON rewrite their configuration.
  EXPECT_EQ(Config(CWidgetInfo("CHECK", "  \"a b\" c", "", "")), "  \"a b\" c");
}

TEST(CWidgetInfoTest, EachKindSetsItsPropertiesWithTheTrimmedValueOthersNothing) {
  struct Row {
    const char* word;
    const char* log;
  };
  const Row rows[] = {{"BMP", "ConfigString=v a;"},
                      {"FIELD_BMP", "ConfigString=v a;"},
                      {"CHECK", "Label=v a;"},
                      {"RADIO", "value=v a;"},
                      {"COMBO", "Value=v a;"},
                      {"LABEL", "ConfigString=v a;"},
                      {"ACTIVE/X", ""},
                      {"DOCUMENT", ""},
                      {"HOTLINK", "ConfigString=v a;"},
                      {"FILEBROWSER", "Label=v a;ConfigString=v a;"},
                      {"CALENDAR", "Label=v a;"},
                      {"BROWSER", "Text=v a;"},
                      {"IMAGE", "ConfigString=v a;"}};
  for (const Row& row : rows) {
    CWidgetInfo info(row.word, "", "", "");
    RecordingProperties host;
    EXPECT_EQ(info.SetValue(&host, " \t v a\r\n "), 1) << row.word;
    EXPECT_EQ(host.log, row.log) << row.word;
  }

  CWidgetInfo info("TEXT", "", "", "");
  RecordingProperties host;
  EXPECT_EQ(info.SetValue(&host, "x"), 0);
  EXPECT_EQ(host.log, "");
  CWidgetInfo check("CHECK", "", "", "");
  EXPECT_EQ(check.SetValue(&host, nullptr), 1);
  EXPECT_EQ(host.log, "Label=;");
  EXPECT_EQ(check.SetValue(nullptr, "x"), 1);
}

TEST(CWidgetInfoTest, TokenGettersReadTheConfiguration) {
  CWidgetInfo bmp("BMP", "pics/logo.bmp F9", "", "");
  auto* bmpKind = dynamic_cast<CBMPWidgetType*>(bmp.GetWidgetTypeClass());
  EXPECT_EQ(Got(bmpKind, &CBMPWidgetType::GetFileName), "1:pics/logo.bmp");
  EXPECT_EQ(Got(bmpKind, &CBMPWidgetType::GetKeyPress), "1:F9");
  // The work copy holds at most `size` bytes of the configuration.
  EXPECT_EQ(Got(bmpKind, &CBMPWidgetType::GetKeyPress, 14), "1:");
  EXPECT_EQ(Got(bmpKind, &CBMPWidgetType::GetFileName, 4), "1:pics");

  CWidgetInfo image("IMAGE", "\"my pic.png\"", "", "");
  EXPECT_EQ(Got(dynamic_cast<CIMAGEWidgetType*>(image.GetWidgetTypeClass()),
                &CIMAGEWidgetType::GetFileName),
            "1:my pic.png");

  CWidgetInfo noConfig("FILEBROWSER", nullptr, "", "");
  auto* browserKind = dynamic_cast<CFILEBROWSERWidgetType*>(noConfig.GetWidgetTypeClass());
  EXPECT_EQ(Got(browserKind, &CFILEBROWSERWidgetType::GetFileName), "0:");
}

}  // namespace
}  // namespace nycl
