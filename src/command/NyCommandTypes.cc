#include "nycl/command/NyCommandTypes.h"

#include <cstring>

#include "command/CommandFamilies.h"
#include "nycl/command/NyCommand.h"

namespace nycl {

namespace {

// Head of the registry list; written only while the families register.
NyCommandTypes* registryHead = nullptr;

// Fills the registry on first use. A function-local static runs its initialiser exactly once
// even when the first lookups race on several threads.
void EnsureRegistered() {
  static const bool registered = [] {
    RegisterHandshakeCommands();
    RegisterWindowCommands();
    RegisterDialogCommands();
    RegisterSessionCommands();
    RegisterTransferCommands();
    return true;
  }();
  (void)registered;
}

}  // namespace

NyCommandTypes::NyCommandTypes(NyCommand* prototype, const char* keyword)
    : prototype(prototype), keyword(keyword), next(registryHead) {
  registryHead = this;
}

NyCommandTypes::~NyCommandTypes() {
  for (NyCommandTypes** link = &registryHead; *link != nullptr; link = &(*link)->next) {
    if (*link == this) {
      *link = next;
      break;
    }
  }
  delete prototype;
}

NyCommandTypes* NyCommandTypes::First() {
  EnsureRegistered();
  return registryHead;
}

NyCommandTypes* NyCommandTypes::Find(const char* keyword) {
  for (NyCommandTypes* entry = First(); entry != nullptr; entry = entry->next) {
    if (strcmp(entry->keyword, keyword) == 0) return entry;
  }
  return nullptr;
}

}  // namespace nycl
