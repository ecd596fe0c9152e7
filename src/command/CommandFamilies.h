// The command families and how they reach the registry.
//
// Each family source file (WindowCommands.cc, DialogCommands.cc, SessionCommands.cc,
// TransferCommands.cc, HandshakeCommands.cc; a large family may be split into more files, each
// registered from its family's function) defines its command classes in namespace nycl and one
// Register...Commands function below that links the family's registry entries with
// RegisterCommand<Class>("keyword"). The registry's own translation unit (NyCommandTypes.cc)
// calls all five functions exactly once, before the first lookup, and then relinks the entries
// in the protocol's fixed registration order (so the order of the calls here does not matter;
// a new keyword must be added to that order too). Nothing relies on static
// initialisers in the family files: a static archive drops object files that nothing references,
// and these functions are the references that keep every family linked in.
//
// Command classes are declared with NYCL_COMMAND_CLASS(Name) and define Name::Execute, which
// must end with `delete this` on every path. They live in namespace nycl (not an anonymous
// namespace) so that their class names read back unchanged through typeid.
#ifndef NYCL_SRC_COMMAND_COMMANDFAMILIES_H
#define NYCL_SRC_COMMAND_COMMANDFAMILIES_H

#include <string>

#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyRenderWindow.h"

namespace nycl {

void RegisterHandshakeCommands();
void RegisterWindowCommands();
void RegisterDialogCommands();
void RegisterSessionCommands();
void RegisterTransferCommands();

// Parts of a family kept in a file of their own, registered from the family's function.
void RegisterFieldCommands();  // from RegisterWindowCommands

// Whether commands may act on `state`: it exists and its destruction has not begun.
inline bool IsLive(NyDataState* state) {
  return state != nullptr && !state->isDeleted();
}

// Whether a command that runs without the deleted check may act on `state`: it exists. The
// session switches and the handshake act also on a data state whose destruction has begun: it
// stays alive while commands hold its exit locks, and the server still expects their answers.
inline bool IsBound(NyDataState* state) {
  return state != nullptr;
}

// Hands (tag, label, text) to the data state's ErrorLog as writable copies (it takes char*, and
// a host may write into them). REQUIRES: `state` is not null.
inline void LogThrough(NyDataState* state, const char* tag, const char* label,
                       const std::string& text) {
  std::string tagCopy = tag;
  std::string labelCopy = label;
  std::string textCopy = text;
  state->ErrorLog(&tagCopy[0], &labelCopy[0], &textCopy[0]);
}

// Sends `line` to the server through the data state's SendResponceString (which takes char*).
// REQUIRES: `state` is not null.
inline void Answer(NyDataState* state, const std::string& line) {
  std::string copy = line;
  state->SendResponceString(&copy[0]);
}

// The current window of a live data state, or null.
inline NyRenderWindow* CurrentWindowOf(NyDataState* state) {
  return IsLive(state) ? state->GetCurrentRenderWindow() : nullptr;
}

// Links a registry entry for `keyword` (a string literal) with a prototype of `Command`. The
// entry lives until the process ends.
template <class Command>
void RegisterCommand(const char* keyword) {
  new NyCommandTypes(new Command(), keyword);
}

}  // namespace nycl

// A command class: no fields of its own, overriding exactly the destructor, Execute and Clone.
#define NYCL_COMMAND_CLASS(Name)                                                            \
  class Name final : public NyCommand {                                                     \
   public:                                                                                  \
    Name() = default;                                                                       \
    Name(int count, char** vector) : NyCommand(count, vector) {}                            \
    ~Name() override = default;                                                             \
    bool Execute() override;                                                                \
    NyCommand* Clone(int count, char** vector) override { return new Name(count, vector); } \
  }

#endif  // NYCL_SRC_COMMAND_COMMANDFAMILIES_H
