// Script grammar. One step per line; a line whose first non-blank character is '#', and a blank
// line, are ignored. A trailing carriage return is dropped.
//
//   line      := blank* step-name (blank rest)?
//   rest      := for send, expect, expect-re: everything after the one blank that follows the
//                step name, verbatim (trailing blanks included);
//                for the other steps: words separated by blanks, where a word may be written in
//                double quotes to hold blanks (no escapes inside).
//
// Steps and their words (NAME a served file name, N a decimal number):
//   send [LINE]                 expect LINE              expect-re REGEX (whole line, ECMAScript)
//   expect-blank                expect-close             blank-lines skip|check
//   timeout MS                  sleep MS
//   tls-accept                  tls-drop                 deflate-start|deflate-pause|deflate-resume
//   close                       drop
//   handshake VERSION [FEATURE...]                       expect-agreed [compress] [tls]
//   start-session               stop-session             resume-session
//   filter                      filterend [FLAG]
//   file NAME [expect-cached|expect-update] [tag N] [cut N]
//   file-data NAME [cut N]      store NAME TARGET [path ABSOLUTE]
//   script NAME                 expect-requests [NAME...] expect-cached [NAME...]
//   upload PATH [expect-size N] [expect-same FILE] [expect-missing]
//   blob NAME FILE [TYPE]
//   send-raw BYTES              send-repeat COUNT BYTES  send-cut N LINE
//   tls-cut N
// BYTES: the rest of the line after one blank, verbatim but for the escapes \n, \r, \t, \\ and
// \xHH (two hex digits); not empty. LINE (send-cut): the rest of the line after N and one
// blank, verbatim.
#include "Script.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace nycl_server {

namespace {

struct StepName {
  const char* name;
  StepKind kind;
};

const StepName kStepNames[] = {
    {"send", StepKind::kSend},
    {"expect", StepKind::kExpect},
    {"expect-re", StepKind::kExpectRe},
    {"expect-blank", StepKind::kExpectBlank},
    {"expect-close", StepKind::kExpectClose},
    {"blank-lines", StepKind::kBlankLines},
    {"timeout", StepKind::kTimeout},
    {"sleep", StepKind::kSleep},
    {"tls-accept", StepKind::kTlsAccept},
    {"tls-drop", StepKind::kTlsDrop},
    {"deflate-start", StepKind::kDeflateStart},
    {"deflate-pause", StepKind::kDeflatePause},
    {"deflate-resume", StepKind::kDeflateResume},
    {"close", StepKind::kClose},
    {"drop", StepKind::kDrop},
    {"handshake", StepKind::kHandshake},
    {"expect-agreed", StepKind::kExpectAgreed},
    {"start-session", StepKind::kStartSession},
    {"stop-session", StepKind::kStopSession},
    {"resume-session", StepKind::kResumeSession},
    {"filter", StepKind::kFilter},
    {"filterend", StepKind::kFilterEnd},
    {"file", StepKind::kFile},
    {"file-data", StepKind::kFileData},
    {"store", StepKind::kStore},
    {"script", StepKind::kScript},
    {"expect-requests", StepKind::kExpectRequests},
    {"expect-cached", StepKind::kExpectCached},
    {"upload", StepKind::kUpload},
    {"blob", StepKind::kBlob},
    {"send-raw", StepKind::kSendRaw},
    {"send-repeat", StepKind::kSendRepeat},
    {"send-cut", StepKind::kSendCut},
    {"tls-cut", StepKind::kTlsCut},
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Splits `rest` into words; a word in double quotes may hold blanks. False on an unterminated
// quote.
bool SplitWords(const std::string& rest, std::vector<std::string>* words) {
  std::size_t i = 0;
  while (i < rest.size()) {
    if (IsBlank(rest[i])) {
      ++i;
      continue;
    }
    std::string word;
    if (rest[i] == '"') {
      const std::size_t end = rest.find('"', i + 1);
      if (end == std::string::npos) return false;
      word = rest.substr(i + 1, end - i - 1);
      i = end + 1;
    } else {
      while (i < rest.size() && !IsBlank(rest[i])) word += rest[i++];
    }
    words->push_back(word);
  }
  return true;
}

bool ParseNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  *value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool ParseCount(const std::string& text, long long* value) {
  return ParseNumber(text, value) && *value >= 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the escapes of a raw byte text. False on an unknown or incomplete escape.
bool Unescape(const std::string& text, std::string* bytes) {
  bytes->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *bytes += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'n':
        *bytes += '\n';
        break;
      case 'r':
        *bytes += '\r';
        break;
      case 't':
        *bytes += '\t';
        break;
      case '\\':
        *bytes += '\\';
        break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        *bytes += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

// Splits "N REST" into the count N and REST (after one blank, verbatim). False when N is not
// a count.
bool CountAndRest(const std::string& text, long long* count, std::string* rest) {
  const std::size_t blank = text.find(' ');
  if (!ParseCount(text.substr(0, blank), count)) return false;
  *rest = blank == std::string::npos ? "" : text.substr(blank + 1);
  return true;
}

}  // namespace

bool Script::Load(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the script " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(path, text.str(), error);
}

bool Script::Parse(const std::string& name, const std::string& text, std::string* error) {
  name_ = name;
  steps_.clear();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ParseLine(number, line, error)) {
      *error = name + ":" + std::to_string(number) + ": " + *error;
      return false;
    }
  }
  return true;
}

bool Script::ParseLine(int number, const std::string& line, std::string* error) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  if (start == line.size() || line[start] == '#') return true;
  std::size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  const std::string name = line.substr(start, end - start);
  const std::string rest = end < line.size() ? line.substr(end + 1) : "";

  Step step;
  step.line = number;
  step.source = line.substr(start);
  bool known = false;
  for (const StepName& entry : kStepNames) {
    if (name == entry.name) {
      step.kind = entry.kind;
      known = true;
    }
  }
  if (!known) {
    *error = "unknown step \"" + name + "\"";
    return false;
  }

  // The steps that take the rest of the line verbatim have no words: a double quote in their
  // text is a byte like any other.
  const bool verbatim = step.kind == StepKind::kSend || step.kind == StepKind::kExpect ||
                        step.kind == StepKind::kExpectRe || step.kind == StepKind::kSendRaw ||
                        step.kind == StepKind::kSendRepeat || step.kind == StepKind::kSendCut;
  std::vector<std::string> words;
  if (!verbatim && !SplitWords(rest, &words)) {
    *error = "unterminated double quote";
    return false;
  }
  auto usage = [&](const std::string& text) {
    *error = "usage: " + text;
    return false;
  };
  auto want = [&](std::size_t least, std::size_t most, const std::string& text) {
    return (words.size() >= least && words.size() <= most) || usage(text);
  };
  auto option_value = [&](std::size_t* i, long long* value) {
    if (*i + 1 < words.size() && ParseCount(words[*i + 1], value)) {
      ++*i;
      return true;
    }
    *error = "\"" + words[*i] + "\" needs a number";
    return false;
  };

  switch (step.kind) {
    case StepKind::kSend:
      step.text = rest;
      break;
    case StepKind::kExpect:
      if (end == line.size()) return usage("expect LINE (expect-blank for an empty line)");
      step.text = rest;
      break;
    case StepKind::kExpectRe:
      if (rest.empty()) return usage("expect-re REGEX");
      try {
        step.pattern = std::make_shared<const std::regex>(rest, std::regex::ECMAScript);
      } catch (const std::regex_error& e) {
        *error = std::string("bad regular expression: ") + e.what();
        return false;
      }
      step.text = rest;
      break;
    case StepKind::kBlankLines:
      if (!want(1, 1, "blank-lines skip|check")) return false;
      if (words[0] != "skip" && words[0] != "check") return usage("blank-lines skip|check");
      step.flag = words[0] == "skip";
      break;
    case StepKind::kTimeout:
    case StepKind::kSleep:
      if (!want(1, 1, "timeout|sleep MILLISECONDS")) return false;
      if (!ParseCount(words[0], &step.value) ||
          (step.kind == StepKind::kTimeout && step.value == 0)) {
        return usage(step.kind == StepKind::kTimeout ? "timeout MILLISECONDS (at least 1)"
                                                     : "sleep MILLISECONDS");
      }
      break;
    case StepKind::kHandshake:
      if (!want(1, 64, "handshake VERSION [FEATURE...]")) return false;
      step.text = words[0];
      step.words.assign(words.begin() + 1, words.end());
      break;
    case StepKind::kExpectAgreed:
      for (const std::string& word : words) {
        if (word != "compress" && word != "tls") return usage("expect-agreed [compress] [tls]");
      }
      step.words = words;
      break;
    case StepKind::kFilterEnd:
      if (!want(0, 1, "filterend [FLAG]")) return false;
      // The client reads the flag as a C decimal conversion; a script says it as a number.
      if (!words.empty() && !ParseNumber(words[0], &step.value)) return usage("filterend [N]");
      step.flag = !words.empty();
      break;
    case StepKind::kFile:
    case StepKind::kFileData: {
      const bool offer = step.kind == StepKind::kFile;
      const char* form = offer ? "file NAME [expect-cached|expect-update] [tag N] [cut N]"
                               : "file-data NAME [cut N]";
      if (!want(1, 6, form)) return false;
      step.text = words[0];
      for (std::size_t i = 1; i < words.size(); ++i) {
        if (offer && words[i] == "expect-cached") {
          step.answer = FileAnswer::kCached;
        } else if (offer && words[i] == "expect-update") {
          step.answer = FileAnswer::kUpdate;
        } else if (offer && words[i] == "tag") {
          if (!option_value(&i, &step.tag)) return false;
        } else if (words[i] == "cut") {
          if (!option_value(&i, &step.value)) return false;
        } else {
          return usage(form);
        }
      }
      break;
    }
    case StepKind::kStore:
      if (!want(2, 4, "store NAME TARGET [path ABSOLUTE]")) return false;
      step.text = words[0];
      step.target = words[1];
      if (words.size() > 2) {
        if (words.size() != 4 || words[2] != "path") return usage("store NAME TARGET [path P]");
        step.path = words[3];
      }
      break;
    case StepKind::kScript:
      if (!want(1, 1, "script NAME")) return false;
      step.text = words[0];
      break;
    case StepKind::kExpectRequests:
    case StepKind::kExpectCached:
      step.words = words;
      break;
    case StepKind::kUpload: {
      const char* form = "upload PATH [expect-size N] [expect-same FILE] [expect-missing]";
      if (!want(1, 6, form)) return false;
      step.text = words[0];
      for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "expect-size") {
          if (!option_value(&i, &step.value)) return false;
        } else if (words[i] == "expect-same" && i + 1 < words.size()) {
          step.target = words[++i];
        } else if (words[i] == "expect-missing") {
          step.flag = true;
        } else {
          return usage(form);
        }
      }
      if (step.flag && (step.value >= 0 || !step.target.empty())) {
        *error = "expect-missing cannot be combined with expectations on the contents";
        return false;
      }
      break;
    }
    case StepKind::kBlob:
      if (!want(2, 3, "blob NAME FILE [TYPE]")) return false;
      step.text = words[0];
      step.path = words[1];
      if (words.size() > 2) step.target = words[2];
      break;
    case StepKind::kSendRaw:
      if (!Unescape(rest, &step.text) || step.text.empty()) {
        return usage("send-raw BYTES (escapes \\n \\r \\t \\\\ \\xHH; not empty)");
      }
      break;
    case StepKind::kSendRepeat: {
      std::string bytes;
      if (!CountAndRest(rest, &step.value, &bytes) || step.value == 0 ||
          !Unescape(bytes, &step.text) || step.text.empty()) {
        return usage("send-repeat COUNT BYTES (COUNT at least 1; BYTES not empty)");
      }
      break;
    }
    case StepKind::kSendCut:
      if (!CountAndRest(rest, &step.value, &step.text)) return usage("send-cut N LINE");
      break;
    case StepKind::kTlsCut:
      if (!want(1, 1, "tls-cut N") || !ParseCount(words[0], &step.value)) {
        return usage("tls-cut N");
      }
      break;
    default:  // steps without words
      if (!words.empty()) {
        *error = name + " takes no arguments";
        return false;
      }
      break;
  }
  steps_.push_back(std::move(step));
  return true;
}

}  // namespace nycl_server
