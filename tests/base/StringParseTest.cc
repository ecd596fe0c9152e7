#include "nycl/base/StringParse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nycl {
namespace {

std::vector<std::string> Tokens(std::string text) {
  std::vector<std::string> tokens;
  char* cursor = text.data();
  while (char* token = StringParse::GetToken(&cursor)) tokens.emplace_back(token);
  return tokens;
}

TEST(StringParseTest, WordsQuotedAndBracedTokens) {
  EXPECT_EQ(Tokens("  abc \"d e\" {f g}h"), (std::vector<std::string>{"abc", "d e", "f g", "h"}));
  // Unterminated quotes run to the end; trailing white space gives one empty token.
  EXPECT_EQ(Tokens("a \"b c"), (std::vector<std::string>{"a", "b c"}));
  EXPECT_EQ(Tokens("{x y"), (std::vector<std::string>{"x y"}));
  EXPECT_EQ(Tokens("a  "), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(Tokens(""), std::vector<std::string>{});
}

TEST(StringParseTest, NullCursorsGiveNull) {
  EXPECT_EQ(StringParse::GetToken(nullptr), nullptr);
  char* cursor = nullptr;
  EXPECT_EQ(StringParse::GetToken(&cursor), nullptr);
  EXPECT_EQ(StringParse::GetWhole(&cursor), nullptr);
}

TEST(StringParseTest, GetWholeKeepsInnerSpacesOfPlainTextButStopsAfterAQuotedToken) {
  std::string plain = "   two  words here";
  char* cursor = plain.data();
  EXPECT_STREQ(StringParse::GetWhole(&cursor), "two  words here");
  std::string quoted = "\"x y\" z";
  cursor = quoted.data();
  EXPECT_STREQ(StringParse::GetWhole(&cursor), "x y");
  EXPECT_STREQ(StringParse::GetToken(&cursor), "z");
}

}  // namespace
}  // namespace nycl
