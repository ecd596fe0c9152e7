// The command base: the argument vector's ownership, Create and the tokeniser's older entry
// points. The line syntax is described in ArgVector.cc.
#include "nycl/command/NyCommand.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "command/ArgVector.h"
#include "nycl/command/NyCommandTypes.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"

namespace nycl {

namespace {

// What GetArg returns for an absent argument; shared and never written.
char kEmptyArg[1] = {'\0'};

// The flag that tells how the arguments were allocated must not move the fields a host's
// command classes use.
static_assert(sizeof(void*) != 8 || sizeof(NyCommand) == 5 * sizeof(void*),
              "NyCommand's fields keep their places");

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int ClampToInt(long long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

char* CopyToken(const char* token) {
  const size_t size = strlen(token) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (copy == nullptr) exit(1);  // as when tokenising: the line cannot be executed
  memcpy(copy, token, size);
  return copy;
}

}  // namespace

NyCommand::NyCommand() : argv(nullptr), argc(0), holder(nullptr), dataState(nullptr) {}

NyCommand::NyCommand(int argc, char** argv)
    : argv(argv), argc(argc), holder(nullptr), dataState(nullptr) {}

NyCommand::~NyCommand() {
  if (argv != nullptr) {
    if (!argsInOneBlock) {
      for (int i = 0; i < argc; ++i) free(argv[i]);
    }
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
  const char* text = argv[index];
  // Numbers as servers send them, an optional sign and digits, are read here; anything else
  // (leading white space, which depends on the locale) goes to the C library.
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (IsDigit(*p)) {
    // Past this the value is clamped anyway; the digits that follow only have to be skipped.
    constexpr long long kBeyond = static_cast<long long>(INT_MAX) + 2;
    long long value = 0;
    for (; IsDigit(*p) && value < kBeyond; ++p) value = value * 10 + (*p - '0');
    return ClampToInt(negative ? -value : value);
  }
  return ClampToInt(strtol(text, nullptr, 10));
}

void NyCommand::DeQuote(char* dst, const char* src, int len) {
  int out = 0;
  for (int i = 0; i < len; ++i) {
    char c = src[i];
    if (c == '\\' && i + 1 < len) c = EscapedByte(src[++i]);
    dst[out++] = c;
  }
  dst[out] = '\0';
}

void NyCommand::BuildArgList(const char* line, int* argcOut, char*** argvOut) {
  int count = 0;
  char** block = SplitLine(line, &count);
  char** vector = static_cast<char**>(malloc(sizeof(char*) * (static_cast<size_t>(count) + 1)));
  if (vector == nullptr) exit(1);
  for (int i = 0; i < count; ++i) vector[i] = CopyToken(block[i]);
  vector[count] = nullptr;
  free(block);
  *argcOut = count;
  *argvOut = vector;
}

NyCommand* NyCommand::Create(const char* line, NyDataStateHolder* holder) {
  if (line == nullptr) return nullptr;
  int count = 0;
  char** vector = SplitLine(line, &count);
  NyCommandTypes* entry = count >= 1 ? NyCommandTypes::Find(vector[0]) : nullptr;
  if (entry == nullptr) {
    free(vector);
    return nullptr;
  }
  NyCommand* command = entry->prototype->Clone(count, vector);
  command->argsInOneBlock = true;
  command->holder = holder;
  command->dataState = holder != nullptr ? holder->GetLastDataState() : nullptr;
  if (command->dataState != nullptr && !command->dataState->isDeleted()) {
    command->dataState->LockExit();
  }
  return command;
}

}  // namespace nycl
