// List, column, row, header, progress-bar, entry-field, form and scroll-bar commands, all on
// the data state's current window. Arguments arrive line before column and height before
// width; the window operations take them the other way round. None of these commands answers
// the server, and every Execute returns false.
//
// Guards: every command stops silently when it has no data state, when the data state's
// destruction has begun, or when there is no current window (see WindowCommands.cc).
#include "command/CommandFamilies.h"
#include "nycl/widgets/CWidgetInfo.h"
#include "state/WindowName.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdListCreate);
NYCL_COMMAND_CLASS(CmdListDestroy);
NYCL_COMMAND_CLASS(CmdListExport);
NYCL_COMMAND_CLASS(CmdColumnCreate);
NYCL_COMMAND_CLASS(CmdColumnClear);
NYCL_COMMAND_CLASS(CmdColumnState);
NYCL_COMMAND_CLASS(CmdColumnConfigure);
NYCL_COMMAND_CLASS(Cmdfgl_HeaderConfigure);
NYCL_COMMAND_CLASS(CmdRowDelete);
NYCL_COMMAND_CLASS(CmdRowInsert);
NYCL_COMMAND_CLASS(CmdProgressCreate);
NYCL_COMMAND_CLASS(fgl_ProgressDestroy);
NYCL_COMMAND_CLASS(CmdProgressValue);
NYCL_COMMAND_CLASS(CmdEntryCreate);
NYCL_COMMAND_CLASS(CmdEntryState);
NYCL_COMMAND_CLASS(CmdEntryFocus);
NYCL_COMMAND_CLASS(CmdEntryConfigure);
NYCL_COMMAND_CLASS(CmdEntryAppend);
NYCL_COMMAND_CLASS(CmdEntrySet);
NYCL_COMMAND_CLASS(CmdEntryDestroy);
NYCL_COMMAND_CLASS(CmdFieldState);
NYCL_COMMAND_CLASS(CmdFormName);
NYCL_COMMAND_CLASS(CmdScrollBar);
NYCL_COMMAND_CLASS(CmdScrollDelete);

bool CmdListCreate::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ListCreate(GetArg(1), IntArg(2), IntArg(3), IntArg(4), IntArg(5));
  }
  delete this;
  return false;
}

bool CmdListDestroy::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ListDestroy(GetArg(1));
  delete this;
  return false;
}

bool CmdListExport::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ListExport(GetArg(1), IntArg(2), IntArg(3), GetArg(4), GetArg(5), GetArg(6));
  }
  delete this;
  return false;
}

// Arguments 3 and 9 to 12 are sent by the server but not used.
bool CmdColumnCreate::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    UpperCaseInPlace(GetArg(2));
    int c = HasArg(14) ? IntArg(14) : 0;
    window->ColumnCreate(GetArg(1), GetArg(2), IntArg(4), IntArg(5), IntArg(6), GetArg(7),
                         GetArg(8), c, GetArg(13));
  }
  delete this;
  return false;
}

bool CmdColumnClear::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ColumnClear(GetArg(1), GetArg(2));
  }
  delete this;
  return false;
}

// Argument 4 is not used.
bool CmdColumnState::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ColumnState(GetArg(1), GetArg(2), IntArg(3), IntArg(5), IntArg(6));
  }
  delete this;
  return false;
}

// Argument 6 is not used.
bool CmdColumnConfigure::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ColumnConfigure(GetArg(1), GetArg(2), IntArg(3), GetArg(4), IntArg(5), IntArg(7));
  }
  delete this;
  return false;
}

bool Cmdfgl_HeaderConfigure::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->HeaderConfigure(GetArg(1), GetArg(2), GetArg(3), GetArg(4), GetArg(5));
  }
  delete this;
  return false;
}

bool CmdRowDelete::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->RowDelete(GetArg(1), IntArg(2));
  delete this;
  return false;
}

bool CmdRowInsert::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->RowInsert(GetArg(1), IntArg(2));
  delete this;
  return false;
}

bool CmdProgressCreate::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ProgressCreate(GetArg(1), GetArg(2), IntArg(3), IntArg(4));
  }
  delete this;
  return false;
}

bool fgl_ProgressDestroy::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ProgressDestroy(GetArg(1), GetArg(2));
  }
  delete this;
  return false;
}

bool CmdProgressValue::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ProgressValue(GetArg(1), GetArg(2), IntArg(3));
  }
  delete this;
  return false;
}

// Creates an entry field. Arguments 2 and 9 are not used. A height that is absent or 0 reads
// as 1 line. A line of at least ten arguments carrying a type word (argument 8) describes a
// widget; the description passes to the window with the call.
bool CmdEntryCreate::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    int height = HasArg(14) ? IntArg(14) : 0;
    if (height == 0) height = 1;
    int extra = HasArg(13) ? IntArg(13) : 0;
    CWidgetInfo* description = nullptr;
    if (HasArg(8) && argc > 10) {
      description = new CWidgetInfo(GetArg(8), GetArg(10), GetArg(12), GetArg(11));
    }
    window->AddItem(IntArg(4), IntArg(3), IntArg(5), height, GetArg(6), GetArg(1), GetArg(7), extra,
                    description);
  }
  delete this;
  return false;
}

bool CmdEntryState::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemState(GetArg(1), IntArg(2));
  delete this;
  return false;
}

bool CmdEntryFocus::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemFocus(GetArg(1), IntArg(2));
  delete this;
  return false;
}

// Argument 5 is not used.
bool CmdEntryConfigure::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->ItemConfigure(GetArg(1), GetArg(3), IntArg(2), IntArg(4), IntArg(6));
  }
  delete this;
  return false;
}

bool CmdEntryAppend::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemAppend(GetArg(1), GetArg(2));
  delete this;
  return false;
}

bool CmdEntrySet::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemSet(GetArg(1), GetArg(2));
  delete this;
  return false;
}

bool CmdEntryDestroy::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->DeleteItem(GetArg(1));
  delete this;
  return false;
}

// Sets a field's state, then whether it is shown; absent values read as 0. The current window
// is fetched again between the two calls, since the host may change it in the first.
bool CmdFieldState::Execute() {
  int state = HasArg(3) ? IntArg(3) : 0;
  int shown = HasArg(2) ? IntArg(2) : 0;
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemState(GetArg(1), state);
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->ItemShow(GetArg(1), shown);
  delete this;
  return false;
}

bool CmdFormName::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->SetFormName(GetArg(1));
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->DoToolbar();
  delete this;
  return false;
}

bool CmdScrollBar::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) {
    window->SetScrollBar(IntArg(1), IntArg(2), IntArg(3), IntArg(4), GetArg(5), IntArg(6),
                         IntArg(7), IntArg(8));
  }
  delete this;
  return false;
}

bool CmdScrollDelete::Execute() {
  if (NyRenderWindow* window = CurrentWindowOf(dataState)) window->DestroyScrollBar();
  delete this;
  return false;
}

void RegisterFieldCommands() {
  RegisterCommand<CmdListCreate>("fgl_ListCreate");
  RegisterCommand<CmdListDestroy>("fgl_ListDestroy");
  RegisterCommand<CmdListExport>("fgl_ListExport");
  RegisterCommand<CmdColumnCreate>("fgl_ColumnCreate");
  RegisterCommand<CmdColumnClear>("fgl_ColumnClear");
  RegisterCommand<CmdProgressCreate>("fgl_ProgressCreate");
  RegisterCommand<fgl_ProgressDestroy>("fgl_ProgressDestroy");
  RegisterCommand<CmdProgressValue>("ProgressValue ");
  RegisterCommand<CmdEntryCreate>("fgl_EntryCreate");
  RegisterCommand<CmdEntryState>("fgl_EntryState");
  RegisterCommand<CmdColumnState>("fgl_ColumnState");
  RegisterCommand<CmdColumnConfigure>("fgl_ColumnConfigure");
  RegisterCommand<Cmdfgl_HeaderConfigure>("fgl_HeaderConfigure");
  RegisterCommand<CmdRowDelete>("fgl_RowDelete");
  RegisterCommand<CmdRowInsert>("fgl_RowInsert");
  RegisterCommand<CmdEntryFocus>("fgl_EntryFocus");
  RegisterCommand<CmdEntryConfigure>("fgl_EntryConfigure");
  RegisterCommand<CmdEntryAppend>("fgl_EntryAppend");
  RegisterCommand<CmdEntrySet>("fgl_EntrySet");
  RegisterCommand<CmdEntryDestroy>("fgl_EntryDestroy");
  RegisterCommand<CmdFieldState>("fgl_SetFieldState");
  RegisterCommand<CmdFormName>("fgl_FormName");
  RegisterCommand<CmdScrollBar>("fgl_ScrollBar");
  RegisterCommand<CmdScrollDelete>("fgl_ScrollDelete");
}

}  // namespace nycl
