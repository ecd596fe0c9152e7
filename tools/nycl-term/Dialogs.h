// Dialogs: every point where the program waits for the user, and the answer lines nycl-term
// sends for it. Each dialog draws itself over the composed screen, shows it through the front,
// takes keys until the user is done, then sends its answers, in this order:
//
//   wait ("fgl_Wait"), on the current window:
//     a ring menu          <Left>/<Right>/<Tab>/<BTab>/<Space> move, <Enter> or an option's
//                          first letter chooses:                        menu N
//     entry fields         typing edits the field with the focus (in the input case the
//                          program set), <Tab>/<Down> and <BTab>/<Up> move between fields;
//                          <Enter> ends:    field NAME "VALUE" (each enterable field), accept
//     a list with an array <Up>/<Down>/<Home>/<End> move, <Enter> ends:  row N, accept
//     nothing to enter     <Enter>:                                      accept
//     any of them          <Esc>:                                        cancel
//                          a function key the program made active (fgl_KeyEvent) ends the
//                          wait with what <Enter> sends before "accept", then: key N
//                          (N the key's number; <Enter>, <Esc> and <Tab> too, when the
//                          program lists ENTER, ESC or TAB)
//     after fgl_ReturnAnyKey, with nothing to enter, any other key:  anykey "KEYNAME"
//   message box ("fgl_MessageBox"): the buttons of its style; the command answers
//                          key N   (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No)
//   prompt ("fgl_WinPrompt", "fgl_WinPromptB"):    prompt "TEXT"   or cancel
//                          (the front is shown the answer of a hidden prompt as stars)
//   buttons ("fgl_WinButton", "fgl_WinQuestion"):  button "LABEL"  or cancel
//   file dialog ("fgl_FileDialog"):                file "PATH"     or cancel
//
// A quoted value stands in double quotes; a double quote, a backslash, a line feed, a
// carriage return and a tab in it are written \" \\ \n \r \t, as the protocol's own lines
// quote. A key that means nothing where it is pressed rings the bell.
//
// When no key will come (the key script ended) the dialog sends nothing and halts the session;
// when the connection ends during a dialog it sends nothing.
//
// Threads: the command thread. Borrows the data state and the front.
#ifndef NYCL_TERM_DIALOGS_H
#define NYCL_TERM_DIALOGS_H

#include <string>
#include <vector>

#include "Grid.h"
#include "Keys.h"

namespace nycl_term {

class Front;
class TermState;
class TermWindow;
struct Field;
struct FunctionKey;

// `text` as a quoted answer value.
std::string Quoted(const std::string& text);

class Dialogs {
 public:
  Dialogs(TermState* state, Front* front) : state_(state), front_(front) {}

  void Wait();
  // The number of the button chosen (1 OK, 2 Cancel, ...), 0 when the dialog ended without.
  int MessageBox(const std::string& text, const std::string& title, int style);
  void Prompt(int line, int column, const std::string& text, const std::string& value, int width,
              bool hidden);
  void Choice(const std::string& title, const std::string& text, const std::string& preset,
              const std::string& buttons);
  void FileDialog(const std::string& title, const std::string& preset);

 private:
  // One line of text being edited.
  struct Editor {
    std::string text;
    int width = 1;
    size_t cursor = 0;
    // Applies an editing key; false when the key is not one (or does not fit).
    bool Apply(const Key& key, int input_case);
  };

  void MenuWait(TermWindow* window);
  void InputWait(TermWindow* window);
  void ListWait(TermWindow* window);
  void KeyWait();
  enum class Edit { kAnswered, kCancelled, kEnded };
  // Edits one line in a framed box; *value is the text typed when the user answered.
  Edit EditBox(const std::string& what, int x, int y, const std::string& title,
               const std::string& text, std::string* value, int width, bool hidden);
  // Buttons in a framed box: the index chosen; -1 when the dialog ended without an answer.
  // <Esc> chooses `cancel` (which may be a negative number other than -1), or means nothing
  // when `cancel` is -1.
  int ButtonBox(const std::string& what, const std::string& title, const std::string& text,
                const std::vector<std::string>& buttons, int preset, int cancel);

  void Begin(const std::string& what);
  // Shows the screen and takes the next key; false when no key will come (then the dialog
  // has been ended and must return).
  bool NextKey(const Grid& screen, int cursor_x, int cursor_y, Key* key);
  void End();
  void Send(const std::vector<std::string>& lines);
  // Sends `answer` when the user answered an edit box, "cancel" when they cancelled it.
  void SendEdit(Edit edit, const std::string& answer);
  // The active function key bound to `key`, or null.
  const FunctionKey* Bound(const Key& key) const;

  TermState* state_;
  Front* front_;
  std::string what_;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_DIALOGS_H
