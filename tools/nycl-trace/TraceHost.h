// The printing host of nycl-trace: a data state and render windows that print every call
// they receive, one line each, and otherwise behave like the library's defaults.
//
// Format, on the output stream:
//   data state:     "   SetTitle(\"a\", \"b\")"
//   render window:  "   W1.AddText(10, 5, \"abc\", \"attr\", 0)"
//   answer lines:   "<< key 1"
// Texts are quoted with C escapes, so empty and blank arguments are visible. Registry lookups
// (FindRenderWindow, GetCurrentRenderWindow, GetFirstRenderWindow) and the exit lock are
// printed only in verbose mode.
//
// Beyond printing, the data state keeps the registry of windows, gathers message-box lines and
// hands them back to the message box; every other operation answers the library's default.
#ifndef NYCL_TOOLS_NYCL_TRACE_TRACEHOST_H
#define NYCL_TOOLS_NYCL_TRACE_TRACEHOST_H

#include <cstdio>
#include <string>
#include <vector>

#include "nycl/state/NyDataState.h"
#include "nycl/state/NyRenderWindow.h"

namespace nycl::trace {

// Where the trace goes and how much of it.
struct TraceOutput {
  FILE* stream;
  bool verbose;
  void Line(const std::string& text) const;
};

class TraceRenderWindow;

class TraceDataState : public NyDataState {
 public:
  explicit TraceDataState(const TraceOutput* out);
  // Destroys the windows it created that are still alive (registered or not).
  ~TraceDataState() override;

  NyRenderWindow* FindRenderWindow(const char* name) override;
  NyRenderWindow* GetCurrentRenderWindow() override;
  NyRenderWindow* GetFirstRenderWindow() override;
  void LockExit() override;
  void UnlockExit() override;
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
  friend class TraceRenderWindow;

  template <class... Args>
  int Print(int result, const char* operation, Args... args);

  const TraceOutput* out_;
  std::string messageBox_;                   // lines gathered for the next message box
  std::vector<TraceRenderWindow*> created_;  // windows this data state made, still alive
};

class TraceRenderWindow : public NyRenderWindow {
 public:
  TraceRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                    TraceDataState* state, int e);
  ~TraceRenderWindow() override;

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
  int Print(int result, const char* operation, Args... args);
  std::string Label();

  const TraceOutput* out_;
  TraceDataState* creator_;
};

}  // namespace nycl::trace

#endif  // NYCL_TOOLS_NYCL_TRACE_TRACEHOST_H
