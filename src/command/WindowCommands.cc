// Window, text, line, box and menu commands.
//
// The protocol sends the line before the column and the height before the width; the window
// operations take the column first and the width first, so the arguments are swapped on the
// way. None of these commands answers the server, and every Execute returns false.
//
// Guards: besides the checks each command is defined with, every command stops silently when
// it has no data state, when the data state's destruction has begun, or when there is no window
// to act on. A well-behaved server always makes a window current first, so these checks only
// keep a broken stream from reaching freed or absent objects.
#include <climits>
#include <cstring>

#include "command/CommandFamilies.h"
#include "nycl/state/NyDataStateHolder.h"
#include "state/WindowName.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdWindowOpen);
NYCL_COMMAND_CLASS(CmdWindowSelect);
NYCL_COMMAND_CLASS(CmdWindowClear);
NYCL_COMMAND_CLASS(CmdWindowClose);
NYCL_COMMAND_CLASS(CmdSetWindowTitle);
NYCL_COMMAND_CLASS(CmdSetTitle);
NYCL_COMMAND_CLASS(CmdSetWindowSize);
NYCL_COMMAND_CLASS(CmdSetSize);
NYCL_COMMAND_CLASS(CmdDisplayAt);
NYCL_COMMAND_CLASS(CmdLabel);
NYCL_COMMAND_CLASS(CmdLineH);
NYCL_COMMAND_CLASS(CmdLineV);
NYCL_COMMAND_CLASS(CmdBox);
NYCL_COMMAND_CLASS(CmdClearToEol);
NYCL_COMMAND_CLASS(CmdMenuCreateV);
NYCL_COMMAND_CLASS(CmdMenuDestroyV);
NYCL_COMMAND_CLASS(CmdMenuFieldCreateV);
NYCL_COMMAND_CLASS(CmdMenuFocusV);

// Opens a window unless one of that name exists in any data state on the holder's stack.
// "SCREEN" (in any case) is created anew every time.
bool CmdWindowOpen::Execute() {
  const char* name = GetArg(1);
  if (IsLive(dataState)) {
    bool screen = SameNameIgnoringCase(name, "SCREEN");
    if (screen || holder == nullptr || holder->FindRenderWindow(name) == nullptr) {
      dataState->CreateRenderWindow(name, IntArg(5), IntArg(4), IntArg(3), IntArg(2), GetArg(7),
                                    IntArg(6));
    }
  }
  delete this;
  return false;
}

bool CmdWindowSelect::Execute() {
  if (IsLive(dataState)) {
    UpperCaseInPlace(GetArg(1));
    if (NyRenderWindow* window = dataState->FindRenderWindow(GetArg(1))) {
      dataState->SetRenderWindow(window);
      if (NyRenderWindow* current = dataState->GetCurrentRenderWindow()) current->DoToolbar();
    }
  }
  delete this;
  return false;
}

// Clears the whole window, or the form from a line and column on, then drops its scroll bar
// and form.
bool CmdWindowClear::Execute() {
  if (IsLive(dataState)) {
    UpperCaseInPlace(GetArg(1));
    if (NyRenderWindow* window = dataState->FindRenderWindow(GetArg(1))) {
      if (HasArg(2)) {
        window->ClearForm(IntArg(2), IntArg(3));
      } else {
        window->Clear();
      }
      window->DestroyScrollBar();
      char noForm[] = "no-form";
      window->SetFormName(noForm);
      window->DoToolbar();
    }
  }
  delete this;
  return false;
}

bool CmdWindowClose::Execute() {
  if (IsLive(dataState)) {
    UpperCaseInPlace(GetArg(1));
    dataState->KillRenderWindow(GetArg(1));
  }
  delete this;
  return false;
}

bool CmdSetWindowTitle::Execute() {
  if (IsLive(dataState)) dataState->SetTitle(GetArg(2), GetArg(1));
  delete this;
  return false;
}

bool CmdSetTitle::Execute() {
  if (IsLive(dataState)) dataState->SetTitle(GetArg(1), GetArg(2));
  delete this;
  return false;
}

bool CmdSetWindowSize::Execute() {
  if (HasArg(3) && IsLive(dataState)) {
    if (NyRenderWindow* window = dataState->FindRenderWindow(GetArg(1))) {
      window->SetSize(IntArg(2), IntArg(3));
    }
  }
  delete this;
  return false;
}

bool CmdSetSize::Execute() {
  if (HasArg(2) && IsLive(dataState)) dataState->SetSize(IntArg(1), IntArg(2));
  delete this;
  return false;
}

// Writes a text at a line and column; each line feed continues the text at column 1 of the
// next line (past the largest line number, on that line). The pieces are cut in the
// command's own copy of the text.
bool CmdDisplayAt::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    int column = IntArg(2);
    int line = IntArg(1);
    char* piece = GetArg(3);
    char* attribute = GetArg(4);
    while (char* lineFeed = strchr(piece, '\n')) {
      *lineFeed = '\0';
      window->AddText(column, line, piece, attribute, 0);
      column = 1;
      if (line < INT_MAX) ++line;
      piece = lineFeed + 1;
    }
    window->AddText(column, line, piece, attribute, 0);
  }
  delete this;
  return false;
}

// A fifth argument may follow the attribute; the window is always given 0 there.
bool CmdLabel::Execute() {
  NyRenderWindow* window = CurrentWindowOf(dataState);
  if (window != nullptr && GetArg(3)[0] != '\0') {
    window->AddText(IntArg(2), IntArg(1), GetArg(3), GetArg(4), 0);
  }
  delete this;
  return false;
}

bool CmdLineH::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->LineH(IntArg(2), IntArg(1), IntArg(3), GetArg(4));
  }
  delete this;
  return false;
}

bool CmdLineV::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->LineV(IntArg(2), IntArg(1), IntArg(3), GetArg(4));
  }
  delete this;
  return false;
}

bool CmdBox::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    char style[] = "unknown";
    window->Box(IntArg(2), IntArg(1), IntArg(4), IntArg(3), style);
  }
  delete this;
  return false;
}

bool CmdClearToEol::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ClearEOL(IntArg(2), IntArg(1));
  delete this;
  return false;
}

bool CmdMenuCreateV::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->MenuCreate(GetArg(1), IntArg(2), IntArg(3));
  }
  delete this;
  return false;
}

bool CmdMenuDestroyV::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->MenuDestroy();
  delete this;
  return false;
}

bool CmdMenuFieldCreateV::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->MenuAdd(GetArg(1), IntArg(2), GetArg(3));
  }
  delete this;
  return false;
}

bool CmdMenuFocusV::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->MenuCurrent(IntArg(1));
  delete this;
  return false;
}

void RegisterWindowCommands() {
  RegisterCommand<CmdWindowOpen>("fgl_WindowOpen");
  RegisterCommand<CmdLabel>("fgl_Label");
  RegisterCommand<CmdWindowSelect>("fgl_WindowSelect");
  RegisterCommand<CmdWindowClear>("fgl_WindowClear");
  RegisterCommand<CmdDisplayAt>("fgl_DisplayAt");
  RegisterCommand<CmdMenuCreateV>("fgl_MenuCreateV");
  RegisterCommand<CmdMenuDestroyV>("fgl_MenuDestroyV");
  RegisterCommand<CmdMenuFieldCreateV>("fgl_MenuFieldCreateV");
  RegisterCommand<CmdMenuFocusV>("fgl_MenuFocusV");
  RegisterCommand<CmdLineH>("fgl_LineH");
  RegisterCommand<CmdLineV>("fgl_LineV");
  RegisterCommand<CmdBox>("fgl_Box");
  RegisterCommand<CmdClearToEol>("fgl_ClearToEol");
  RegisterCommand<CmdWindowClose>("fgl_WindowClose");
  RegisterCommand<CmdSetWindowTitle>("fgl_SetWindowTitle");
  RegisterCommand<CmdSetTitle>("fgl_SetTitle");
  RegisterCommand<CmdSetWindowSize>("fgl_SetWindowSize");
  RegisterCommand<CmdSetSize>("fgl_SetSize");
  RegisterFieldCommands();
}

}  // namespace nycl
