// Message, comment and error lines, the key list and input case, the bell, waits, the flush
// and the server's warnings.
//
// "fgl_Wait" is the one command of the interpreter besides "fgl_ident" whose Execute returns
// true (the host waits for input after it); all others return false. None of these commands
// answers the server.
//
// Guards: every command stops silently when it has no data state, when the data state's
// destruction has begun, or when there is no window to act on.
#include <climits>
#include <cstring>

#include "command/CommandFamilies.h"
#include "command/DialogFamily.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdMessage);
NYCL_COMMAND_CLASS(CmdCommentLine);
NYCL_COMMAND_CLASS(CmdErrorLine);
NYCL_COMMAND_CLASS(CmdCommand);
NYCL_COMMAND_CLASS(CmdDisplay);
NYCL_COMMAND_CLASS(CmdWarning);
NYCL_COMMAND_CLASS(CmdKeyEvent);
NYCL_COMMAND_CLASS(Cmdfgl_KeyDivider);
NYCL_COMMAND_CLASS(Cmdfgl_ClearKeyList);
NYCL_COMMAND_CLASS(CmdInputCase);
NYCL_COMMAND_CLASS(CmdReturnAnyKey);
NYCL_COMMAND_CLASS(CmdBell);
NYCL_COMMAND_CLASS(CmdWait);
NYCL_COMMAND_CLASS(CmdFlush);
NYCL_COMMAND_CLASS(CmdSleep);

namespace {

// Composition buffer of a warning, terminator included; longer warnings are cut to fit.
constexpr size_t kWarningSize = 8000;

// Appends to a NUL-terminated text in a fixed buffer, dropping what does not fit.
class BoundedText {
 public:
  BoundedText(char* buffer, size_t size) : buffer_(buffer), size_(size) { buffer_[0] = '\0'; }
  void Append(const char* piece) {
    size_t room = size_ - 1 - used_;
    size_t length = strnlen(piece, room);
    std::memcpy(buffer_ + used_, piece, length);
    used_ += length;
    buffer_[used_] = '\0';
  }

 private:
  char* buffer_;
  size_t size_;
  size_t used_ = 0;
};

// Seconds from the server as the milliseconds the sleep operations take, saturated at the
// range of int.
int Milliseconds(int seconds) {
  long long ms = static_cast<long long>(seconds) * 1000;
  if (ms > INT_MAX) return INT_MAX;
  if (ms < INT_MIN) return INT_MIN;
  return static_cast<int>(ms);
}

}  // namespace

// Argument 1 is the message line number; a negative number marks an error message. A
// non-negative number with no text only moves the message line.
bool CmdMessage::Execute() {
  if (IsLive(dataState)) {
    int line = IntArg(1);
    if (NyRenderWindow* window = dataState->GetCurrentRenderWindow()) window->SetMessageLine(line);
    if (line < 0) {
      dataState->SetErrorMsg(GetArg(2), line, GetArg(3));
    } else if (HasArg(2)) {
      dataState->SetMessage(GetArg(2), line, GetArg(3));
    }
  }
  delete this;
  return false;
}

// Only a window with a name gets a comment line.
bool CmdCommentLine::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    char name[512];
    if (window->getWindowName(name, sizeof name - 1) != 0) window->SetCommentLine(IntArg(1));
  }
  delete this;
  return false;
}

bool CmdErrorLine::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->SetErrorLine(IntArg(1));
  delete this;
  return false;
}

// "fgl_Comment <line> <text>".
bool CmdCommand::Execute() {
  if (IsLive(dataState)) dataState->SetComment(GetArg(2), IntArg(1));
  delete this;
  return false;
}

bool CmdDisplay::Execute() {
  if (IsLive(dataState)) {
    dataState->AddLog(GetArg(1), 1);
    dataState->Display(GetArg(1));
  }
  delete this;
  return false;
}

// The whole line, keyword included, each word followed by a blank, after a fixed heading.
bool CmdWarning::Execute() {
  if (IsLive(dataState)) {
    char buffer[kWarningSize];
    BoundedText text(buffer, sizeof buffer);
    text.Append("Program Recieved Warning from Remote:\n");
    for (int i = 0; i < argc; ++i) {
      text.Append(GetArg(i));
      text.Append(" ");
    }
    dataState->WarningMessage(buffer);
  }
  delete this;
  return false;
}

// "fgl_KeyEvent <key> <number> [<text> [<text> [<state>]]]": with all five arguments the key is
// added in one call, disabled exactly when the state reads "DISABLED". With fewer, the host may
// take the short form; when it does not (0), the full form follows with the key enabled.
bool CmdKeyEvent::Execute() {
  if (IsLive(dataState)) {
    if (HasArg(5)) {
      bool enabled = std::strcmp(GetArg(5), "DISABLED") != 0;
      dataState->AddKeyEvent(GetArg(1), IntArg(2), GetArg(3), GetArg(4), false, enabled);
    } else {
      // GetArg gives the empty text for the absent ones.
      if (dataState->AddKeyEvent(GetArg(1), IntArg(2), GetArg(3), GetArg(4), false) == 0) {
        dataState->AddKeyEvent(GetArg(1), IntArg(2), GetArg(3), GetArg(4), false, true);
      }
    }
    dataState->SetAnyKey(false);
  }
  delete this;
  return false;
}

bool Cmdfgl_KeyDivider::Execute() {
  if (IsLive(dataState)) dataState->AddKeyEvent("-", 0, "-", nullptr, false, true);
  delete this;
  return false;
}

bool Cmdfgl_ClearKeyList::Execute() {
  if (IsLive(dataState)) dataState->ClearKeyList();
  delete this;
  return false;
}

bool CmdInputCase::Execute() {
  if (IsLive(dataState)) dataState->SetCase(GetArg(1));
  delete this;
  return false;
}

bool CmdReturnAnyKey::Execute() {
  if (IsLive(dataState)) dataState->SetAnyKey(true);
  delete this;
  return false;
}

bool CmdBell::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->Bell();
  delete this;
  return false;
}

// "fgl_Wait [<n>]": brings the window to the front (unless n is nonzero) and waits for input.
// Returns true on every path, also when the data state is gone.
bool CmdWait::Execute() {
  if (IsLive(dataState)) {
    if (dataState->GetCurrentRenderWindow() != nullptr) {
      if (!HasArg(1) || IntArg(1) == 0) dataState->FocusRenderWindow();
      // Fetched again: the host may have changed windows while focusing.
      if (NyRenderWindow* window = dataState->GetCurrentRenderWindow()) {
        char caller[] = "Wait";
        window->CanDraw(caller);
      }
    }
    dataState->WaitInput(HasArg(1) ? IntArg(1) : 0);
  }
  delete this;
  return true;
}

bool CmdFlush::Execute() {
  if (IsLive(dataState)) {
    if (NyRenderWindow* window = dataState->GetCurrentRenderWindow()) {
      char caller[] = "Flush";
      window->CanDraw(caller);
    }
    dataState->Flush();
  }
  delete this;
  return false;
}

// "fgl_Sleep <seconds>": the window sleeps when there is one, else the data state.
bool CmdSleep::Execute() {
  if (IsLive(dataState)) {
    int ms = Milliseconds(IntArg(1));
    if (NyRenderWindow* window = dataState->GetCurrentRenderWindow()) {
      char caller[] = "sleep";
      window->CanDraw(caller);
      dataState->FocusRenderWindow();
      if (NyRenderWindow* current = dataState->GetCurrentRenderWindow()) current->Sleep(ms);
    } else {
      dataState->Sleep(ms);
    }
  }
  delete this;
  return false;
}

void RegisterMessageCommands() {
  RegisterCommand<CmdMessage>("fgl_Message");
  RegisterCommand<CmdCommentLine>("fgl_CommentLine");
  RegisterCommand<CmdErrorLine>("fgl_ErrorLine");
  RegisterCommand<CmdCommand>("fgl_Comment");
  RegisterCommand<CmdDisplay>("fgl_Display");
  RegisterCommand<CmdWarning>("Warning:");
  RegisterCommand<CmdKeyEvent>("fgl_KeyEvent");
  RegisterCommand<Cmdfgl_KeyDivider>("fgl_KeyDivider");
  RegisterCommand<Cmdfgl_ClearKeyList>("fgl_ClearKeyList");
  RegisterCommand<CmdInputCase>("fgl_InputCase");
  RegisterCommand<CmdReturnAnyKey>("fgl_ReturnAnyKey");
  RegisterCommand<CmdBell>("fgl_Bell");
  RegisterCommand<CmdWait>("fgl_Wait");
  RegisterCommand<CmdFlush>("fgl_Flush");
  RegisterCommand<CmdSleep>("fgl_Sleep");
}

}  // namespace nycl
