#include "TermState.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "Dialogs.h"
#include "Front.h"
#include "TermWindow.h"

namespace nycl_term {

namespace {

// Screen lines (1-based) of the lines outside the windows, unless the program moves them.
constexpr int kMessageLine = 22;
constexpr int kCommentLine = 23;
constexpr int kErrorLine = 24;

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

// A text for one screen line: line feeds become blanks, surrounding blanks go.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

TermState::TermState(std::unique_ptr<nycl::CCorvathFileCache> cache, Front* front,
                     Settings settings)
    : NyCommonDataState(cache.release()),
      front_(front),
      settings_(std::move(settings)),
      dialogs_(std::make_unique<Dialogs>(this, front)) {
  // The windows find their resources under the application's name.
  applicationName = settings_.application.c_str();
}

TermState::~TermState() = default;

// Windows, kept in a stack: the window the program made current last is drawn on top.

int TermState::CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                                  int e) {
  return AddRenderWindow(new TermWindow(name, a, b, c, d, text, this, e));
}

int TermState::SetRenderWindow(nycl::NyRenderWindow* window) {
  const int found = NyCommonDataState::SetRenderWindow(window);
  if (found != 0) {
    auto* term = static_cast<TermWindow*>(window);
    stack_.erase(std::remove(stack_.begin(), stack_.end(), term), stack_.end());
    stack_.push_back(term);
  }
  return found;
}

int TermState::RemoveRenderWindow(nycl::NyRenderWindow* window) {
  stack_.erase(std::remove(stack_.begin(), stack_.end(), window), stack_.end());
  return NyCommonDataState::RemoveRenderWindow(window);
}

TermWindow* TermState::CurrentWindow() {
  return static_cast<TermWindow*>(GetCurrentRenderWindow());
}

// Session.

int TermState::GetConnectionStringApplicationName(char* buffer, int size) {
  std::snprintf(buffer, size, "%s", settings_.application.c_str());
  return 1;
}

// The login is the program's business (its own prompts, once TLS runs): the host declines
// the protocol's authentication dialog, so the library answers for it.
bool TermState::Nyinetif_Auth(int mode) {
  return mode == 2;
}

int TermState::SendResponceString(char* line) {
  if (Halted()) return 0;
  if (echo_answers_ && front_ != nullptr) {
    front_->Answered(echo_masked_.empty() ? Text(line) : echo_masked_);
  }
  echo_masked_.clear();
  const std::string answer = Text(line);
  if (answer == "fgl_fileincache") facts_.cached.push_back(offered_file_);
  if (answer == "fgl_needfileupdate") facts_.received.push_back(offered_file_);
  return NyCommonDataState::SendResponceString(line);
}

int TermState::FileSend(char* name, char* tag) {
  offered_file_ = Text(name);
  return NyCommonDataState::FileSend(name, tag);
}

// The first time TLS is seen running, its certificate decides whether the session goes on.
bool TermState::is_ssl_running() {
  const bool running = NyCommonDataState::is_ssl_running();
  if (running && !tls_checked_) {
    tls_checked_ = true;
    facts_.tls_on = true;
    facts_.cert_valid = is_cert_valid();
    if (!facts_.cert_valid && settings_.stop_on_bad_cert) {
      Halt(
          "the server's certificate does not come from the trusted authority: session stopped "
          "(--bad-cert continue goes on over the unverified link)");
    }
  }
  return running;
}

int TermState::CompressSocket() {
  facts_.compression_on = true;
  return NyCommonDataState::CompressSocket();
}

int TermState::NewCompressSocket() {
  facts_.compression_on = true;
  return NyCommonDataState::NewCompressSocket();
}

int TermState::ErrorLog(char* tag, char* label, char* text) {
  if (settings_.log != nullptr) {
    std::fprintf(settings_.log, "%s %s %s\n", Text(tag).c_str(), Text(label).c_str(),
                 Text(text).c_str());
    std::fflush(settings_.log);
  }
  return 0;
}

int TermState::Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return 0;
}

int TermState::Flush() {
  Refresh();
  return 1;
}

int TermState::RestartApp() {
  notice_ = "the server restarts the application";
  return 0;
}

int TermState::ExecuteProcess(char* command, char*) {
  launcher_.Reap();
  return launcher_.Launch(Text(command), false);
}

int TermState::_ShellExecuteEx(const char* command, bool wait) {
  launcher_.Reap();
  return launcher_.Launch(Text(command), wait);
}

// Lines outside the windows.

int TermState::SetMessage(const char* text, int, const char* attribute) {
  message_ = OneLine(Text(text));
  message_attributes_ = ParseAttributes(Text(attribute));
  return 1;
}

int TermState::SetErrorMsg(const char* text, int, const char*) {
  error_ = OneLine(Text(text));
  return 1;
}

int TermState::SetComment(const char* text, int) {
  comment_ = OneLine(Text(text));
  return 1;
}

int TermState::WarningMessage(char* text) {
  error_ = OneLine(Text(text));
  return 1;
}

int TermState::ErrorMessage(char* text, int) {
  error_ = "Error: " + OneLine(Text(text));
  return 1;
}

int TermState::Display(char* text) {
  message_ = OneLine(Text(text));
  message_attributes_ = kNormal;
  return 1;
}

// Function keys.

int TermState::AddKeyEvent(const char* name, int number, const char* label, const char*, bool,
                           bool enabled) {
  FunctionKey key;
  key.name = Text(name);
  key.number = number;
  key.label = Text(label);
  key.enabled = enabled;
  key.divider = key.name == "-";
  keys_.push_back(key);
  return 1;
}

int TermState::ClearKeyList() {
  keys_.clear();
  return 1;
}

// Waits and dialogs.

int TermState::WaitInput(int) {
  launcher_.Reap();
  dialogs_->Wait();
  return 1;
}

int TermState::NyMessageBox(char* text, char* title, int style, int) {
  return dialogs_->MessageBox(Text(text), Text(title), style);
}

int TermState::Prompt(int line, int column, const std::string& text, const std::string& value,
                      int width, int hidden) {
  dialogs_->Prompt(line, column, text, value, width, hidden != 0);
  return 1;
}

int TermState::Buttons(const std::string& title, const std::string& text, const std::string& preset,
                       const std::string& buttons) {
  dialogs_->Choice(title, text, preset, buttons);
  return 1;
}

int TermState::FileDialog(const std::string& title, const std::string& preset) {
  dialogs_->FileDialog(title, preset);
  return 1;
}

// Reports: kept while the program prints them, saved and shown when it ends one.

int TermState::ReportCreate() {
  report_.clear();
  return 1;
}

int TermState::ReportLine(char* text) {
  report_.push_back(Text(text));
  return 1;
}

int TermState::ReportEndPage() {
  report_.push_back("\f");
  return 1;
}

int TermState::ReportEnd() {
  std::string saved_to;
  if (!settings_.reports_dir.empty()) {
    // The next name not taken, so reports of earlier sessions stay.
    do {
      saved_to = settings_.reports_dir + "/report-" + std::to_string(++reports_) + ".txt";
    } while (::access(saved_to.c_str(), F_OK) == 0);
    std::ofstream out(saved_to);
    for (const std::string& line : report_) out << line << (line == "\f" ? "" : "\n");
    if (!out) saved_to.clear();
  }
  if (!saved_to.empty()) facts_.reports.push_back(saved_to);
  if (front_ != nullptr) front_->Report(report_, saved_to);
  report_.clear();
  return 1;
}

// For the windows and the dialogs.

void TermState::RingBell() {
  if (front_ != nullptr) front_->Bell();
}

void TermState::Pause(int milliseconds) {
  Refresh();
  Sleep(milliseconds);
}

void TermState::Refresh() {
  if (front_ != nullptr) front_->Refresh(Compose());
}

std::string TermState::StatusLine() const {
  if (!notice_.empty()) return notice_;
  // The enabled keys, in groups as the dividers part them; a group without one is left out.
  std::string line;
  std::string group;
  auto close_group = [&] {
    if (!group.empty()) line += (line.empty() ? "" : "  |  ") + group;
    group.clear();
  };
  for (const FunctionKey& key : keys_) {
    if (key.divider) {
      close_group();
    } else if (key.enabled) {
      group += (group.empty() ? "" : "  ") + key.name + (key.label.empty() ? "" : " " + key.label);
    }
  }
  close_group();
  return line;
}

Grid TermState::Compose(const std::string& comment) {
  Grid screen(kScreenWidth, kScreenLines + 1);
  for (TermWindow* window : stack_) window->Render(&screen);
  TermWindow* current = CurrentWindow();
  auto line_of = [&](int chosen, int fallback) {
    return std::clamp(chosen > 0 ? chosen : fallback, 1, kScreenLines) - 1;
  };
  auto put = [&](int row, const std::string& text, uint8_t attributes) {
    if (text.empty()) return;
    screen.Fill(0, row, kScreenWidth, 1);
    screen.Text(0, row, text, attributes);
  };
  put(line_of(current != nullptr ? current->MessageLine() : 0, kMessageLine), message_,
      message_attributes_);
  put(line_of(current != nullptr ? current->CommentLine() : 0, kCommentLine),
      comment.empty() ? comment_ : comment, kNormal);
  put(line_of(current != nullptr ? current->ErrorLine() : 0, kErrorLine), error_, kBold);
  const std::string status = StatusLine();
  screen.Text(0, kScreenLines, status + std::string(kScreenWidth, ' '), kReverse);
  return screen;
}

// For the runner.

void TermState::ServerLineArrived(const std::string& line) {
  echo_answers_ = false;
  if (line.rfind("fgl_ident ", 0) == 0) {
    const size_t start = line.find_first_not_of(' ', 9);
    const size_t end = line.find(' ', start);
    if (start != std::string::npos) facts_.server_version = line.substr(start, end - start);
  }
}

void TermState::Halt(const std::string& why) {
  if (Halted()) return;
  halt_reason_ = why;
  notice_ = why;
  if (stop_request_) stop_request_();
}

bool TermState::TransferInProgress() const {
  return writingFile != nullptr || fileRequestCount > 0;
}

}  // namespace nycl_term
