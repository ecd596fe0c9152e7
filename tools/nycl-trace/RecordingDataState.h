// A data state that records every call the library makes on it, and the render windows it
// creates (RecordingRenderWindow), for hosts that only watch: tests and nycl-trace.
//
// Each call on the data state is passed to the sink as text, in order (see RecordingSink.h).
// Registry lookups (FindRenderWindow, GetCurrentRenderWindow, GetFirstRenderWindow) and the
// exit lock (LockExit, UnlockExit) go to CallSink::Lookup; answer lines sent through
// SendResponceString go to CallSink::Answer and are also kept in SentLines().
//
// Results: each operation returns the library's default unless answers() holds one for it
// (bools read nonzero as true). Operations that fill a buffer copy the text set with
// answers().SetText("Operation", text), bounded by the size they are given;
// GetMessageBoxLine without such a text hands back the lines gathered by AddMessageBoxLine
// since the last box. ReceiveXMLData returns the text set for it, else behaves as the base.
//
// Windows created through CreateRenderWindow or AddWindow record into the same sink and are
// owned by the data state: those still alive when it is destroyed are destroyed first.
// Not thread-safe: use it from the thread that runs the commands.
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGDATASTATE_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGDATASTATE_H

#include <memory>
#include <string>
#include <vector>

#include "RecordingAnswers.h"
#include "RecordingSink.h"
#include "nycl/state/NyDataState.h"

namespace nycl::recording {

class RecordingRenderWindow;

class RecordingDataState : public NyDataState {
 public:
  // Records into `sink` (borrowed, must outlive the data state and its windows).
  explicit RecordingDataState(CallSink* sink);
  // Appends the records to `log` (borrowed, must outlive the data state). When `destroyed` is
  // given, the destructor increments it.
  explicit RecordingDataState(CallLog* log, int* destroyed = nullptr);
  ~RecordingDataState() override;

  CallSink* sink() const { return sink_; }
  Answers& answers() { return answers_; }
  const std::vector<std::string>& SentLines() const { return sent_; }
  int LockCount() const { return exitLocks; }
  NyRenderWindow* CurrentWindowField() const { return currentWindow; }
  size_t WindowCount() const { return windows.size(); }
  void Record(const std::string& call) { sink_->Call(call); }

  // Creates a recording window registered with this data state (it becomes current), without
  // recording the registration.
  RecordingRenderWindow* AddWindow(const char* name);

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
  friend class RecordingRenderWindow;

  // Records the call; returns the result set for it, else `fallback`.
  template <class... Args>
  int Note(int fallback, const char* operation, const Args&... args);
  // Records a call naming a window.
  void NoteWindow(const char* operation, NyRenderWindow* window);
  // Copies the text set for `operation`, else `fallback`, into `buffer`: at most `room` bytes
  // and a terminator. With neither text the buffer is left untouched.
  void FillText(const char* operation, const std::string* fallback, char* buffer, int room);

  std::unique_ptr<CallSink> ownSink_;  // when recording into a log
  CallSink* sink_;
  int* destroyed_ = nullptr;
  Answers answers_;
  std::vector<std::string> sent_;
  std::string messageBox_;                     // lines gathered for the next message box
  std::vector<RecordingRenderWindow*> owned_;  // windows this data state created, still alive
};

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_RECORDINGDATASTATE_H
