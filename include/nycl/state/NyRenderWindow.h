// NyRenderWindow: one screen window of the 4GL program, as the host draws it.
//
// The window commands find a window through the data state's registry (NyDataState) and call
// one of the virtual operations below. Every operation of the base is a stub returning a fixed
// value; the host derives its own window class and overrides what it draws. The virtual
// operations are declared in their slot order, which hosts depend on: do not reorder them.
//
// Coordinates and sizes reach these operations column before line and width before height.
//
// Threads: used only on the host's command thread. The window does not own its data state.
#ifndef NYCL_STATE_NYRENDERWINDOW_H
#define NYCL_STATE_NYRENDERWINDOW_H

namespace nycl {

class CWidgetInfo;
class NyDataState;

class NyRenderWindow {
 public:
  // Stores `dataState` (borrowed) and an upper-cased copy of `name` (none when `name` is null).
  // The integers and `text` are for derived classes; the base keeps none of them. The window is
  // not registered here: NyDataState::AddRenderWindow does that.
  NyRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                 NyDataState* dataState, int e);
  // No name and no data state.
  NyRenderWindow();
  // A copy shares the data state and holds its own copy of the name.
  NyRenderWindow(const NyRenderWindow& other);
  NyRenderWindow& operator=(const NyRenderWindow& other);

  // Replaces the borrowed data state (the one the window unregisters from when destroyed).
  void SetDataState(NyDataState* state) { dataState = state; }

  // A printf-style trace hook for hosts; the library never calls it and it prints nothing.
  static void LogSomething(const char* format, ...);

  virtual int ListCreate(const char* list, int, int, int, int);                 // slot 0
  virtual int ListDestroy(const char* list);                                    // 1
  virtual int ListExport(const char* list, int, int, const char*, const char*,  //
                         const char*);                                          // 2
  virtual int FileDialog(char*, int, char*, char*, char*, char*);               // 3
  virtual int ColumnCreate(const char*, const char*, int, int, int, const char*, const char*, int,
                           const char*);                                              // 4
  virtual int ColumnConfigure(const char*, const char*, int, const char*, int, int);  // 5
  virtual int ProgressCreate(const char*, const char*, int, int);                     // 6
  virtual int ProgressDestroy(const char*, const char*);                              // 7
  virtual int ProgressValue(const char*, const char*, int);                           // 8
  virtual int ColumnClear(const char*, const char*);                                  // 9
  virtual int NewScreenSection(const char*);                                          // 10
  virtual int WinPrompt(int, int, char*, char*, int, int);                            // 11
  virtual int WinPromptB(int, int, char*, char*, int, int);                           // 12
  virtual int WinButton(char*, char*, char*, char*, char*, int);                      // 13
  virtual int WinQuestion(char*, char*, char*, char*, char*, int);                    // 14
  virtual int DetailErrorBox(char*, char*, char*);                                    // 15
  virtual int SetSize(int width, int height);                                         // 16
  virtual int SetTitle(char*);                                                        // 17
  virtual int SetBlobType(char*);                                                     // 18
  // Copies the name into `buffer`, which must hold size + 1 bytes: a name of `size` or more
  // characters comes back as its first `size` characters, always terminated. Returns 1, or 0
  // (with an empty text) when the window has no name.
  virtual int getWindowName(char* buffer, int size);                         // 19
  virtual int EndBlobReceive();                                              // 20
  virtual int Sleep(int);                                                    // 21
  virtual int StartBlobReceive(char*);                                       // 22
  virtual int AddToReceivedBlob(char*, int);                                 // 23
  virtual int SetInclude(char*, int, char**);                                // 24
  virtual int SetComboGroup(const char*, unsigned int);                      // 25
  virtual int SetComboValue(const char*, unsigned int, const char*);         // 26
  virtual int SetComboDepth(const char*, unsigned int);                      // 27
  virtual int EndAuthMenu();                                                 // 28
  virtual int AddToAuthMenu(char*, int, int);                                // 29
  virtual int NewAuthMenu(char*, int);                                       // 30
  virtual int DestroyScrollBar();                                            // 31
  virtual int SetScrollBar(int, int, int, int, const char*, int, int, int);  // 32
  // `caller` names the command that asks ("Wait", "Flush", "sleep", ...).
  virtual int CanDraw(char* caller);                                 // 33
  virtual int Bell();                                                // 34
  virtual int DeleteItem(char*);                                     // 35
  virtual int ItemSet(char*, char*);                                 // 36
  virtual int ItemAppend(char*, char*);                              // 37
  virtual int ItemConfigure(char*, char*, int, int, int);            // 38
  virtual int ItemFocus(char*, int);                                 // 39
  virtual int ItemState(char*, int);                                 // 40
  virtual int SetFieldAttribs(const char*, int);                     // 41
  virtual int ColumnState(const char*, const char*, int, int, int);  // 42
  virtual int HeaderConfigure(const char*, const char*, const char*, const char*,
                              const char*);                             // 43
  virtual int RowDelete(const char*, int);                              // 44
  virtual int RowInsert(const char*, int);                              // 45
  virtual int ItemShow(char*, int);                                     // 46
  virtual int SetStatusBar(const char*, int);                           // 47
  virtual int SetMessageLine(int);                                      // 48
  virtual int SetCommentLine(int);                                      // 49
  virtual int SetErrorLine(int);                                        // 50
  virtual int ClearEOL(int column, int line);                           // 51
  virtual int Box(int column, int line, int width, int height, char*);  // 52
  // The window takes ownership of `description` (may be null). The base keeps nothing and
  // deletes it.
  virtual int AddItem(int x, int y, int width, int height, char*, char*, char*, int extra,
                      CWidgetInfo* description);                                // 53
  virtual int LineV(int column, int line, int length, char*);                   // 54
  virtual int LineH(int column, int line, int length, char*);                   // 55
  virtual int MenuCurrent(int);                                                 // 56
  virtual int MenuAdd(char*, int, char*);                                       // 57
  virtual int MenuDestroy();                                                    // 58
  virtual int MenuCreate(char*, int, int);                                      // 59
  virtual int DoToolbar();                                                      // 60
  virtual int SetFormName(char*);                                               // 61
  virtual int Clear();                                                          // 62
  virtual int ClearForm(int, int);                                              // 63
  virtual int AddText(int column, int line, char* text, char* attribute, int);  // 64
  virtual int Array(char*, int, const char*);                                   // 65
  virtual int Array(char*, int);                                                // 66
  virtual int RemoveArrayData();                                                // 67
  virtual int AddArrayData(char*, char*, char*);                                // 68
  virtual bool NeedArrayData();                                                 // 69
  virtual bool ClearAllArrayData();                                             // 70
  // Unregisters the window from its data state (NyDataState::RemoveRenderWindow), which
  // clears the data state's current window if it was this one. The data state must still be
  // alive, or must have detached its windows when it was destroyed.
  virtual ~NyRenderWindow();  // 71

 protected:
  NyDataState* dataState;  // borrowed; null when detached
  char* name;              // upper-cased, owned; null when the window has no name
};

}  // namespace nycl

#endif  // NYCL_STATE_NYRENDERWINDOW_H
