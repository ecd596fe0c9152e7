#include "nycl/state/NyDataState.h"

#include <algorithm>
#include <cstdlib>

#include "nycl/state/NyRenderWindow.h"
#include "state/WindowName.h"

namespace nycl {

namespace {

// Window names are compared on at most this many characters.
constexpr int kNameCompareLength = 499;

}  // namespace

NyDataState::NyDataState()
    : dialogRequested(false),
      usingCompression(false),
      currentWindow(nullptr),
      previous(nullptr),
      exitLocks(0),
      deleted(0),
      deletePending(false) {}

NyDataState::NyDataState(const NyDataState& other) = default;
NyDataState& NyDataState::operator=(const NyDataState& other) = default;

NyDataState::~NyDataState() {
  deleted = 1;
  // A window destroyed after its data state must not reach back into it.
  for (NyRenderWindow* window : windows) {
    if (window != nullptr) window->SetDataState(nullptr);
  }
  windows.clear();
  windows.shrink_to_fit();
  currentWindow = nullptr;
}

// Window registry.

NyRenderWindow* NyDataState::FindRenderWindow(const char* name) {
  if (name == nullptr) return nullptr;
  char* wanted = UpperCaseCopy(name);
  NyRenderWindow* found = nullptr;
  char buffer[kNameCompareLength + 1];
  for (NyRenderWindow* window : windows) {
    if (window == nullptr) continue;
    window->getWindowName(buffer, kNameCompareLength);
    buffer[kNameCompareLength] = '\0';
    if (SameNameIgnoringCase(buffer, wanted)) {
      found = window;
      break;
    }
  }
  free(wanted);
  return found;
}

NyRenderWindow* NyDataState::GetCurrentRenderWindow() {
  if (currentWindow != nullptr) return currentWindow;
  for (NyRenderWindow* window : windows) {
    if (window != nullptr) {
      currentWindow = window;
      return window;
    }
  }
  return nullptr;
}

NyRenderWindow* NyDataState::GetFirstRenderWindow() {
  return windows.empty() ? nullptr : windows.front();
}

int NyDataState::InitRenderWindow(NyRenderWindow* window) {
  currentWindow = window;
  return 1;
}

int NyDataState::AddRenderWindow(NyRenderWindow* window) {
  windows.push_back(window);
  SetRenderWindow(window);
  return 1;
}

int NyDataState::SetRenderWindow(NyRenderWindow* window) {
  if (std::find(windows.begin(), windows.end(), window) == windows.end()) return 0;
  currentWindow = window;
  return 1;
}

int NyDataState::RemoveRenderWindow(NyRenderWindow* window) {
  auto it = std::find(windows.begin(), windows.end(), window);
  if (it == windows.end()) return 0;
  if (currentWindow == window) currentWindow = nullptr;
  windows.erase(it);
  return 1;
}

int NyDataState::KillRenderWindow(const char* name) {
  NyRenderWindow* window = FindRenderWindow(name);
  delete window;
  return 0;
}

int NyDataState::CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                                    int e) {
  AddRenderWindow(new NyRenderWindow(name, a, b, c, d, text, this, e));
  return 1;
}

// Exit lock and deferred deletion.

void NyDataState::LockExit() {
  ++exitLocks;
}

void NyDataState::UnlockExit() {
  --exitLocks;
  if (exitLocks == 0 && deleted == 0 && deletePending) delete this;
}

void NyDataState::DeleteMe() {
  if (exitLocks != 0) {
    deletePending = true;
    return;
  }
  if (deleted == 0) delete this;
}

// Operations whose default reports that nothing was handled.

bool NyDataState::Nyinetif_Auth(int) {
  return false;
}
int NyDataState::GetProperty(const char*) {
  return 0;
}
int NyDataState::SetProperty(const char*, const char*) {
  return 0;
}
bool NyDataState::AppendNysFile(char*) {
  return false;
}
int NyDataState::SendXMLData(const char*, const char*) {
  return 0;
}
int NyDataState::FileSend(char*, char*) {
  return 0;
}
int NyDataState::FileSend(char*, char*, char*, int) {
  return 0;
}
int NyDataState::GetNysProgDetails(char*) {
  return 0;
}
int NyDataState::Flush() {
  return 0;
}
int NyDataState::ErrorLog(char*, char*, char*) {
  return 0;
}
int NyDataState::FileRequest(char*) {
  return 0;
}
int NyDataState::FileSent(char*) {
  return 0;
}
int NyDataState::FileData(char*, char*) {
  return 0;
}
int NyDataState::ScriptFileSent(char*) {
  return 0;
}
int NyDataState::ScriptFileSend(char*) {
  return 0;
}
int NyDataState::AddKeyEvent(const char*, int, const char*, const char*, bool, bool) {
  return 0;
}
int NyDataState::AddKeyEvent(const char*, int, const char*, const char*, bool) {
  return 0;
}
int NyDataState::AddKeyEvent(const char*, int, const char*, bool) {
  return 0;
}
int NyDataState::ClearKeyList() {
  return 0;
}
int NyDataState::RPC_connect(const char*, const char*, const char*) {
  return 0;
}
int NyDataState::RPC_close(const char*, const char*, const char*) {
  return 0;
}
int NyDataState::RPC_getvalue(const char*, const char*, const char*, const char*) {
  return 0;
}
int NyDataState::RPC_setvalue(const char*, const char*, const char*, const char*, const char*) {
  return 0;
}
int NyDataState::RPC_finishall(const char*) {
  return 0;
}
int NyDataState::RPC_execute(const char*, const char*, const char*, const char*) {
  return 0;
}
int NyDataState::KeyMapping(const char*, const char*) {
  return 0;
}
bool NyDataState::is_ssl_running() {
  return false;
}
bool NyDataState::is_this_a_ssl_connection() {
  return false;
}
bool NyDataState::HaveShellExecute() {
  return false;
}
int NyDataState::_ShellExecuteEx(const char*, bool) {
  return 0;
}
void NyDataState::NewAuthMenu(char*, int) {}
void NyDataState::AddToAuthMenu(char*, int, int) {}
void NyDataState::EndAuthMenu() {}

const char* NyDataState::ReceiveXMLData(const char*) {
  char lineFeed[] = "\n";
  SendResponceString(lineFeed);
  return "";
}

// Notifications that succeed without effect.

int NyDataState::SetStatusBar(const char*, int) {
  return 1;
}
int NyDataState::ScriptReceive(char*) {
  return 1;
}
int NyDataState::RequestSSLHandshake() {
  return 1;
}
int NyDataState::CompressSocket() {
  return 1;
}
int NyDataState::NewCompressSocket() {
  return 1;
}
int NyDataState::GetConnectionStringApplicationName(char*, int) {
  return 1;
}
int NyDataState::SetConnectionStringApplicationName(const char*) {
  return 1;
}
int NyDataState::ScriptEnd() {
  return 1;
}
int NyDataState::BlobEnd() {
  return 1;
}
int NyDataState::BlobData(char*) {
  return 1;
}
int NyDataState::IncludeConvert(char*, char*, int) {
  return 1;
}
int NyDataState::StartNewSession(char*, char*, char*) {
  return 1;
}
int NyDataState::StartLoginRunner(char*, char*, char*, char*, char*) {
  return 1;
}
int NyDataState::FocusRenderWindow() {
  return 1;
}
int NyDataState::SendResponceString(char*) {
  return 1;
}
int NyDataState::NyMessageBox(char*, char*, int, int) {
  return 1;
}
int NyDataState::GetMessageBoxLine(char*, int) {
  return 1;
}
int NyDataState::AddMessageBoxLine(char*) {
  return 1;
}
int NyDataState::SetCase(char*) {
  return 1;
}
int NyDataState::SetAnyKey(bool) {
  return 1;
}
int NyDataState::Display(char*) {
  return 1;
}
int NyDataState::ReCompress() {
  return 1;
}
int NyDataState::NewReCompress() {
  return 1;
}
int NyDataState::ResumeSSLEncrypt() {
  return 1;
}
int NyDataState::PauseCompress() {
  return 1;
}
int NyDataState::NewPauseCompress() {
  return 1;
}
int NyDataState::EndApp() {
  return 1;
}
int NyDataState::AddLog(char*, int) {
  return 1;
}
int NyDataState::NewApp(char*) {
  return 1;
}
int NyDataState::ErrorMessage(char*, int) {
  return 1;
}
int NyDataState::SetDocType(char*, char*) {
  return 1;
}
int NyDataState::HelpEnd() {
  return 1;
}
int NyDataState::HelpLine(char*) {
  return 1;
}
int NyDataState::HelpCreate() {
  return 1;
}
int NyDataState::SetComment(const char*, int) {
  return 1;
}
int NyDataState::SetMessage(const char*, int, const char*) {
  return 1;
}
int NyDataState::SetErrorMsg(const char*, int, const char*) {
  return 1;
}
int NyDataState::ReportEnd() {
  return 1;
}
int NyDataState::ReportEndPage() {
  return 1;
}
int NyDataState::ReportPause() {
  return 1;
}
int NyDataState::ReportLine(char*) {
  return 1;
}
int NyDataState::ReportCreate() {
  return 1;
}
int NyDataState::WarningMessage(char*) {
  return 1;
}
int NyDataState::WaitInput(int) {
  return 1;
}
int NyDataState::ExecuteProcess(char*, char*) {
  return 1;
}

}  // namespace nycl
