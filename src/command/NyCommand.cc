// Protocol line syntax, as BuildArgList reads it:
//
//   line     := blank* (token blank+)* token? blank*
//   blank    := space | tab | line feed | vertical tab | form feed | carriage return
//   token    := a run of bytes ended by an unquoted, unescaped blank or by the end of the line
//
// Quotes: a single or a double quote opens a quoted run that the same quote closes; inside it
// blanks and the other quote are ordinary text, and an unterminated run lasts to the end of
// the line. When the quote is the token's first byte, the token is the text between the quotes
// and ends at the closing quote: `"ab"cd` is two tokens, `ab` and `cd`. A quote later in a
// token stays in it: `ab"c d"` is one token with both quotes.
//
// Escapes: a backslash makes the next byte ordinary text (so `a\ b` is one token); the pair is
// then resolved by DeQuote: \n, \r and \t give line feed, carriage return and tab, any other
// byte stands for itself, and a backslash that ends a token is kept.
#include "nycl/command/NyCommand.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "nycl/command/NyCommandTypes.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"

namespace nycl {

namespace {

// What GetArg returns for an absent argument; shared and never written.
char kEmptyArg[1] = {'\0'};

// The vector starts with room for this many entries and doubles when full, so that a line
// of very many tokens costs time in proportion to its length.
constexpr int kVectorStep = 100;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Running out of memory while tokenising ends the process: a half-parsed line cannot be
// executed meaningfully, and the server cannot be told.
[[noreturn]] void OutOfMemory() {
  exit(1);
}

char** GrowVector(char** vector, int entries) {
  void* grown = realloc(vector, sizeof(char*) * static_cast<size_t>(entries));
  if (grown == nullptr) OutOfMemory();
  return static_cast<char**>(grown);
}

}  // namespace

NyCommand::NyCommand() : argv(nullptr), argc(0), holder(nullptr), dataState(nullptr) {}

NyCommand::NyCommand(int argc, char** argv)
    : argv(argv), argc(argc), holder(nullptr), dataState(nullptr) {}

NyCommand::~NyCommand() {
  if (argv != nullptr) {
    for (int i = 0; i < argc; ++i) free(argv[i]);
    free(argv);
    argv = nullptr;
    argc = 0;
  }
  if (dataState != nullptr && !dataState->isDeleted()) dataState->UnlockExit();
}

char* NyCommand::GetArg(int index) {
  if (index < 0 || index >= argc || argv == nullptr) return kEmptyArg;
  return argv[index];
}

NyDataState* NyCommand::GetSafeDataState() {
  return dataState;
}

int NyCommand::IntArg(int index) const {
  if (!HasArg(index) || argv == nullptr || argv[index] == nullptr) return 0;
  long value = strtol(argv[index], nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void NyCommand::DeQuote(char* dst, const char* src, int len) {
  int out = 0;
  for (int i = 0; i < len; ++i) {
    char c = src[i];
    if (c == '\\' && i + 1 < len) {
      char next = src[++i];
      switch (next) {
        case 'n':
          c = '\n';
          break;
        case 'r':
          c = '\r';
          break;
        case 't':
          c = '\t';
          break;
        default:
          c = next;
          break;
      }
    }
    dst[out++] = c;
  }
  dst[out] = '\0';
}

void NyCommand::BuildArgList(const char* line, int* argcOut, char*** argvOut) {
  char** vector = nullptr;
  int count = 0;
  int capacity = 0;
  const char* start = nullptr;  // first byte of the open token, or null
  char quote = '\0';
  bool escape = false;
  bool openedWithQuote = false;

  auto emit = [&](const char* end) {
    if (count == capacity) {
      capacity = count < kVectorStep ? kVectorStep : count > INT_MAX / 2 ? INT_MAX : 2 * count;
      vector = GrowVector(vector, capacity);
    }
    int len = static_cast<int>(end - start);
    char* token = static_cast<char*>(malloc(static_cast<size_t>(len) + 1));
    if (token == nullptr) OutOfMemory();
    DeQuote(token, start, len);
    vector[count++] = token;
    start = nullptr;
  };

  for (const char* p = line;; ++p) {
    char c = *p;
    if (c == '\0') {
      if (start != nullptr) emit(p);
      break;
    }
    if (IsBlank(c) && quote == '\0' && !escape) {
      if (start != nullptr) emit(p);
      continue;
    }
    if (start == nullptr) {
      start = p;
      openedWithQuote = false;
    }
    if (escape) {
      escape = false;
      continue;
    }
    if (c == '\'' || c == '"') {
      if (c == quote) {
        quote = '\0';
        if (openedWithQuote) emit(p);
      } else if (quote == '\0') {
        quote = c;
        if (p == start) {
          start = p + 1;
          openedWithQuote = true;
        }
      }
      continue;
    }
    if (c == '\\') escape = true;
  }

  if (count == capacity) vector = GrowVector(vector, count + 1);
  vector[count] = nullptr;
  *argcOut = count;
  *argvOut = vector;
}

NyCommand* NyCommand::Create(const char* line, NyDataStateHolder* holder) {
  if (line == nullptr) return nullptr;
  int count = 0;
  char** vector = nullptr;
  BuildArgList(line, &count, &vector);
  NyCommandTypes* entry = count >= 1 ? NyCommandTypes::Find(vector[0]) : nullptr;
  if (entry == nullptr) {
    for (int i = 0; i < count; ++i) free(vector[i]);
    free(vector);
    return nullptr;
  }
  NyCommand* command = entry->prototype->Clone(count, vector);
  command->holder = holder;
  command->dataState = holder != nullptr ? holder->GetLastDataState() : nullptr;
  if (command->dataState != nullptr && !command->dataState->isDeleted()) {
    command->dataState->LockExit();
  }
  return command;
}

}  // namespace nycl
