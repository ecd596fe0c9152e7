#include "nycl/command/NyCommandTypes.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "command/CommandFamilies.h"
#include "command/KeywordIndex.h"
#include "nycl/command/NyCommand.h"

namespace nycl {

namespace {

// Head of the registry list; written only while the families register.
NyCommandTypes* registryHead = nullptr;

// The index of the list as it stands, or null when the list changed since it was built.
std::atomic<const KeywordIndex*> currentIndex{nullptr};
// Serialises building an index.
std::mutex indexMutex;

// Every index built. One replaced by a newer one is kept, not freed: a lookup on another thread
// may still be reading it. The list changes rarely once registered, so few are ever built.
std::vector<std::unique_ptr<KeywordIndex>>& BuiltIndexes() {
  static auto* built = new std::vector<std::unique_ptr<KeywordIndex>>();
  return *built;
}

// The protocol's keywords in the order they are registered. Each entry is linked at the head,
// so a walk of the registry meets them in the reverse order; lookups do not depend on it, since
// the keywords are unique, but a host listing the registry sees this fixed order.
constexpr const char* kRegistrationOrder[] = {
    "fgl_Blob",
    "fgl_ident",
    "fgl_WindowOpen",
    "fgl_Label",
    "fgl_WindowSelect",
    "fgl_WindowClear",
    "fgl_DisplayAt",
    "fgl_MenuCreateV",
    "fgl_MenuDestroyV",
    "fgl_MenuFieldCreateV",
    "fgl_MenuFocusV",
    "fgl_LineH",
    "fgl_LineV",
    "fgl_ListCreate",
    "fgl_ListDestroy",
    "fgl_ListExport",
    "fgl_FileDialog",
    "fgl_ColumnCreate",
    "fgl_ColumnClear",
    "fgl_ProgressCreate",
    "fgl_ProgressDestroy",
    "ProgressValue ",
    "fgl_EntryCreate",
    "fgl_Box",
    "fgl_ClearToEol",
    "fgl_CommentLine",
    "fgl_ErrorLine",
    "fgl_Message",
    "fgl_EntryState",
    "fgl_ColumnState",
    "fgl_ColumnConfigure",
    "fgl_HeaderConfigure",
    "fgl_RowDelete",
    "fgl_RowInsert",
    "fgl_EntryFocus",
    "fgl_EntryConfigure",
    "fgl_EntryAppend",
    "fgl_EntrySet",
    "fgl_WindowClose",
    "fgl_EntryDestroy",
    "fgl_Bell",
    "fgl_Wait",
    "fgl_Flush",
    "Warning:",
    "fgl_ReportCreate",
    "fgl_ReportLine",
    "fgl_ReportPause",
    "fgl_ReportEndPage",
    "fgl_ReportEnd",
    "fgl_Comment",
    "fgl_HelpCreate",
    "fgl_HelpLine",
    "fgl_HelpEnd",
    "fgl_DocType",
    "fgl_TaskOpen",
    "fgl_TaskClose",
    "fgl_filter",
    "fgl_StopSession",
    "fgl_ResumeSession",
    "fgl_StartSession",
    "fgl_filterend",
    "fgl_Display",
    "fgl_SetWindowTitle",
    "fgl_SetTitle",
    "fgl_SetWindowSize",
    "fgl_SetSize",
    "fgl_SetFieldState",
    "fgl_WinButton",
    "fgl_WinQuestion",
    "fgl_DetailErrorBox",
    "fgl_WinPrompt",
    "fgl_WinPromptB",
    "fgl_KeyEvent",
    "fgl_KeyDivider",
    "fgl_ClearKeyList",
    "fgl_InputCase",
    "fgl_FormName",
    "fgl_ScrollBar",
    "fgl_ScrollDelete",
    "fgl_MessageBoxLine",
    "fgl_MessageBox",
    "fgl_ReturnAnyKey",
    "fgl_Sleep",
    "fgl_AuthMenu",
    "fgl_AuthMenuOption",
    "fgl_AuthMenuEnd",
    "fgl_AuthMenuRun",
    "fgl_GetNysProg",
    "fgl_SessionExec",
    "fgl_Exec",
    "fgl_ShellExec",
    "fgl_EntryInclude",
    "fgl_BlobData",
    "fgl_BlobEnd",
    "fgl_ScriptFileSend",
    "fgl_ScriptFileSent",
    "fgl_file_read_error",
    "fgl_sendxmldata",
    "fgl_receivexmldata",
    "fgl_FileSend",
    "fgl_FileRequest",
    "fgl_FileData",
    "fgl_FileSent",
    "fgl_ScriptEnd",
    "Error:",
    "fgl_Array",
    "fgl_EntryAdd",
    "fgl_rpc_connect",
    "fgl_rpc_close",
    "fgl_rpc_getvalue",
    "fgl_rpc_setvalue",
    "fgl_rpc_finishall",
    "fgl_rpc_execute",
    "fgl_ScreenTitle",
    "fgl_SetProperty",
    "fgl_GetProperty",
    "fgl_Combo_Group",
    "fgl_Combo_Value",
    "fgl_KeyMapping",
    "fgl_Combo_Depth",
    "fgl_auth",
    "nyinetif:",
    "nyinetif_basic:",
    "nyinetif_full:",
};

// 1 + the position of `keyword` in kRegistrationOrder, or 0 for a keyword not in it (which then
// stands as if registered before all of them).
int RankOf(const char* keyword) {
  int rank = 0;
  for (const char* known : kRegistrationOrder) {
    ++rank;
    if (strcmp(known, keyword) == 0) return rank;
  }
  return 0;
}

// Relinks the entries in front of `rest` (those the families just linked) so that they stand
// in reverse registration order, followed by `rest` unchanged.
void OrderFamilyEntries(NyCommandTypes* rest) {
  std::vector<std::pair<int, NyCommandTypes*>> ranked;
  for (NyCommandTypes* entry = registryHead; entry != rest; entry = entry->next) {
    ranked.emplace_back(RankOf(entry->keyword), entry);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  NyCommandTypes* next = rest;
  for (auto it = ranked.rbegin(); it != ranked.rend(); ++it) {
    it->second->next = next;
    next = it->second;
  }
  registryHead = next;
  currentIndex.store(nullptr, std::memory_order_release);
}

// Fills the registry on first use. A function-local static runs its initialiser exactly once
// even when the first lookups race on several threads. Entries a host linked before the first
// lookup stay behind the library's, as if they had been registered first.
void EnsureRegistered() {
  static const bool registered = [] {
    NyCommandTypes* hostEntries = registryHead;
    RegisterHandshakeCommands();
    RegisterWindowCommands();
    RegisterDialogCommands();
    RegisterSessionCommands();
    RegisterTransferCommands();
    OrderFamilyEntries(hostEntries);
    return true;
  }();
  (void)registered;
}

const KeywordIndex& CurrentIndex() {
  EnsureRegistered();
  const KeywordIndex* index = currentIndex.load(std::memory_order_acquire);
  if (index != nullptr) return *index;
  std::lock_guard<std::mutex> lock(indexMutex);
  index = currentIndex.load(std::memory_order_acquire);
  if (index == nullptr) {
    BuiltIndexes().push_back(std::make_unique<KeywordIndex>(registryHead));
    index = BuiltIndexes().back().get();
    currentIndex.store(index, std::memory_order_release);
  }
  return *index;
}

}  // namespace

NyCommandTypes::NyCommandTypes(NyCommand* prototype, const char* keyword)
    : prototype(prototype), keyword(keyword), next(registryHead) {
  registryHead = this;
  currentIndex.store(nullptr, std::memory_order_release);
}

NyCommandTypes::~NyCommandTypes() {
  for (NyCommandTypes** link = &registryHead; *link != nullptr; link = &(*link)->next) {
    if (*link == this) {
      *link = next;
      break;
    }
  }
  currentIndex.store(nullptr, std::memory_order_release);
  delete prototype;
}

NyCommandTypes* NyCommandTypes::First() {
  EnsureRegistered();
  return registryHead;
}

NyCommandTypes* NyCommandTypes::Find(const char* keyword) {
  return CurrentIndex().Find(keyword, strlen(keyword));
}

}  // namespace nycl
