// The tokeniser's speed on long lines and the argument vectors Create hands to commands. (The
// tokens themselves are checked against the line rules by the tokenizer fuzz target.)
#include "command/ArgVector.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

using Words = std::vector<std::string>;

// SplitLine's tokens, checking the block's shape on the way.
Words Split(const std::string& line) {
  int count = -1;
  char** block = SplitLine(line.c_str(), &count);
  Words words;
  for (int i = 0; i < count; ++i) words.emplace_back(block[i]);
  EXPECT_EQ(block[count], nullptr) << "vector must end with a null entry";
  free(block);
  return words;
}

// A megabyte line of one-byte tokens: with a vector grown in fixed steps this took half a
// minute under the sanitizers, a stall the server could cause with one line.
TEST(SplitLineTest, TimeGrowsInProportionToTheTokenCount) {
  std::string line = "fgl_Display";
  for (int i = 0; i < 500000; ++i) line += " 7";
  RecordingHost host;
  const auto start = std::chrono::steady_clock::now();
  host.Run(line.c_str());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A command of the test's own that records what it is handed and writes into its arguments.
class ArgsCommand : public NyCommand {
 public:
  ArgsCommand() = default;
  ArgsCommand(int count, char** vector) : NyCommand(count, vector) {}
  bool Execute() override {
    seen.clear();
    for (int i = 0; i < argc; ++i) {
      for (char* c = argv[i]; *c != '\0'; ++c) *c = static_cast<char>(toupper(*c));
      seen.push_back(GetArg(i));
    }
    lastIsNull = argv[argc] == nullptr;
    numbers.clear();
    for (int i = 1; i < argc; ++i) numbers.push_back(IntArg(i));
    delete this;
    return true;
  }
  NyCommand* Clone(int count, char** vector) override { return new ArgsCommand(count, vector); }

  inline static Words seen;
  inline static bool lastIsNull;
  inline static std::vector<int> numbers;
};

TEST(CreateArgumentsTest, CommandsMayRewriteTheirArgumentsInPlace) {
  RecordingHost host;
  NyCommandTypes entry(new ArgsCommand(), "x_args");
  std::string line = "x_args";
  Words expected = {"X_ARGS"};
  for (int i = 0; i < 40; ++i) {  // more than the block reserves room for up front
    line += " 'w " + std::to_string(i) + "'";
    expected.push_back("W " + std::to_string(i));
  }
  EXPECT_TRUE(host.Run(line.c_str()));
  EXPECT_EQ(ArgsCommand::seen, expected);
  EXPECT_TRUE(ArgsCommand::lastIsNull);
  EXPECT_TRUE(host.Run("x_args a"));
  EXPECT_EQ(ArgsCommand::seen, (Words{"X_ARGS", "A"}));
}

// A vector a host builds itself is freed string by string (the sanitizer build checks that
// nothing leaks and nothing is freed twice).
TEST(CreateArgumentsTest, HostBuiltVectorsAreFreedStringByString) {
  NyCommandTypes entry(new ArgsCommand(), "x_args");
  char** vector = static_cast<char**>(malloc(3 * sizeof(char*)));
  vector[0] = strdup("x_args");
  vector[1] = strdup("b");
  vector[2] = nullptr;
  EXPECT_TRUE(entry.prototype->Clone(2, vector)->Execute());
  EXPECT_EQ(ArgsCommand::seen, (Words{"X_ARGS", "B"}));
}

// Numbers read like strtol, clamped to int.
TEST(CreateArgumentsTest, NumbersReadLikeTheCLibrary) {
  RecordingHost host;
  NyCommandTypes entry(new ArgsCommand(), "x_args");
  const std::string texts =
      "0 7 -7 +7 007 12abc - + --1 abc ' 42' '\t-3' 2147483647 2147483648 -2147483648 "
      "-2147483649 99999999999999999999999999 -99999999999999999999999999 1e9 0x10 ''";
  const std::string line = "x_args " + texts;
  std::vector<int> expected;
  for (const std::string& text : Split(texts)) {
    const long value = strtol(text.c_str(), nullptr, 10);
    expected.push_back(value > INT_MAX   ? INT_MAX
                       : value < INT_MIN ? INT_MIN
                                         : static_cast<int>(value));
  }
  EXPECT_TRUE(host.Run(line.c_str()));
  EXPECT_EQ(ArgsCommand::numbers, expected);
}

}  // namespace
}  // namespace nycl::test
