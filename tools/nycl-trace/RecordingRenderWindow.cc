#include "RecordingRenderWindow.h"

#include <algorithm>

#include "RecordingDataState.h"
#include "RecordingFormat.h"

namespace nycl::recording {

RecordingRenderWindow::RecordingRenderWindow(const char* name, NyDataState* state, CallSink* sink,
                                             RecordingDataState* owner)
    : NyRenderWindow(name, 0, 0, 0, 0, "", state, 0), sink_(sink), owner_(owner) {
  if (owner_ != nullptr) owner_->owned_.push_back(this);
}

RecordingRenderWindow::RecordingRenderWindow(const char* name, NyDataState* state, CallLog* log,
                                             RecordingDataState* owner)
    : RecordingRenderWindow(name, state, static_cast<CallSink*>(nullptr), owner) {
  ownSink_.reset(new LogSink(log));
  sink_ = ownSink_.get();
}

RecordingRenderWindow::~RecordingRenderWindow() {
  sink_->Call(Name() + ".~NyRenderWindow()");
  if (owner_ != nullptr) {
    auto& owned = owner_->owned_;
    owned.erase(std::remove(owned.begin(), owned.end(), this), owned.end());
  }
}

std::string RecordingRenderWindow::Name() {
  return WindowName(this);
}

template <class... Args>
int RecordingRenderWindow::Note(int fallback, const char* operation, const Args&... args) {
  sink_->Call(Name() + "." + FormatCall(operation, args...));
  return answers_.Result(operation, fallback);
}

int RecordingRenderWindow::ListCreate(const char* a, int b, int c, int d, int e) {
  return Note(0, "ListCreate", a, b, c, d, e);
}
int RecordingRenderWindow::ListDestroy(const char* a) {
  return Note(0, "ListDestroy", a);
}
int RecordingRenderWindow::ListExport(const char* a, int b, int c, const char* d, const char* e,
                                      const char* f) {
  return Note(0, "ListExport", a, b, c, d, e, f);
}
int RecordingRenderWindow::FileDialog(char* a, int b, char* c, char* d, char* e, char* f) {
  return Note(0, "FileDialog", a, b, c, d, e, f);
}
int RecordingRenderWindow::ColumnCreate(const char* a, const char* b, int c, int d, int e,
                                        const char* f, const char* g, int h, const char* i) {
  return Note(0, "ColumnCreate", a, b, c, d, e, f, g, h, i);
}
int RecordingRenderWindow::ColumnConfigure(const char* a, const char* b, int c, const char* d,
                                           int e, int f) {
  return Note(0, "ColumnConfigure", a, b, c, d, e, f);
}
int RecordingRenderWindow::ProgressCreate(const char* a, const char* b, int c, int d) {
  return Note(0, "ProgressCreate", a, b, c, d);
}
int RecordingRenderWindow::ProgressDestroy(const char* a, const char* b) {
  return Note(0, "ProgressDestroy", a, b);
}
int RecordingRenderWindow::ProgressValue(const char* a, const char* b, int c) {
  return Note(0, "ProgressValue", a, b, c);
}
int RecordingRenderWindow::ColumnClear(const char* a, const char* b) {
  return Note(0, "ColumnClear", a, b);
}
int RecordingRenderWindow::NewScreenSection(const char* a) {
  return Note(1, "NewScreenSection", a);
}
int RecordingRenderWindow::WinPrompt(int a, int b, char* c, char* d, int e, int f) {
  return Note(1, "WinPrompt", a, b, c, d, e, f);
}
int RecordingRenderWindow::WinPromptB(int a, int b, char* c, char* d, int e, int f) {
  return Note(1, "WinPromptB", a, b, c, d, e, f);
}
int RecordingRenderWindow::WinButton(char* a, char* b, char* c, char* d, char* e, int f) {
  return Note(1, "WinButton", a, b, c, d, e, f);
}
int RecordingRenderWindow::WinQuestion(char* a, char* b, char* c, char* d, char* e, int f) {
  return Note(1, "WinQuestion", a, b, c, d, e, f);
}
int RecordingRenderWindow::DetailErrorBox(char* a, char* b, char* c) {
  return Note(1, "DetailErrorBox", a, b, c);
}
int RecordingRenderWindow::SetSize(int a, int b) {
  return Note(1, "SetSize", a, b);
}
int RecordingRenderWindow::SetTitle(char* a) {
  return Note(1, "SetTitle", a);
}
int RecordingRenderWindow::SetBlobType(char* a) {
  return Note(1, "SetBlobType", a);
}
int RecordingRenderWindow::EndBlobReceive() {
  return Note(1, "EndBlobReceive");
}
int RecordingRenderWindow::Sleep(int a) {
  return Note(1, "Sleep", a);
}
int RecordingRenderWindow::StartBlobReceive(char* a) {
  return Note(1, "StartBlobReceive", a);
}
int RecordingRenderWindow::AddToReceivedBlob(char* a, int b) {
  return Note(1, "AddToReceivedBlob", a, b);
}
// The server may announce more values than it sends: the list ends at its null entry.
int RecordingRenderWindow::SetInclude(char* a, int count, char** values) {
  std::string list = "[";
  for (int i = 0; values != nullptr && i < count && values[i] != nullptr; ++i) {
    if (i > 0) list += '|';
    list += FormatArg(values[i]);
  }
  list += ']';
  return Note(1, "SetInclude", a, count, list.c_str());
}
int RecordingRenderWindow::SetComboGroup(const char* a, unsigned int b) {
  return Note(1, "SetComboGroup", a, b);
}
int RecordingRenderWindow::SetComboValue(const char* a, unsigned int b, const char* c) {
  return Note(1, "SetComboValue", a, b, c);
}
int RecordingRenderWindow::SetComboDepth(const char* a, unsigned int b) {
  return Note(1, "SetComboDepth", a, b);
}
int RecordingRenderWindow::EndAuthMenu() {
  return Note(1, "EndAuthMenu");
}
int RecordingRenderWindow::AddToAuthMenu(char* a, int b, int c) {
  return Note(1, "AddToAuthMenu", a, b, c);
}
int RecordingRenderWindow::NewAuthMenu(char* a, int b) {
  return Note(1, "NewAuthMenu", a, b);
}
int RecordingRenderWindow::DestroyScrollBar() {
  return Note(1, "DestroyScrollBar");
}
int RecordingRenderWindow::SetScrollBar(int a, int b, int c, int d, const char* e, int f, int g,
                                        int h) {
  return Note(1, "SetScrollBar", a, b, c, d, e, f, g, h);
}
int RecordingRenderWindow::CanDraw(char* a) {
  return Note(1, "CanDraw", a);
}
int RecordingRenderWindow::Bell() {
  return Note(1, "Bell");
}
int RecordingRenderWindow::DeleteItem(char* a) {
  return Note(1, "DeleteItem", a);
}
int RecordingRenderWindow::ItemSet(char* a, char* b) {
  return Note(1, "ItemSet", a, b);
}
int RecordingRenderWindow::ItemAppend(char* a, char* b) {
  return Note(0, "ItemAppend", a, b);
}
int RecordingRenderWindow::ItemConfigure(char* a, char* b, int c, int d, int e) {
  return Note(1, "ItemConfigure", a, b, c, d, e);
}
int RecordingRenderWindow::ItemFocus(char* a, int b) {
  return Note(1, "ItemFocus", a, b);
}
int RecordingRenderWindow::ItemState(char* a, int b) {
  return Note(1, "ItemState", a, b);
}
int RecordingRenderWindow::SetFieldAttribs(const char* a, int b) {
  return Note(1, "SetFieldAttribs", a, b);
}
int RecordingRenderWindow::ColumnState(const char* a, const char* b, int c, int d, int e) {
  return Note(0, "ColumnState", a, b, c, d, e);
}
int RecordingRenderWindow::HeaderConfigure(const char* a, const char* b, const char* c,
                                           const char* d, const char* e) {
  return Note(0, "HeaderConfigure", a, b, c, d, e);
}
int RecordingRenderWindow::RowDelete(const char* a, int b) {
  return Note(0, "RowDelete", a, b);
}
int RecordingRenderWindow::RowInsert(const char* a, int b) {
  return Note(0, "RowInsert", a, b);
}
int RecordingRenderWindow::ItemShow(char* a, int b) {
  return Note(1, "ItemShow", a, b);
}
int RecordingRenderWindow::SetStatusBar(const char* a, int b) {
  return Note(1, "SetStatusBar", a, b);
}
int RecordingRenderWindow::SetMessageLine(int a) {
  return Note(1, "SetMessageLine", a);
}
int RecordingRenderWindow::SetCommentLine(int a) {
  return Note(1, "SetCommentLine", a);
}
int RecordingRenderWindow::SetErrorLine(int a) {
  return Note(1, "SetErrorLine", a);
}
int RecordingRenderWindow::ClearEOL(int a, int b) {
  return Note(1, "ClearEOL", a, b);
}
int RecordingRenderWindow::Box(int a, int b, int c, int d, char* e) {
  return Note(1, "Box", a, b, c, d, e);
}
int RecordingRenderWindow::AddItem(int a, int b, int c, int d, char* e, char* f, char* g, int h,
                                   CWidgetInfo* description) {
  int result = Note(1, "AddItem", a, b, c, d, e, f, g, h, description);
  NyRenderWindow::AddItem(a, b, c, d, e, f, g, h, description);
  return result;
}
int RecordingRenderWindow::LineV(int a, int b, int c, char* d) {
  return Note(1, "LineV", a, b, c, d);
}
int RecordingRenderWindow::LineH(int a, int b, int c, char* d) {
  return Note(1, "LineH", a, b, c, d);
}
int RecordingRenderWindow::MenuCurrent(int a) {
  return Note(1, "MenuCurrent", a);
}
int RecordingRenderWindow::MenuAdd(char* a, int b, char* c) {
  return Note(1, "MenuAdd", a, b, c);
}
int RecordingRenderWindow::MenuDestroy() {
  return Note(1, "MenuDestroy");
}
int RecordingRenderWindow::MenuCreate(char* a, int b, int c) {
  return Note(1, "MenuCreate", a, b, c);
}
int RecordingRenderWindow::DoToolbar() {
  return Note(1, "DoToolbar");
}
int RecordingRenderWindow::SetFormName(char* a) {
  return Note(1, "SetFormName", a);
}
int RecordingRenderWindow::Clear() {
  return Note(1, "Clear");
}
int RecordingRenderWindow::ClearForm(int a, int b) {
  return Note(1, "ClearForm", a, b);
}
int RecordingRenderWindow::AddText(int a, int b, char* c, char* d, int e) {
  return Note(1, "AddText", a, b, c, d, e);
}
int RecordingRenderWindow::Array(char* a, int b, const char* c) {
  return Note(1, "Array", a, b, c);
}
int RecordingRenderWindow::Array(char* a, int b) {
  return Note(1, "Array", a, b);
}
int RecordingRenderWindow::RemoveArrayData() {
  return Note(1, "RemoveArrayData");
}
int RecordingRenderWindow::AddArrayData(char* a, char* b, char* c) {
  return Note(1, "AddArrayData", a, b, c);
}
bool RecordingRenderWindow::NeedArrayData() {
  return Note(1, "NeedArrayData") != 0;
}
bool RecordingRenderWindow::ClearAllArrayData() {
  return Note(1, "ClearAllArrayData") != 0;
}

}  // namespace nycl::recording
