#include "KeyScript.h"

#include <gtest/gtest.h>

namespace nycl_term {
namespace {

std::string Typed(KeyScript* script) {
  while (script->NextKey().kind != Key::kNoMoreKeys) {
  }
  return script->TakeTyped();
}

TEST(KeyScriptTest, CharactersAndNamedKeysFormOneStreamAcrossLines) {
  KeyScript script;
  std::string error;
  ASSERT_TRUE(
      script.Parse("# a comment <Nonsense>\nab c<enter><F5>\r\n<lt>x<BSpace><Escape>\n"
                   "<f24><Space><BTab>",
                   &error))
      << error;
  EXPECT_EQ(script.NextKey(), Key::Char('a'));
  EXPECT_EQ(Typed(&script), "ab<Space>c<Enter><F5><lt>x<BSpace><Esc><F24><Space><BTab>");
  EXPECT_TRUE(script.Exhausted());
  EXPECT_EQ(script.NextKey().kind, Key::kNoMoreKeys);
}

TEST(KeyScriptTest, AnUnknownNameIsReportedWithItsLine) {
  KeyScript script;
  std::string error;
  EXPECT_FALSE(script.Parse("ok\n\nx<F25>", &error));
  EXPECT_EQ(error, "line 3: no key is named \"<F25>\" (a \"<\" is written <lt>)");
  EXPECT_FALSE(script.Parse("a < b", &error));
  EXPECT_EQ(error, "line 1: no key is named \"< b\" (a \"<\" is written <lt>)");
}

TEST(KeyScriptTest, NamesReadBackAsTheKeysTheyWrite) {
  for (const char* name : {"Enter", "Tab", "BTab", "Esc", "Up", "Down", "Left", "Right", "Home",
                           "End", "BSpace", "Del", "F1", "F12"}) {
    EXPECT_EQ(KeyName(KeyNamed(name)), std::string("<") + name + ">");
  }
  EXPECT_EQ(KeyNamed("F0").kind, Key::kNoMoreKeys);
  EXPECT_EQ(KeyNamed("").kind, Key::kNoMoreKeys);
}

}  // namespace
}  // namespace nycl_term
