// TermState: nycl-term's data state. It keeps what the program shows outside its windows
// (the message, comment and error lines, the active function keys, reports), stacks the
// windows in the order the program raised them, composes the screen, and hands every wait
// and dialog to Dialogs. It also watches the session for the summary and for the host's own
// rules: a server whose certificate does not come from the trusted authority, and launches.
//
// The screen is kScreenWidth x kScreenLines cells for the program, and one more line at the
// bottom, the status line, for the host: the active function keys, or what became of the
// session.
//
// Threads: the command thread, like every data state. Borrows the front.
#ifndef NYCL_TERM_TERMSTATE_H
#define NYCL_TERM_TERMSTATE_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Grid.h"
#include "Launcher.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/state/NyCommonDataState.h"

namespace nycl_term {

class Activity;
class Dialogs;
class Front;
class TermWindow;

// A function key the program made active ("fgl_KeyEvent"), or a divider between groups.
struct FunctionKey {
  std::string name;  // as the program named it: "F5", "ESC", ...
  int number = 0;    // sent back as "key <number>"
  std::string label;
  bool enabled = true;
  bool divider = false;
};

// What the summary tells about a session.
struct SessionFacts {
  std::string server_version;
  bool tls_on = false;
  bool cert_valid = false;
  bool compression_on = false;
  std::vector<std::string> received;  // files sent into the cache
  std::vector<std::string> cached;    // files found in the cache already
  std::vector<std::string> reports;   // files the reports were saved in
  int waits = 0;
  int unknown_lines = 0;
  bool wait_cut_off = false;  // the connection ended while a dialog waited for the user
};

class TermState : public nycl::NyCommonDataState {
 public:
  static constexpr int kScreenWidth = 80;
  static constexpr int kScreenLines = 24;

  struct Settings {
    std::string application;  // the answer to "nyinetif:"
    bool stop_on_bad_cert = true;
    std::string reports_dir;  // where reports are saved ("" : not saved)
    FILE* log = nullptr;      // the library's log lines, or null
  };

  TermState(std::unique_ptr<nycl::CCorvathFileCache> cache, Front* front, Settings settings);
  ~TermState() override;

  // Called by the runner when the session must stop at once (the certificate check); set
  // before the session starts.
  void SetStopRequest(std::function<void()> stop) { stop_request_ = std::move(stop); }
  // Told when a dialog waits for the user (borrowed; may be null).
  void SetActivity(Activity* activity) { activity_ = activity; }

  // Windows.
  int CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                         int e) override;
  int SetRenderWindow(nycl::NyRenderWindow* window) override;
  int RemoveRenderWindow(nycl::NyRenderWindow* window) override;
  TermWindow* CurrentWindow();

  // Session.
  int GetConnectionStringApplicationName(char* buffer, int size) override;
  bool Nyinetif_Auth(int mode) override;
  int SendResponceString(char* line) override;
  int FileSend(char* name, char* tag) override;
  using NyCommonDataState::FileSend;
  bool is_ssl_running() override;
  int CompressSocket() override;
  int NewCompressSocket() override;
  int ErrorLog(char* tag, char* label, char* text) override;
  int Sleep(int milliseconds) override;
  int Flush() override;
  int RestartApp() override;
  int ExecuteProcess(char* command, char* mode) override;
  bool HaveShellExecute() override { return true; }
  int _ShellExecuteEx(const char* command, bool wait) override;

  // Lines outside the windows.
  int SetMessage(const char* text, int line, const char* attribute) override;
  int SetErrorMsg(const char* text, int line, const char* attribute) override;
  int SetComment(const char* text, int line) override;
  int WarningMessage(char* text) override;
  int ErrorMessage(char* text, int) override;
  int Display(char* text) override;

  // Function keys.
  int AddKeyEvent(const char* name, int number, const char* label, const char* description, bool,
                  bool enabled) override;
  int AddKeyEvent(const char*, int, const char*, const char*, bool) override { return 0; }
  int ClearKeyList() override;
  const std::vector<FunctionKey>& Keys() const { return keys_; }

  // Waits and dialogs.
  int WaitInput(int) override;
  int NyMessageBox(char* text, char* title, int style, int) override;
  int Prompt(int line, int column, const std::string& text, const std::string& value, int width,
             int hidden);
  int Buttons(const std::string& title, const std::string& text, const std::string& preset,
              const std::string& buttons);
  int FileDialog(const std::string& title, const std::string& preset);

  // Reports.
  int ReportCreate() override;
  int ReportLine(char* text) override;
  int ReportEndPage() override;
  int ReportEnd() override;

  // For the windows and the dialogs.
  void ShowError(const std::string& text) { error_ = text; }
  void ClearError() { error_.clear(); }
  void RingBell();
  void Pause(int milliseconds);
  void Refresh();
  // The whole screen: the windows bottom to top, the lines outside them, the status line.
  // `comment`, when not empty, takes the comment line (the focused field's comment).
  Grid Compose(const std::string& comment = "");
  std::string StatusLine() const;

  // For the runner.
  // A line from the server arrived: answers sent from now on are the program's business.
  void ServerLineArrived(const std::string& line);
  void UnknownLine() { ++facts_.unknown_lines; }
  // Stops answering the server: every later answer is dropped and waits return at once.
  void Halt(const std::string& why);
  bool Halted() const { return !halt_reason_.empty(); }
  const std::string& HaltReason() const { return halt_reason_; }
  // A file transfer was cut off: a file is half received or a script still has files to come.
  bool TransferInProgress() const;
  void SetNotice(const std::string& notice) { notice_ = notice; }
  const SessionFacts& Facts() const { return facts_; }

 private:
  friend class Dialogs;

  Front* front_;
  Settings settings_;
  std::unique_ptr<Dialogs> dialogs_;
  Launcher launcher_;
  std::function<void()> stop_request_;
  Activity* activity_ = nullptr;
  std::vector<TermWindow*> stack_;  // bottom to top
  std::vector<FunctionKey> keys_;
  std::string message_;
  uint8_t message_attributes_ = kNormal;
  std::string comment_;
  std::string error_;
  std::string notice_;
  std::vector<std::string> report_;
  int reports_ = 0;
  bool echo_answers_ = false;
  std::string echo_masked_;  // shown instead of the next answer (a hidden prompt's)
  std::string halt_reason_;
  std::string offered_file_;  // the file of the download being decided
  bool tls_checked_ = false;
  SessionFacts facts_;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_TERMSTATE_H
