// The one-block tokeniser and BuildArgList against a byte-at-a-time reference of the line
// rules, and the argument vectors Create hands to commands.
#include "command/ArgVector.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

using Words = std::vector<std::string>;

// The line rules read one byte at a time, as simply as they can be written: the raw token is
// cut first, then its escapes are resolved.
Words Reference(const std::string& line) {
  Words words;
  std::string raw;
  bool open = false, escape = false, openedWithQuote = false;
  char quote = '\0';
  auto emit = [&] {
    std::string word;
    for (size_t i = 0; i < raw.size(); ++i) {
      char c = raw[i];
      if (c == '\\' && i + 1 < raw.size()) {
        c = raw[++i];
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
      word += c;
    }
    words.push_back(word);
    open = false;
  };
  for (const char c : line.substr(0, line.find('\0'))) {
    if ((c == ' ' || (c >= '\t' && c <= '\r')) && quote == '\0' && !escape) {
      if (open) emit();
      continue;
    }
    if (!open) {
      open = true;
      raw.clear();
      openedWithQuote = false;
    }
    if (escape) {
      escape = false;
    } else if (c == '\\') {
      escape = true;
    } else if ((c == '"' || c == '\'') && quote == '\0') {
      quote = c;
      if (raw.empty() && !openedWithQuote) {
        openedWithQuote = true;
        continue;  // the opening quote is not part of the token
      }
    } else if (c == quote) {
      quote = '\0';
      if (openedWithQuote) {
        emit();
        continue;
      }
    }
    raw += c;
  }
  if (open) emit();
  return words;
}

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

// The vector BuildArgList gives (the tracing host builds lines with it): each token in a
// string of its own, then a null entry.
class Built : public NyCommand {
 public:
  static Words Of(const std::string& line) {
    int count = -1;
    char** vector = nullptr;
    BuildArgList(line.c_str(), &count, &vector);
    Words words(vector, vector + count);
    EXPECT_EQ(vector[count], nullptr) << "vector must end with a null entry";
    for (int i = 0; i < count; ++i) free(vector[i]);
    free(vector);
    return words;
  }
};

// Random lines built from the bytes the rules care about, with plain runs long enough to cross
// every 16-byte boundary, and their every prefix: each cut lands somewhere new in a run.
TEST(SplitLineTest, MatchesTheRulesOnRandomLinesAndAllTheirPrefixes) {
  std::mt19937 rng(12);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  static const char kSpecial[] = " \t\n\r\v\f\"'\\ntr\x01\x1f\x7f\x80\xff";
  for (int round = 0; round < 400; ++round) {
    std::string line;
    const int pieces = 1 + below(12);
    for (int i = 0; i < pieces; ++i) {
      if (below(3) == 0) {
        line.append(static_cast<size_t>(below(40)), static_cast<char>('a' + below(26)));
      } else {
        line += kSpecial[below(sizeof kSpecial - 1)];
      }
    }
    ASSERT_EQ(Built::Of(line), Reference(line)) << line;
    for (size_t n = 0; n <= line.size(); ++n) {
      const std::string prefix = line.substr(0, n);
      ASSERT_EQ(Split(prefix), Reference(prefix)) << prefix;
    }
  }
  std::string many;  // more tokens than either vector reserves room for up front
  for (int i = 0; i < 200; ++i) many += (i % 3 == 0 ? "'" + std::to_string(i) + " q' " : "x ");
  EXPECT_EQ(Split(many), Reference(many));
  EXPECT_EQ(Built::Of(many), Reference(many));
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
