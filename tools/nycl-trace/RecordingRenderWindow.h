// A render window that records every call the library makes on it into a sink, as
// "<window name>.<call>", e.g. "W1.AddText(10,5,abc,attr,0)"; its destruction records
// "<name>.~NyRenderWindow()". Each operation returns the library's default unless answers()
// holds a result for it. Widget descriptions handed over by AddItem are deleted.
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGRENDERWINDOW_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGRENDERWINDOW_H

#include <memory>
#include <string>

#include "RecordingAnswers.h"
#include "RecordingSink.h"
#include "nycl/state/NyRenderWindow.h"

namespace nycl::recording {

class RecordingDataState;

class RecordingRenderWindow : public NyRenderWindow {
 public:
  // Records into `sink` (borrowed, must outlive the window). `owner` (may be null) owns the
  // window until it is destroyed otherwise, and is told when it is.
  RecordingRenderWindow(const char* name, NyDataState* state, CallSink* sink,
                        RecordingDataState* owner);
  // Appends the records to `log` (borrowed, must outlive the window).
  RecordingRenderWindow(const char* name, NyDataState* state, CallLog* log,
                        RecordingDataState* owner);
  ~RecordingRenderWindow() override;

  Answers& answers() { return answers_; }
  std::string Name();

  int ListCreate(const char*, int, int, int, int) override;
  int ListDestroy(const char*) override;
  int ListExport(const char*, int, int, const char*, const char*, const char*) override;
  int FileDialog(char*, int, char*, char*, char*, char*) override;
  int ColumnCreate(const char*, const char*, int, int, int, const char*, const char*, int,
                   const char*) override;
  int ColumnConfigure(const char*, const char*, int, const char*, int, int) override;
  int ProgressCreate(const char*, const char*, int, int) override;
  int ProgressDestroy(const char*, const char*) override;
  int ProgressValue(const char*, const char*, int) override;
  int ColumnClear(const char*, const char*) override;
  int NewScreenSection(const char*) override;
  int WinPrompt(int, int, char*, char*, int, int) override;
  int WinPromptB(int, int, char*, char*, int, int) override;
  int WinButton(char*, char*, char*, char*, char*, int) override;
  int WinQuestion(char*, char*, char*, char*, char*, int) override;
  int DetailErrorBox(char*, char*, char*) override;
  int SetSize(int, int) override;
  int SetTitle(char*) override;
  int SetBlobType(char*) override;
  int EndBlobReceive() override;
  int Sleep(int) override;
  int StartBlobReceive(char*) override;
  int AddToReceivedBlob(char*, int) override;
  int SetInclude(char*, int, char**) override;
  int SetComboGroup(const char*, unsigned int) override;
  int SetComboValue(const char*, unsigned int, const char*) override;
  int SetComboDepth(const char*, unsigned int) override;
  int EndAuthMenu() override;
  int AddToAuthMenu(char*, int, int) override;
  int NewAuthMenu(char*, int) override;
  int DestroyScrollBar() override;
  int SetScrollBar(int, int, int, int, const char*, int, int, int) override;
  int CanDraw(char*) override;
  int Bell() override;
  int DeleteItem(char*) override;
  int ItemSet(char*, char*) override;
  int ItemAppend(char*, char*) override;
  int ItemConfigure(char*, char*, int, int, int) override;
  int ItemFocus(char*, int) override;
  int ItemState(char*, int) override;
  int SetFieldAttribs(const char*, int) override;
  int ColumnState(const char*, const char*, int, int, int) override;
  int HeaderConfigure(const char*, const char*, const char*, const char*, const char*) override;
  int RowDelete(const char*, int) override;
  int RowInsert(const char*, int) override;
  int ItemShow(char*, int) override;
  int SetStatusBar(const char*, int) override;
  int SetMessageLine(int) override;
  int SetCommentLine(int) override;
  int SetErrorLine(int) override;
  int ClearEOL(int, int) override;
  int Box(int, int, int, int, char*) override;
  int AddItem(int, int, int, int, char*, char*, char*, int, CWidgetInfo*) override;
  int LineV(int, int, int, char*) override;
  int LineH(int, int, int, char*) override;
  int MenuCurrent(int) override;
  int MenuAdd(char*, int, char*) override;
  int MenuDestroy() override;
  int MenuCreate(char*, int, int) override;
  int DoToolbar() override;
  int SetFormName(char*) override;
  int Clear() override;
  int ClearForm(int, int) override;
  int AddText(int, int, char*, char*, int) override;
  int Array(char*, int, const char*) override;
  int Array(char*, int) override;
  int RemoveArrayData() override;
  int AddArrayData(char*, char*, char*) override;
  bool NeedArrayData() override;
  bool ClearAllArrayData() override;

 private:
  template <class... Args>
  int Note(int fallback, const char* operation, const Args&... args);

  std::unique_ptr<CallSink> ownSink_;  // when recording into a log
  CallSink* sink_;
  RecordingDataState* owner_;
  Answers answers_;
};

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_RECORDINGRENDERWINDOW_H
