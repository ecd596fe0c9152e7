// Dialog commands: file dialog, button and question boxes, error box, prompts and the message
// box, the one command of the family that answers the server ("key %d").
//
// Every dialog command first sets the data state's dialogRequested flag for the host. A prompt
// or error box that arrives while the data state has no window is shown on a temporary window
// "ny__temp", which is looked up again, unregistered and destroyed as soon as the dialog
// returns.
//
// Guards: every command stops silently when it has no data state, when the data state's
// destruction has begun, or when there is no window to act on. A well-behaved server opens a
// window first, so these checks only keep a broken stream from reaching absent objects.
#include <cstdio>

#include "command/CommandFamilies.h"
#include "command/DialogFamily.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdFileDialog);
NYCL_COMMAND_CLASS(CmdWinButton);
NYCL_COMMAND_CLASS(CmdWinQuestion);
NYCL_COMMAND_CLASS(CmdDetailErrorBox);
NYCL_COMMAND_CLASS(CmdWinPrompt);
NYCL_COMMAND_CLASS(CmdWinPromptB);
NYCL_COMMAND_CLASS(CmdMessageBoxLine);
NYCL_COMMAND_CLASS(CmdMessageBox);

namespace {

constexpr char kTemporaryWindow[] = "ny__temp";

// Marks a dialog as requested and returns the data state when commands may act on it.
NyDataState* DialogState(NyDataState* state) {
  if (!IsLive(state)) return nullptr;
  state->dialogRequested = true;
  return state;
}

// Lends `state` a window for the length of one dialog when it has none. The temporary window
// becomes current while it lives; afterwards the data state is left without a current window
// again, as it was.
class TemporaryWindow {
 public:
  explicit TemporaryWindow(NyDataState* state) : state_(state) {
    if (state_->GetCurrentRenderWindow() == nullptr) {
      created_ = true;
      state_->CreateRenderWindow(kTemporaryWindow, 1, 2, 3, 4, "", 5);
    }
  }
  TemporaryWindow(const TemporaryWindow&) = delete;
  TemporaryWindow& operator=(const TemporaryWindow&) = delete;

  // Unregisters the temporary window, then destroys it: nobody else refers to it. The
  // unregistering is done here rather than left to the window's destructor, which reaches
  // only the data state the host bound the window to (none, for a window built without one).
  ~TemporaryWindow() {
    if (!created_) return;
    if (NyRenderWindow* window = state_->FindRenderWindow(kTemporaryWindow)) {
      state_->RemoveRenderWindow(window);
      delete window;
    }
  }

  bool created() const { return created_; }

 private:
  NyDataState* state_;
  bool created_ = false;
};

}  // namespace

int MessageBoxStyle(int buttons, int icon) {
  int style = kMbTopmost | kMbSetForeground;
  if (icon != 0) {
    switch (icon) {
      case 1:
        return style | kMbOk | kMbIconInformation;
      case 2:
        return style | kMbOk | kMbIconError;
      case 3:
        return style | kMbOk | kMbIconQuestion;
      default:
        return style | kMbOk | kMbIconWarning;
    }
  }
  if (buttons > 4) buttons = 0;
  // The low bits of the code decide, so negative codes map like the positive ones:
  // 3 (bits 0 and 1), 2 (bit 1), 1 (bit 0), 4 (bit 2), 0 (none).
  if ((buttons & 3) == 3) return style | kMbYesNoCancel | kMbIconQuestion;
  if ((buttons & 2) != 0) return style | kMbRetryCancel | kMbDefaultButton2 | kMbIconQuestion;
  if ((buttons & 1) != 0) return style | kMbOkCancel | kMbIconWarning;
  if ((buttons & 4) != 0) return style | kMbYesNo | kMbIconQuestion;
  return style | kMbOk | kMbIconWarning;
}

bool CmdFileDialog::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      window->FileDialog(GetArg(1), IntArg(2), GetArg(3), GetArg(4), GetArg(5), GetArg(6));
    }
  }
  delete this;
  return false;
}

bool CmdWinButton::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      window->WinButton(GetArg(1), GetArg(2), GetArg(3), GetArg(4), GetArg(5), IntArg(6));
    }
  }
  delete this;
  return false;
}

bool CmdWinQuestion::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      window->WinQuestion(GetArg(1), GetArg(2), GetArg(3), GetArg(4), GetArg(5), IntArg(6));
    }
  }
  delete this;
  return false;
}

bool CmdDetailErrorBox::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    TemporaryWindow temporary(state);
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      if (!temporary.created()) {
        char caller[] = "DetailErrorBox";
        window->CanDraw(caller);
      }
      window->DetailErrorBox(GetArg(1), GetArg(2), GetArg(3));
    }
  }
  delete this;
  return false;
}

bool CmdWinPrompt::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    TemporaryWindow temporary(state);
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      window->WinPrompt(IntArg(1), IntArg(2), GetArg(3), GetArg(4), IntArg(5), IntArg(6));
    }
  }
  delete this;
  return false;
}

// As "fgl_WinPrompt", but the window (the temporary one included) is told first that a
// message box is coming.
bool CmdWinPromptB::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    TemporaryWindow temporary(state);
    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      char caller[] = "MessageBox";
      window->CanDraw(caller);
      window->WinPromptB(IntArg(1), IntArg(2), GetArg(3), GetArg(4), IntArg(5), IntArg(6));
    }
  }
  delete this;
  return false;
}

bool CmdMessageBoxLine::Execute() {
  if (IsLive(dataState)) dataState->AddMessageBoxLine(GetArg(1));
  delete this;
  return false;
}

// Shows the lines gathered by "fgl_MessageBoxLine" under the title of argument 1 and answers
// "key <n>" with the host's result. Argument 2 is the button code, argument 3 (read only
// together with argument 2) the icon code.
bool CmdMessageBox::Execute() {
  if (NyDataState* state = DialogState(dataState)) {
    int buttons = HasArg(2) ? IntArg(2) : 0;
    int icon = HasArg(2) && HasArg(3) ? IntArg(3) : 0;
    int style = MessageBoxStyle(buttons, icon);

    // The host fills at most 4999 bytes and a terminator; the last byte is forced to NUL in
    // case it fills more than it was asked to.
    char text[kMessageBoxTextSize] = "";
    state->GetMessageBoxLine(text, kMessageBoxTextSize - 1);
    text[kMessageBoxTextSize - 1] = '\0';

    if (NyRenderWindow* window = state->GetCurrentRenderWindow()) {
      char caller[] = "MessageBox";
      window->CanDraw(caller);
    }
    int result = state->NyMessageBox(text, GetArg(1), style, 0);
    char reply[32];
    std::snprintf(reply, sizeof reply, "key %d", result);
    state->SendResponceString(reply);
  }
  delete this;
  return false;
}

void RegisterDialogCommands() {
  RegisterCommand<CmdFileDialog>("fgl_FileDialog");
  RegisterCommand<CmdWinButton>("fgl_WinButton");
  RegisterCommand<CmdWinQuestion>("fgl_WinQuestion");
  RegisterCommand<CmdDetailErrorBox>("fgl_DetailErrorBox");
  RegisterCommand<CmdWinPrompt>("fgl_WinPrompt");
  RegisterCommand<CmdWinPromptB>("fgl_WinPromptB");
  RegisterCommand<CmdMessageBoxLine>("fgl_MessageBoxLine");
  RegisterCommand<CmdMessageBox>("fgl_MessageBox");
  RegisterMessageCommands();
  RegisterReportCommands();
}

}  // namespace nycl
