// A test host that records every call the library makes on it.
//
// RecordingDataState and RecordingRenderWindow override every operation of the host
// interfaces. Each call is appended to one shared log, in order, as text:
//   data state:     "SetTitle(a,b)"
//   render window:  "W1.AddText(10,5,abc,attr,0)" (the window's name, a dot, the call)
// Lookups that only read the registry (FindRenderWindow, GetCurrentRenderWindow,
// GetFirstRenderWindow) and the exit lock (LockExit, UnlockExit) are not logged; use
// LockCount() for the latter. Every answer line sent through SendResponceString is also kept
// in Answers().
//
// Results: each operation returns the base default unless the test sets one with
// SetResult("Operation", value) (bools read nonzero as true). Operations that fill a buffer
// (GetConnectionStringApplicationName, GetMessageBoxLine) copy the text set with
// SetText("Operation", text), bounded by the size they are given; ReceiveXMLData returns the
// text set for it, else behaves as the base.
//
// Windows created through CreateRenderWindow are RecordingRenderWindows owned by the data
// state: those still alive when it is destroyed are destroyed first.
#ifndef NYCL_TESTS_SUPPORT_RECORDINGHOST_H
#define NYCL_TESTS_SUPPORT_RECORDINGHOST_H

#include <map>
#include <string>
#include <vector>

#include "nycl/command/NyCommand.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"

namespace nycl::test {

using CallLog = std::vector<std::string>;

// Results and buffer texts a test sets for named operations.
class Answers {
 public:
  void SetResult(const std::string& operation, int value) { results_[operation] = value; }
  void SetText(const std::string& operation, const std::string& text) { texts_[operation] = text; }
  int Result(const std::string& operation, int fallback) const;
  const std::string* Text(const std::string& operation) const;

 private:
  std::map<std::string, int> results_;
  std::map<std::string, std::string> texts_;
};

class RecordingRenderWindow;

class RecordingDataState : public NyDataState {
 public:
  // Calls are appended to `log` (borrowed, must outlive the data state). When `destroyed` is
  // given, the destructor increments it.
  explicit RecordingDataState(CallLog* log, int* destroyed = nullptr);
  ~RecordingDataState() override;

  const std::vector<std::string>& SentLines() const { return sent_; }
  Answers& answers() { return answers_; }
  int LockCount() const { return exitLocks; }
  NyRenderWindow* CurrentWindowField() const { return currentWindow; }
  size_t WindowCount() const { return windows.size(); }
  void Record(const std::string& call) { log_->push_back(call); }

  // Creates a recording window registered with this data state (it becomes current).
  RecordingRenderWindow* AddWindow(const char* name);

  bool Nyinetif_Auth(int mode) override;
  int GetProperty(const char* name) override;
  int SetProperty(const char* name, const char* value) override;
  bool AppendNysFile(char*) override;
  int SendXMLData(const char*, const char*) override;
  const char* ReceiveXMLData(const char*) override;
  int FileSend(char*, char*) override;
  int FileSend(char*, char*, char*, int) override;
  int GetNysProgDetails(char*) override;
  int RestartApp() override;
  int Flush() override;
  int SetSize(int, int) override;
  int SetTitle(char*, char*) override;
  void DeleteMe() override;
  int Sleep(int) override;
  int ErrorLog(char*, char*, char*) override;
  int FileRequest(char*) override;
  int FileSent(char*) override;
  int FileData(char*, char*) override;
  int ScriptFileSent(char*) override;
  int ScriptFileSend(char*) override;
  int InitRenderWindow(NyRenderWindow*) override;
  int RemoveRenderWindow(NyRenderWindow*) override;
  int AddRenderWindow(NyRenderWindow*) override;
  int SetStatusBar(const char*, int) override;
  int ScriptReceive(char*) override;
  int CreateRenderWindow(const char*, int, int, int, int, const char*, int) override;
  int RequestSSLHandshake() override;
  int CompressSocket() override;
  int NewCompressSocket() override;
  int GetConnectionStringApplicationName(char*, int) override;
  int SetConnectionStringApplicationName(const char*) override;
  int ScriptEnd() override;
  int BlobEnd() override;
  int BlobData(char*) override;
  int IncludeConvert(char*, char*, int) override;
  int StartNewSession(char*, char*, char*) override;
  int StartLoginRunner(char*, char*, char*, char*, char*) override;
  int FocusRenderWindow() override;
  int SendResponceString(char*) override;
  int NyMessageBox(char*, char*, int, int) override;
  int GetMessageBoxLine(char*, int) override;
  int AddMessageBoxLine(char*) override;
  int SetCase(_caseEnum) override;
  int SetCase(char*) override;
  int SetAnyKey(bool) override;
  int AddKeyEvent(const char*, int, const char*, const char*, bool, bool) override;
  int AddKeyEvent(const char*, int, const char*, const char*, bool) override;
  int AddKeyEvent(const char*, int, const char*, bool) override;
  int ClearKeyList() override;
  int Display(char*) override;
  int ReCompress() override;
  int NewReCompress() override;
  int ResumeSSLEncrypt() override;
  int PauseCompress() override;
  int NewPauseCompress() override;
  int EndApp() override;
  int AddLog(char*, int) override;
  int NewApp(char*) override;
  int ErrorMessage(char*, int) override;
  int SetDocType(char*, char*) override;
  int HelpEnd() override;
  int HelpLine(char*) override;
  int HelpCreate() override;
  int SetComment(const char*, int) override;
  int SetMessage(const char*, int, const char*) override;
  int SetErrorMsg(const char*, int, const char*) override;
  int ReportEnd() override;
  int ReportEndPage() override;
  int ReportPause() override;
  int ReportLine(char*) override;
  int ReportCreate() override;
  int WarningMessage(char*) override;
  int WaitInput(int) override;
  int KillRenderWindow(const char*) override;
  int ExecuteProcess(char*, char*) override;
  int SetRenderWindow(NyRenderWindow*) override;
  int RPC_connect(const char*, const char*, const char*) override;
  int RPC_close(const char*, const char*, const char*) override;
  int RPC_getvalue(const char*, const char*, const char*, const char*) override;
  int RPC_setvalue(const char*, const char*, const char*, const char*, const char*) override;
  int RPC_finishall(const char*) override;
  int RPC_execute(const char*, const char*, const char*, const char*) override;
  int KeyMapping(const char*, const char*) override;
  bool is_ssl_running() override;
  bool is_this_a_ssl_connection() override;
  bool HaveShellExecute() override;
  int _ShellExecuteEx(const char*, bool) override;
  void NewAuthMenu(char*, int) override;
  void AddToAuthMenu(char*, int, int) override;
  void EndAuthMenu() override;

 private:
  friend class RecordingRenderWindow;

  // Records the call; returns the result set for it, else `fallback`.
  template <class... Args>
  int Note(int fallback, const char* operation, Args... args);
  std::string WindowLabel(NyRenderWindow* window);

  CallLog* log_;
  int* destroyed_;
  Answers answers_;
  std::vector<std::string> sent_;
  std::vector<RecordingRenderWindow*> owned_;  // windows this data state created, still alive
};

class RecordingRenderWindow : public NyRenderWindow {
 public:
  // `owner` (may be null) is told when the window is destroyed.
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
  friend class RecordingDataState;

  template <class... Args>
  int Note(int fallback, const char* operation, Args... args);

  CallLog* log_;
  RecordingDataState* owner_;
  Answers answers_;
  std::vector<CWidgetInfo*> items_;  // descriptions handed over by AddItem, owned
};

// A holder with one recording data state on it, and verbs to run protocol lines.
class RecordingHost {
 public:
  RecordingHost();
  ~RecordingHost();
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Creates and executes `line`; returns Execute's result, false when no command was created.
  bool Run(const char* line);
  // Whether `line` creates a command (the command is deleted unexecuted).
  bool Creates(const char* line);

  // The calls logged so far, and a verb to forget them.
  const CallLog& Calls() const { return log_; }
  void ClearCalls() { log_.clear(); }
  // The answer lines sent so far.
  const std::vector<std::string>& Sent() const { return state_->SentLines(); }

  RecordingDataState& state() { return *state_; }
  NyDataStateHolder& holder() { return holder_; }
  // Opens a registered window named `name` (it becomes current) and forgets the calls.
  RecordingRenderWindow* OpenWindow(const char* name);
  // How many times the data state has been destroyed (it is destroyed by ~RecordingHost
  // unless a test made it delete itself).
  int Destroyed() const { return destroyed_; }

 private:
  CallLog log_;
  int destroyed_ = 0;
  NyDataStateHolder holder_;
  RecordingDataState* state_;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_SUPPORT_RECORDINGHOST_H
