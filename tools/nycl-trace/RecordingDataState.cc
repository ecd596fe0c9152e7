#include "RecordingDataState.h"

#include <algorithm>
#include <cstring>

#include "RecordingFormat.h"
#include "RecordingRenderWindow.h"

namespace nycl::recording {

RecordingDataState::RecordingDataState(CallSink* sink) : sink_(sink) {}

RecordingDataState::RecordingDataState(CallLog* log, int* destroyed)
    : ownSink_(new LogSink(log)), sink_(ownSink_.get()), destroyed_(destroyed) {}

RecordingDataState::~RecordingDataState() {
  while (!owned_.empty()) delete owned_.back();
  if (destroyed_ != nullptr) ++*destroyed_;
}

template <class... Args>
int RecordingDataState::Note(int fallback, const char* operation, const Args&... args) {
  Record(FormatCall(operation, args...));
  return answers_.Result(operation, fallback);
}

void RecordingDataState::NoteWindow(const char* operation, NyRenderWindow* window) {
  Record(FormatCall(operation, WindowName(window)));
}

void RecordingDataState::FillText(const char* operation, const std::string* fallback, char* buffer,
                                  int room) {
  const std::string* text = answers_.Text(operation);
  if (text == nullptr) text = fallback;
  if (text == nullptr || buffer == nullptr || room < 0) return;
  size_t n = std::min(text->size(), static_cast<size_t>(room));
  memcpy(buffer, text->data(), n);
  buffer[n] = '\0';
}

RecordingRenderWindow* RecordingDataState::AddWindow(const char* name) {
  auto* window = new RecordingRenderWindow(name, this, sink_, this);
  NyDataState::AddRenderWindow(window);
  return window;
}

NyRenderWindow* RecordingDataState::FindRenderWindow(const char* name) {
  NyRenderWindow* found = NyDataState::FindRenderWindow(name);
  sink_->Lookup(FormatCall("FindRenderWindow", name) + " -> " + WindowName(found));
  return found;
}
NyRenderWindow* RecordingDataState::GetCurrentRenderWindow() {
  NyRenderWindow* found = NyDataState::GetCurrentRenderWindow();
  sink_->Lookup("GetCurrentRenderWindow() -> " + WindowName(found));
  return found;
}
NyRenderWindow* RecordingDataState::GetFirstRenderWindow() {
  NyRenderWindow* found = NyDataState::GetFirstRenderWindow();
  sink_->Lookup("GetFirstRenderWindow() -> " + WindowName(found));
  return found;
}
void RecordingDataState::LockExit() {
  sink_->Lookup("LockExit()");
  NyDataState::LockExit();
}
void RecordingDataState::UnlockExit() {
  sink_->Lookup("UnlockExit()");
  NyDataState::UnlockExit();
}

bool RecordingDataState::Nyinetif_Auth(int mode) {
  return Note(0, "Nyinetif_Auth", mode) != 0;
}
int RecordingDataState::GetProperty(const char* name) {
  return Note(0, "GetProperty", name);
}
int RecordingDataState::SetProperty(const char* name, const char* value) {
  return Note(0, "SetProperty", name, value);
}
bool RecordingDataState::AppendNysFile(char* a) {
  return Note(0, "AppendNysFile", a) != 0;
}
int RecordingDataState::SendXMLData(const char* a, const char* b) {
  return Note(0, "SendXMLData", a, b);
}
const char* RecordingDataState::ReceiveXMLData(const char* a) {
  Note(0, "ReceiveXMLData", a);
  if (const std::string* text = answers_.Text("ReceiveXMLData")) return text->c_str();
  return NyDataState::ReceiveXMLData(a);
}
int RecordingDataState::FileSend(char* a, char* b) {
  return Note(0, "FileSend", a, b);
}
int RecordingDataState::FileSend(char* a, char* b, char* c, int d) {
  return Note(0, "FileSend", a, b, c, d);
}
int RecordingDataState::GetNysProgDetails(char* a) {
  return Note(0, "GetNysProgDetails", a);
}
int RecordingDataState::RestartApp() {
  return Note(1, "RestartApp");
}
int RecordingDataState::Flush() {
  return Note(0, "Flush");
}
int RecordingDataState::SetSize(int a, int b) {
  return Note(1, "SetSize", a, b);
}
int RecordingDataState::SetTitle(char* a, char* b) {
  return Note(1, "SetTitle", a, b);
}
void RecordingDataState::DeleteMe() {
  Note(0, "DeleteMe");
  NyDataState::DeleteMe();
}
int RecordingDataState::Sleep(int a) {
  return Note(1, "Sleep", a);
}
int RecordingDataState::ErrorLog(char* a, char* b, char* c) {
  return Note(0, "ErrorLog", a, b, c);
}
int RecordingDataState::FileRequest(char* a) {
  return Note(0, "FileRequest", a);
}
int RecordingDataState::FileSent(char* a) {
  return Note(0, "FileSent", a);
}
int RecordingDataState::FileData(char* a, char* b) {
  return Note(0, "FileData", a, b);
}
int RecordingDataState::ScriptFileSent(char* a) {
  return Note(0, "ScriptFileSent", a);
}
int RecordingDataState::ScriptFileSend(char* a) {
  return Note(0, "ScriptFileSend", a);
}
int RecordingDataState::InitRenderWindow(NyRenderWindow* w) {
  NoteWindow("InitRenderWindow", w);
  return NyDataState::InitRenderWindow(w);
}
int RecordingDataState::RemoveRenderWindow(NyRenderWindow* w) {
  NoteWindow("RemoveRenderWindow", w);
  return NyDataState::RemoveRenderWindow(w);
}
int RecordingDataState::AddRenderWindow(NyRenderWindow* w) {
  NoteWindow("AddRenderWindow", w);
  return NyDataState::AddRenderWindow(w);
}
int RecordingDataState::SetStatusBar(const char* a, int b) {
  return Note(1, "SetStatusBar", a, b);
}
int RecordingDataState::ScriptReceive(char* a) {
  return Note(1, "ScriptReceive", a);
}
int RecordingDataState::CreateRenderWindow(const char* name, int a, int b, int c, int d,
                                           const char* text, int e) {
  int result = Note(1, "CreateRenderWindow", name, a, b, c, d, text, e);
  AddRenderWindow(new RecordingRenderWindow(name, this, sink_, this));
  return result;
}
int RecordingDataState::RequestSSLHandshake() {
  return Note(1, "RequestSSLHandshake");
}
int RecordingDataState::CompressSocket() {
  return Note(1, "CompressSocket");
}
int RecordingDataState::NewCompressSocket() {
  return Note(1, "NewCompressSocket");
}
int RecordingDataState::GetConnectionStringApplicationName(char* buffer, int size) {
  int result = Note(1, "GetConnectionStringApplicationName", size);
  // `size` is the buffer's size, terminator included.
  FillText("GetConnectionStringApplicationName", nullptr, buffer, size - 1);
  return result;
}
int RecordingDataState::SetConnectionStringApplicationName(const char* a) {
  return Note(1, "SetConnectionStringApplicationName", a);
}
int RecordingDataState::ScriptEnd() {
  return Note(1, "ScriptEnd");
}
int RecordingDataState::BlobEnd() {
  return Note(1, "BlobEnd");
}
int RecordingDataState::BlobData(char* a) {
  return Note(1, "BlobData", a);
}
int RecordingDataState::IncludeConvert(char* a, char* b, int c) {
  return Note(1, "IncludeConvert", a, b, c);
}
int RecordingDataState::StartNewSession(char* a, char* b, char* c) {
  return Note(1, "StartNewSession", a, b, c);
}
int RecordingDataState::StartLoginRunner(char* a, char* b, char* c, char* d, char* e) {
  return Note(1, "StartLoginRunner", a, b, c, d, e);
}
int RecordingDataState::FocusRenderWindow() {
  return Note(1, "FocusRenderWindow");
}
int RecordingDataState::SendResponceString(char* line) {
  // The answer line as it goes to the server, whatever the style of the call records.
  sent_.push_back(line != nullptr ? line : "(null)");
  sink_->Answer(FormatCall("SendResponceString", line), sent_.back());
  return answers_.Result("SendResponceString", 1);
}
int RecordingDataState::NyMessageBox(char* a, char* b, int c, int d) {
  return Note(1, "NyMessageBox", a, b, c, d);
}
int RecordingDataState::GetMessageBoxLine(char* buffer, int size) {
  int result = Note(1, "GetMessageBoxLine", size);
  // `size` counts the bytes before the terminator.
  FillText("GetMessageBoxLine", &messageBox_, buffer, size);
  messageBox_.clear();
  return result;
}
int RecordingDataState::AddMessageBoxLine(char* a) {
  if (!messageBox_.empty()) messageBox_ += '\n';
  if (a != nullptr) messageBox_ += a;
  return Note(1, "AddMessageBoxLine", a);
}
int RecordingDataState::SetCase(_caseEnum a) {
  return Note(1, "SetCase", static_cast<int>(a));
}
int RecordingDataState::SetCase(char* a) {
  return Note(1, "SetCase", a);
}
int RecordingDataState::SetAnyKey(bool a) {
  return Note(1, "SetAnyKey", a);
}
int RecordingDataState::AddKeyEvent(const char* a, int b, const char* c, const char* d, bool e,
                                    bool f) {
  return Note(0, "AddKeyEvent", a, b, c, d, e, f);
}
int RecordingDataState::AddKeyEvent(const char* a, int b, const char* c, const char* d, bool e) {
  return Note(0, "AddKeyEvent", a, b, c, d, e);
}
int RecordingDataState::AddKeyEvent(const char* a, int b, const char* c, bool d) {
  return Note(0, "AddKeyEvent", a, b, c, d);
}
int RecordingDataState::ClearKeyList() {
  return Note(0, "ClearKeyList");
}
int RecordingDataState::Display(char* a) {
  return Note(1, "Display", a);
}
int RecordingDataState::ReCompress() {
  return Note(1, "ReCompress");
}
int RecordingDataState::NewReCompress() {
  return Note(1, "NewReCompress");
}
int RecordingDataState::ResumeSSLEncrypt() {
  return Note(1, "ResumeSSLEncrypt");
}
int RecordingDataState::PauseCompress() {
  return Note(1, "PauseCompress");
}
int RecordingDataState::NewPauseCompress() {
  return Note(1, "NewPauseCompress");
}
int RecordingDataState::EndApp() {
  return Note(1, "EndApp");
}
int RecordingDataState::AddLog(char* a, int b) {
  return Note(1, "AddLog", a, b);
}
int RecordingDataState::NewApp(char* a) {
  return Note(1, "NewApp", a);
}
int RecordingDataState::ErrorMessage(char* a, int b) {
  return Note(1, "ErrorMessage", a, b);
}
int RecordingDataState::SetDocType(char* a, char* b) {
  return Note(1, "SetDocType", a, b);
}
int RecordingDataState::HelpEnd() {
  return Note(1, "HelpEnd");
}
int RecordingDataState::HelpLine(char* a) {
  return Note(1, "HelpLine", a);
}
int RecordingDataState::HelpCreate() {
  return Note(1, "HelpCreate");
}
int RecordingDataState::SetComment(const char* a, int b) {
  return Note(1, "SetComment", a, b);
}
int RecordingDataState::SetMessage(const char* a, int b, const char* c) {
  return Note(1, "SetMessage", a, b, c);
}
int RecordingDataState::SetErrorMsg(const char* a, int b, const char* c) {
  return Note(1, "SetErrorMsg", a, b, c);
}
int RecordingDataState::ReportEnd() {
  return Note(1, "ReportEnd");
}
int RecordingDataState::ReportEndPage() {
  return Note(1, "ReportEndPage");
}
int RecordingDataState::ReportPause() {
  return Note(1, "ReportPause");
}
int RecordingDataState::ReportLine(char* a) {
  return Note(1, "ReportLine", a);
}
int RecordingDataState::ReportCreate() {
  return Note(1, "ReportCreate");
}
int RecordingDataState::WarningMessage(char* a) {
  return Note(1, "WarningMessage", a);
}
int RecordingDataState::WaitInput(int a) {
  return Note(1, "WaitInput", a);
}
int RecordingDataState::KillRenderWindow(const char* a) {
  Note(0, "KillRenderWindow", a);
  return NyDataState::KillRenderWindow(a);
}
int RecordingDataState::ExecuteProcess(char* a, char* b) {
  return Note(1, "ExecuteProcess", a, b);
}
int RecordingDataState::SetRenderWindow(NyRenderWindow* w) {
  NoteWindow("SetRenderWindow", w);
  return NyDataState::SetRenderWindow(w);
}
int RecordingDataState::RPC_connect(const char* a, const char* b, const char* c) {
  return Note(0, "RPC_connect", a, b, c);
}
int RecordingDataState::RPC_close(const char* a, const char* b, const char* c) {
  return Note(0, "RPC_close", a, b, c);
}
int RecordingDataState::RPC_getvalue(const char* a, const char* b, const char* c, const char* d) {
  return Note(0, "RPC_getvalue", a, b, c, d);
}
int RecordingDataState::RPC_setvalue(const char* a, const char* b, const char* c, const char* d,
                                     const char* e) {
  return Note(0, "RPC_setvalue", a, b, c, d, e);
}
int RecordingDataState::RPC_finishall(const char* a) {
  return Note(0, "RPC_finishall", a);
}
int RecordingDataState::RPC_execute(const char* a, const char* b, const char* c, const char* d) {
  return Note(0, "RPC_execute", a, b, c, d);
}
int RecordingDataState::KeyMapping(const char* a, const char* b) {
  return Note(0, "KeyMapping", a, b);
}
bool RecordingDataState::is_ssl_running() {
  return Note(0, "is_ssl_running") != 0;
}
bool RecordingDataState::is_this_a_ssl_connection() {
  return Note(0, "is_this_a_ssl_connection") != 0;
}
bool RecordingDataState::HaveShellExecute() {
  return Note(0, "HaveShellExecute") != 0;
}
int RecordingDataState::_ShellExecuteEx(const char* a, bool b) {
  return Note(0, "_ShellExecuteEx", a, b);
}
void RecordingDataState::NewAuthMenu(char* a, int b) {
  Note(0, "NewAuthMenu", a, b);
}
void RecordingDataState::AddToAuthMenu(char* a, int b, int c) {
  Note(0, "AddToAuthMenu", a, b, c);
}
void RecordingDataState::EndAuthMenu() {
  Note(0, "EndAuthMenu");
}

}  // namespace nycl::recording
