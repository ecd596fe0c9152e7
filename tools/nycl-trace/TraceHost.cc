#include "TraceHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "TraceFormat.h"
#include "nycl/widgets/CWidgetInfo.h"

namespace nycl::trace {

void TraceOutput::Line(const std::string& text) const {
  fputs(text.c_str(), stream);
  fputc('\n', stream);
}

namespace {

std::string WindowName(NyRenderWindow* window) {
  if (window == nullptr) return "(null)";
  char buffer[512];
  window->getWindowName(buffer, 511);
  return buffer;
}

}  // namespace

TraceDataState::TraceDataState(const TraceOutput* out) : out_(out) {}

TraceDataState::~TraceDataState() {
  while (!created_.empty()) delete created_.back();
}

template <class... Args>
int TraceDataState::Print(int result, const char* operation, Args... args) {
  out_->Line("   " + FormatCall(operation, args...));
  return result;
}

NyRenderWindow* TraceDataState::FindRenderWindow(const char* name) {
  NyRenderWindow* found = NyDataState::FindRenderWindow(name);
  if (out_->verbose)
    out_->Line("   " + FormatCall("FindRenderWindow", name) + " -> " + WindowName(found));
  return found;
}

NyRenderWindow* TraceDataState::GetCurrentRenderWindow() {
  NyRenderWindow* found = NyDataState::GetCurrentRenderWindow();
  if (out_->verbose) out_->Line("   GetCurrentRenderWindow() -> " + WindowName(found));
  return found;
}

NyRenderWindow* TraceDataState::GetFirstRenderWindow() {
  NyRenderWindow* found = NyDataState::GetFirstRenderWindow();
  if (out_->verbose) out_->Line("   GetFirstRenderWindow() -> " + WindowName(found));
  return found;
}

void TraceDataState::LockExit() {
  if (out_->verbose) out_->Line("   LockExit()");
  NyDataState::LockExit();
}

void TraceDataState::UnlockExit() {
  if (out_->verbose) out_->Line("   UnlockExit()");
  NyDataState::UnlockExit();
}

bool TraceDataState::Nyinetif_Auth(int mode) {
  return Print(0, "Nyinetif_Auth", mode) != 0;
}
int TraceDataState::GetProperty(const char* name) {
  return Print(0, "GetProperty", name);
}
int TraceDataState::SetProperty(const char* name, const char* value) {
  return Print(0, "SetProperty", name, value);
}
bool TraceDataState::AppendNysFile(char* a) {
  return Print(0, "AppendNysFile", a) != 0;
}
int TraceDataState::SendXMLData(const char* a, const char* b) {
  return Print(0, "SendXMLData", a, b);
}
const char* TraceDataState::ReceiveXMLData(const char* a) {
  Print(0, "ReceiveXMLData", a);
  return NyDataState::ReceiveXMLData(a);
}
int TraceDataState::FileSend(char* a, char* b) {
  return Print(0, "FileSend", a, b);
}
int TraceDataState::FileSend(char* a, char* b, char* c, int d) {
  return Print(0, "FileSend", a, b, c, d);
}
int TraceDataState::GetNysProgDetails(char* a) {
  return Print(0, "GetNysProgDetails", a);
}
int TraceDataState::RestartApp() {
  return Print(1, "RestartApp");
}
int TraceDataState::Flush() {
  return Print(0, "Flush");
}
int TraceDataState::SetSize(int a, int b) {
  return Print(1, "SetSize", a, b);
}
int TraceDataState::SetTitle(char* a, char* b) {
  return Print(1, "SetTitle", a, b);
}
void TraceDataState::DeleteMe() {
  Print(0, "DeleteMe");
  NyDataState::DeleteMe();
}
int TraceDataState::Sleep(int a) {
  return Print(1, "Sleep", a);
}
int TraceDataState::ErrorLog(char* a, char* b, char* c) {
  return Print(0, "ErrorLog", a, b, c);
}
int TraceDataState::FileRequest(char* a) {
  return Print(0, "FileRequest", a);
}
int TraceDataState::FileSent(char* a) {
  return Print(0, "FileSent", a);
}
int TraceDataState::FileData(char* a, char* b) {
  return Print(0, "FileData", a, b);
}
int TraceDataState::ScriptFileSent(char* a) {
  return Print(0, "ScriptFileSent", a);
}
int TraceDataState::ScriptFileSend(char* a) {
  return Print(0, "ScriptFileSend", a);
}
int TraceDataState::InitRenderWindow(NyRenderWindow* w) {
  out_->Line("   " + FormatCall("InitRenderWindow", WindowName(w).c_str()));
  return NyDataState::InitRenderWindow(w);
}
int TraceDataState::RemoveRenderWindow(NyRenderWindow* w) {
  out_->Line("   " + FormatCall("RemoveRenderWindow", WindowName(w).c_str()));
  return NyDataState::RemoveRenderWindow(w);
}
int TraceDataState::AddRenderWindow(NyRenderWindow* w) {
  out_->Line("   " + FormatCall("AddRenderWindow", WindowName(w).c_str()));
  return NyDataState::AddRenderWindow(w);
}
int TraceDataState::SetStatusBar(const char* a, int b) {
  return Print(1, "SetStatusBar", a, b);
}
int TraceDataState::ScriptReceive(char* a) {
  return Print(1, "ScriptReceive", a);
}
int TraceDataState::CreateRenderWindow(const char* name, int a, int b, int c, int d,
                                       const char* text, int e) {
  Print(1, "CreateRenderWindow", name, a, b, c, d, text, e);
  AddRenderWindow(new TraceRenderWindow(name, a, b, c, d, text, this, e));
  return 1;
}
int TraceDataState::RequestSSLHandshake() {
  return Print(1, "RequestSSLHandshake");
}
int TraceDataState::CompressSocket() {
  return Print(1, "CompressSocket");
}
int TraceDataState::NewCompressSocket() {
  return Print(1, "NewCompressSocket");
}
int TraceDataState::GetConnectionStringApplicationName(char* buffer, int size) {
  return Print(NyDataState::GetConnectionStringApplicationName(buffer, size),
               "GetConnectionStringApplicationName", size);
}
int TraceDataState::SetConnectionStringApplicationName(const char* a) {
  return Print(1, "SetConnectionStringApplicationName", a);
}
int TraceDataState::ScriptEnd() {
  return Print(1, "ScriptEnd");
}
int TraceDataState::BlobEnd() {
  return Print(1, "BlobEnd");
}
int TraceDataState::BlobData(char* a) {
  return Print(1, "BlobData", a);
}
int TraceDataState::IncludeConvert(char* a, char* b, int c) {
  return Print(1, "IncludeConvert", a, b, c);
}
int TraceDataState::StartNewSession(char* a, char* b, char* c) {
  return Print(1, "StartNewSession", a, b, c);
}
int TraceDataState::StartLoginRunner(char* a, char* b, char* c, char* d, char* e) {
  return Print(1, "StartLoginRunner", a, b, c, d, e);
}
int TraceDataState::FocusRenderWindow() {
  return Print(1, "FocusRenderWindow");
}
int TraceDataState::SendResponceString(char* line) {
  out_->Line("<< " + std::string(line != nullptr ? line : ""));
  return 1;
}
int TraceDataState::NyMessageBox(char* a, char* b, int c, int d) {
  return Print(1, "NyMessageBox", a, b, c, d);
}
// Hands back the gathered lines, one per line, bounded by `size`, and starts a new text.
int TraceDataState::GetMessageBoxLine(char* buffer, int size) {
  Print(1, "GetMessageBoxLine", size);
  size_t length = std::min(messageBox_.size(), static_cast<size_t>(std::max(size, 0)));
  memcpy(buffer, messageBox_.data(), length);
  buffer[length] = '\0';
  messageBox_.clear();
  return 1;
}
int TraceDataState::AddMessageBoxLine(char* a) {
  if (!messageBox_.empty()) messageBox_ += '\n';
  if (a != nullptr) messageBox_ += a;
  return Print(1, "AddMessageBoxLine", a);
}
int TraceDataState::SetCase(_caseEnum a) {
  return Print(1, "SetCase", static_cast<int>(a));
}
int TraceDataState::SetCase(char* a) {
  return Print(1, "SetCase", a);
}
int TraceDataState::SetAnyKey(bool a) {
  return Print(1, "SetAnyKey", a);
}
int TraceDataState::AddKeyEvent(const char* a, int b, const char* c, const char* d, bool e,
                                bool f) {
  return Print(0, "AddKeyEvent", a, b, c, d, e, f);
}
int TraceDataState::AddKeyEvent(const char* a, int b, const char* c, const char* d, bool e) {
  return Print(0, "AddKeyEvent", a, b, c, d, e);
}
int TraceDataState::AddKeyEvent(const char* a, int b, const char* c, bool d) {
  return Print(0, "AddKeyEvent", a, b, c, d);
}
int TraceDataState::ClearKeyList() {
  return Print(0, "ClearKeyList");
}
int TraceDataState::Display(char* a) {
  return Print(1, "Display", a);
}
int TraceDataState::ReCompress() {
  return Print(1, "ReCompress");
}
int TraceDataState::NewReCompress() {
  return Print(1, "NewReCompress");
}
int TraceDataState::ResumeSSLEncrypt() {
  return Print(1, "ResumeSSLEncrypt");
}
int TraceDataState::PauseCompress() {
  return Print(1, "PauseCompress");
}
int TraceDataState::NewPauseCompress() {
  return Print(1, "NewPauseCompress");
}
int TraceDataState::EndApp() {
  return Print(1, "EndApp");
}
int TraceDataState::AddLog(char* a, int b) {
  return Print(1, "AddLog", a, b);
}
int TraceDataState::NewApp(char* a) {
  return Print(1, "NewApp", a);
}
int TraceDataState::ErrorMessage(char* a, int b) {
  return Print(1, "ErrorMessage", a, b);
}
int TraceDataState::SetDocType(char* a, char* b) {
  return Print(1, "SetDocType", a, b);
}
int TraceDataState::HelpEnd() {
  return Print(1, "HelpEnd");
}
int TraceDataState::HelpLine(char* a) {
  return Print(1, "HelpLine", a);
}
int TraceDataState::HelpCreate() {
  return Print(1, "HelpCreate");
}
int TraceDataState::SetComment(const char* a, int b) {
  return Print(1, "SetComment", a, b);
}
int TraceDataState::SetMessage(const char* a, int b, const char* c) {
  return Print(1, "SetMessage", a, b, c);
}
int TraceDataState::SetErrorMsg(const char* a, int b, const char* c) {
  return Print(1, "SetErrorMsg", a, b, c);
}
int TraceDataState::ReportEnd() {
  return Print(1, "ReportEnd");
}
int TraceDataState::ReportEndPage() {
  return Print(1, "ReportEndPage");
}
int TraceDataState::ReportPause() {
  return Print(1, "ReportPause");
}
int TraceDataState::ReportLine(char* a) {
  return Print(1, "ReportLine", a);
}
int TraceDataState::ReportCreate() {
  return Print(1, "ReportCreate");
}
int TraceDataState::WarningMessage(char* a) {
  return Print(1, "WarningMessage", a);
}
int TraceDataState::WaitInput(int a) {
  return Print(1, "WaitInput", a);
}
int TraceDataState::KillRenderWindow(const char* a) {
  Print(0, "KillRenderWindow", a);
  return NyDataState::KillRenderWindow(a);
}
int TraceDataState::ExecuteProcess(char* a, char* b) {
  return Print(1, "ExecuteProcess", a, b);
}
int TraceDataState::SetRenderWindow(NyRenderWindow* w) {
  out_->Line("   " + FormatCall("SetRenderWindow", WindowName(w).c_str()));
  return NyDataState::SetRenderWindow(w);
}
int TraceDataState::RPC_connect(const char* a, const char* b, const char* c) {
  return Print(0, "RPC_connect", a, b, c);
}
int TraceDataState::RPC_close(const char* a, const char* b, const char* c) {
  return Print(0, "RPC_close", a, b, c);
}
int TraceDataState::RPC_getvalue(const char* a, const char* b, const char* c, const char* d) {
  return Print(0, "RPC_getvalue", a, b, c, d);
}
int TraceDataState::RPC_setvalue(const char* a, const char* b, const char* c, const char* d,
                                 const char* e) {
  return Print(0, "RPC_setvalue", a, b, c, d, e);
}
int TraceDataState::RPC_finishall(const char* a) {
  return Print(0, "RPC_finishall", a);
}
int TraceDataState::RPC_execute(const char* a, const char* b, const char* c, const char* d) {
  return Print(0, "RPC_execute", a, b, c, d);
}
int TraceDataState::KeyMapping(const char* a, const char* b) {
  return Print(0, "KeyMapping", a, b);
}
bool TraceDataState::is_ssl_running() {
  return Print(0, "is_ssl_running") != 0;
}
bool TraceDataState::is_this_a_ssl_connection() {
  return Print(0, "is_this_a_ssl_connection") != 0;
}
bool TraceDataState::HaveShellExecute() {
  return Print(0, "HaveShellExecute") != 0;
}
int TraceDataState::_ShellExecuteEx(const char* a, bool b) {
  return Print(0, "_ShellExecuteEx", a, b);
}
void TraceDataState::NewAuthMenu(char* a, int b) {
  Print(0, "NewAuthMenu", a, b);
}
void TraceDataState::AddToAuthMenu(char* a, int b, int c) {
  Print(0, "AddToAuthMenu", a, b, c);
}
void TraceDataState::EndAuthMenu() {
  Print(0, "EndAuthMenu");
}

TraceRenderWindow::TraceRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                                     TraceDataState* state, int e)
    : NyRenderWindow(name, a, b, c, d, text, state, e), out_(state->out_), creator_(state) {
  creator_->created_.push_back(this);
}

TraceRenderWindow::~TraceRenderWindow() {
  out_->Line("   " + Label() + ".~NyRenderWindow()");
  auto& created = creator_->created_;
  created.erase(std::remove(created.begin(), created.end(), this), created.end());
}

std::string TraceRenderWindow::Label() {
  return WindowName(this);
}

template <class... Args>
int TraceRenderWindow::Print(int result, const char* operation, Args... args) {
  out_->Line("   " + Label() + "." + FormatCall(operation, args...));
  return result;
}

int TraceRenderWindow::ListCreate(const char* a, int b, int c, int d, int e) {
  return Print(0, "ListCreate", a, b, c, d, e);
}
int TraceRenderWindow::ListDestroy(const char* a) {
  return Print(0, "ListDestroy", a);
}
int TraceRenderWindow::ListExport(const char* a, int b, int c, const char* d, const char* e,
                                  const char* f) {
  return Print(0, "ListExport", a, b, c, d, e, f);
}
int TraceRenderWindow::FileDialog(char* a, int b, char* c, char* d, char* e, char* f) {
  return Print(0, "FileDialog", a, b, c, d, e, f);
}
int TraceRenderWindow::ColumnCreate(const char* a, const char* b, int c, int d, int e,
                                    const char* f, const char* g, int h, const char* i) {
  return Print(0, "ColumnCreate", a, b, c, d, e, f, g, h, i);
}
int TraceRenderWindow::ColumnConfigure(const char* a, const char* b, int c, const char* d, int e,
                                       int f) {
  return Print(0, "ColumnConfigure", a, b, c, d, e, f);
}
int TraceRenderWindow::ProgressCreate(const char* a, const char* b, int c, int d) {
  return Print(0, "ProgressCreate", a, b, c, d);
}
int TraceRenderWindow::ProgressDestroy(const char* a, const char* b) {
  return Print(0, "ProgressDestroy", a, b);
}
int TraceRenderWindow::ProgressValue(const char* a, const char* b, int c) {
  return Print(0, "ProgressValue", a, b, c);
}
int TraceRenderWindow::ColumnClear(const char* a, const char* b) {
  return Print(0, "ColumnClear", a, b);
}
int TraceRenderWindow::NewScreenSection(const char* a) {
  return Print(1, "NewScreenSection", a);
}
int TraceRenderWindow::WinPrompt(int a, int b, char* c, char* d, int e, int f) {
  return Print(1, "WinPrompt", a, b, c, d, e, f);
}
int TraceRenderWindow::WinPromptB(int a, int b, char* c, char* d, int e, int f) {
  return Print(1, "WinPromptB", a, b, c, d, e, f);
}
int TraceRenderWindow::WinButton(char* a, char* b, char* c, char* d, char* e, int f) {
  return Print(1, "WinButton", a, b, c, d, e, f);
}
int TraceRenderWindow::WinQuestion(char* a, char* b, char* c, char* d, char* e, int f) {
  return Print(1, "WinQuestion", a, b, c, d, e, f);
}
int TraceRenderWindow::DetailErrorBox(char* a, char* b, char* c) {
  return Print(1, "DetailErrorBox", a, b, c);
}
int TraceRenderWindow::SetSize(int a, int b) {
  return Print(1, "SetSize", a, b);
}
int TraceRenderWindow::SetTitle(char* a) {
  return Print(1, "SetTitle", a);
}
int TraceRenderWindow::SetBlobType(char* a) {
  return Print(1, "SetBlobType", a);
}
int TraceRenderWindow::EndBlobReceive() {
  return Print(1, "EndBlobReceive");
}
int TraceRenderWindow::Sleep(int a) {
  return Print(1, "Sleep", a);
}
int TraceRenderWindow::StartBlobReceive(char* a) {
  return Print(1, "StartBlobReceive", a);
}
int TraceRenderWindow::AddToReceivedBlob(char* a, int b) {
  return Print(1, "AddToReceivedBlob", a, b);
}
int TraceRenderWindow::SetInclude(char* a, int count, char** values) {
  std::string list = "[";
  for (int i = 0; values != nullptr && i < count; ++i) {
    if (i > 0) list += '|';
    list += FormatArg(values[i]);
  }
  list += ']';
  return Print(1, "SetInclude", a, count, list.c_str());
}
int TraceRenderWindow::SetComboGroup(const char* a, unsigned int b) {
  return Print(1, "SetComboGroup", a, b);
}
int TraceRenderWindow::SetComboValue(const char* a, unsigned int b, const char* c) {
  return Print(1, "SetComboValue", a, b, c);
}
int TraceRenderWindow::SetComboDepth(const char* a, unsigned int b) {
  return Print(1, "SetComboDepth", a, b);
}
int TraceRenderWindow::EndAuthMenu() {
  return Print(1, "EndAuthMenu");
}
int TraceRenderWindow::AddToAuthMenu(char* a, int b, int c) {
  return Print(1, "AddToAuthMenu", a, b, c);
}
int TraceRenderWindow::NewAuthMenu(char* a, int b) {
  return Print(1, "NewAuthMenu", a, b);
}
int TraceRenderWindow::DestroyScrollBar() {
  return Print(1, "DestroyScrollBar");
}
int TraceRenderWindow::SetScrollBar(int a, int b, int c, int d, const char* e, int f, int g,
                                    int h) {
  return Print(1, "SetScrollBar", a, b, c, d, e, f, g, h);
}
int TraceRenderWindow::CanDraw(char* a) {
  return Print(1, "CanDraw", a);
}
int TraceRenderWindow::Bell() {
  return Print(1, "Bell");
}
int TraceRenderWindow::DeleteItem(char* a) {
  return Print(1, "DeleteItem", a);
}
int TraceRenderWindow::ItemSet(char* a, char* b) {
  return Print(1, "ItemSet", a, b);
}
int TraceRenderWindow::ItemAppend(char* a, char* b) {
  return Print(0, "ItemAppend", a, b);
}
int TraceRenderWindow::ItemConfigure(char* a, char* b, int c, int d, int e) {
  return Print(1, "ItemConfigure", a, b, c, d, e);
}
int TraceRenderWindow::ItemFocus(char* a, int b) {
  return Print(1, "ItemFocus", a, b);
}
int TraceRenderWindow::ItemState(char* a, int b) {
  return Print(1, "ItemState", a, b);
}
int TraceRenderWindow::SetFieldAttribs(const char* a, int b) {
  return Print(1, "SetFieldAttribs", a, b);
}
int TraceRenderWindow::ColumnState(const char* a, const char* b, int c, int d, int e) {
  return Print(0, "ColumnState", a, b, c, d, e);
}
int TraceRenderWindow::HeaderConfigure(const char* a, const char* b, const char* c, const char* d,
                                       const char* e) {
  return Print(0, "HeaderConfigure", a, b, c, d, e);
}
int TraceRenderWindow::RowDelete(const char* a, int b) {
  return Print(0, "RowDelete", a, b);
}
int TraceRenderWindow::RowInsert(const char* a, int b) {
  return Print(0, "RowInsert", a, b);
}
int TraceRenderWindow::ItemShow(char* a, int b) {
  return Print(1, "ItemShow", a, b);
}
int TraceRenderWindow::SetStatusBar(const char* a, int b) {
  return Print(1, "SetStatusBar", a, b);
}
int TraceRenderWindow::SetMessageLine(int a) {
  return Print(1, "SetMessageLine", a);
}
int TraceRenderWindow::SetCommentLine(int a) {
  return Print(1, "SetCommentLine", a);
}
int TraceRenderWindow::SetErrorLine(int a) {
  return Print(1, "SetErrorLine", a);
}
int TraceRenderWindow::ClearEOL(int a, int b) {
  return Print(1, "ClearEOL", a, b);
}
int TraceRenderWindow::Box(int a, int b, int c, int d, char* e) {
  return Print(1, "Box", a, b, c, d, e);
}
int TraceRenderWindow::AddItem(int a, int b, int c, int d, char* e, char* f, char* g, int h,
                               CWidgetInfo* description) {
  Print(1, "AddItem", a, b, c, d, e, f, g, h, description);
  return NyRenderWindow::AddItem(a, b, c, d, e, f, g, h, description);
}
int TraceRenderWindow::LineV(int a, int b, int c, char* d) {
  return Print(1, "LineV", a, b, c, d);
}
int TraceRenderWindow::LineH(int a, int b, int c, char* d) {
  return Print(1, "LineH", a, b, c, d);
}
int TraceRenderWindow::MenuCurrent(int a) {
  return Print(1, "MenuCurrent", a);
}
int TraceRenderWindow::MenuAdd(char* a, int b, char* c) {
  return Print(1, "MenuAdd", a, b, c);
}
int TraceRenderWindow::MenuDestroy() {
  return Print(1, "MenuDestroy");
}
int TraceRenderWindow::MenuCreate(char* a, int b, int c) {
  return Print(1, "MenuCreate", a, b, c);
}
int TraceRenderWindow::DoToolbar() {
  return Print(1, "DoToolbar");
}
int TraceRenderWindow::SetFormName(char* a) {
  return Print(1, "SetFormName", a);
}
int TraceRenderWindow::Clear() {
  return Print(1, "Clear");
}
int TraceRenderWindow::ClearForm(int a, int b) {
  return Print(1, "ClearForm", a, b);
}
int TraceRenderWindow::AddText(int a, int b, char* c, char* d, int e) {
  return Print(1, "AddText", a, b, c, d, e);
}
int TraceRenderWindow::Array(char* a, int b, const char* c) {
  return Print(1, "Array", a, b, c);
}
int TraceRenderWindow::Array(char* a, int b) {
  return Print(1, "Array", a, b);
}
int TraceRenderWindow::RemoveArrayData() {
  return Print(1, "RemoveArrayData");
}
int TraceRenderWindow::AddArrayData(char* a, char* b, char* c) {
  return Print(1, "AddArrayData", a, b, c);
}
bool TraceRenderWindow::NeedArrayData() {
  return Print(1, "NeedArrayData") != 0;
}
bool TraceRenderWindow::ClearAllArrayData() {
  return Print(1, "ClearAllArrayData") != 0;
}

}  // namespace nycl::trace
