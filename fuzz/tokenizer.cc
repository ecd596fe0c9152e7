// The line tokeniser against a byte-at-a-time reading of the line rules. Input: lines
// separated by NUL bytes (a line ends at its NUL anyway). Each line, and every prefix of its
// first kPrefixBytes bytes, is split by SplitLine; the whole line also by BuildArgList. Both
// must give the tokens the reference reading gives. Each text is copied into a buffer of
// exactly its size, so the sanitizer sees any read past its NUL.
//
// The tokeniser copies runs of plain bytes 16 at a time: the prefixes move the end of the line
// through every place of a run, and of the quote, escape or blank that ends it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "command/ArgVector.h"
#include "nycl/command/NyCommand.h"

namespace {

using Words = std::vector<std::string>;

// Every prefix of a line up to this length is split; longer lines are split whole.
constexpr size_t kPrefixBytes = 512;

// The line rules read one byte at a time, as simply as they can be written: the raw token is
// cut first, then its escapes are resolved. `line` holds no NUL.
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
  for (const char c : line) {
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

// `text` and its NUL in a heap buffer of exactly their size.
std::vector<char> ExactCopy(const std::string& text) {
  return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

Words Split(const std::string& line) {
  std::vector<char> copy = ExactCopy(line);
  int count = -1;
  char** block = nycl::SplitLine(copy.data(), &count);
  FUZZ_CHECK(count >= 0 && block[count] == nullptr);
  Words words(block, block + count);
  std::free(block);
  return words;
}

// BuildArgList is for the command classes; this one only reaches it.
class Built : public nycl::NyCommand {
 public:
  static Words Of(const std::string& line) {
    std::vector<char> copy = ExactCopy(line);
    int count = -1;
    char** vector = nullptr;
    BuildArgList(copy.data(), &count, &vector);
    FUZZ_CHECK(count >= 0 && vector[count] == nullptr);
    Words words(vector, vector + count);
    for (int i = 0; i < count; ++i) std::free(vector[i]);
    std::free(vector);
    return words;
  }
};

void ExpectRules(const char* splitter, const std::string& line, const Words& got) {
  const Words expected = Reference(line);
  if (got == expected) return;
  std::string report = std::string(splitter) + " of " + nycl::fuzz::Printable(line) + "\n  gives:";
  for (const std::string& word : got) report += " " + nycl::fuzz::Printable(word);
  report += "\n  rules:";
  for (const std::string& word : expected) report += " " + nycl::fuzz::Printable(word);
  std::fprintf(stderr, "%s\n", report.c_str());
  FUZZ_CHECK(got == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const std::string& line : nycl::fuzz::Split(data, size, '\0')) {
    ExpectRules("BuildArgList", line, Built::Of(line));
    ExpectRules("SplitLine", line, Split(line));
    for (size_t n = 0; n < line.size() && n <= kPrefixBytes; ++n) {
      const std::string prefix = line.substr(0, n);
      ExpectRules("SplitLine", prefix, Split(prefix));
    }
  }
  return 0;
}
