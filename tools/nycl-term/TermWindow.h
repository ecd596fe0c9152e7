// TermWindow: one window of the 4GL program as nycl-term keeps and draws it.
//
// It keeps what the server put into the window: the text, lines and boxes drawn on it (in a
// grid of the window's size), its entry fields with their values, its lists and the ring menu.
// Render draws all of it onto the screen grid at the window's place, with a frame and the
// title for every window but the full screen. Labels and comments of entry fields come from
// the form the window shows, read from the program's resources when the window is drawn:
//
//   <form>*<field>.label:   text drawn left of the field
//   <form>*<field>.comment: text shown on the comment line while the field has the focus
//   <form>*title:           the window's title, unless the server set one
//
// Positions reach the operations column before line, 1-based within the window (line 1,
// column 1 is the top left cell inside the frame).
//
// Threads: the command thread. Borrows its data state, which must be a TermState.
#ifndef NYCL_TERM_TERMWINDOW_H
#define NYCL_TERM_TERMWINDOW_H

#include <memory>
#include <string>
#include <vector>

#include "Grid.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "nycl/widgets/CWidgetInfo.h"

namespace nycl_term {

class TermState;

struct Field {
  std::string name;
  int x = 0, y = 0, width = 1;  // 0-based within the window
  std::string value;
  uint8_t attributes = kNormal;
  bool enterable = true;
  bool visible = true;
  std::unique_ptr<nycl::CWidgetInfo> widget;  // null for a plain entry field
};

struct ListColumn {
  std::string name;  // upper case, as the server sends it
  std::string header;
  int width = 1;
  bool right = false;
};

struct List {
  std::string name;
  int x = 0, y = 0, width = 1, height = 1;  // 0-based within the window
  std::vector<ListColumn> columns;
  int selected = 0;  // the row the user stands on, 0-based
};

struct MenuOption {
  std::string name;
  int number = 0;
  std::string description;
};

struct Menu {
  std::string title;
  int line = 0;  // 0-based within the window
  std::vector<MenuOption> options;
  int current = 0;  // index into options
};

class TermWindow : public nycl::NyCommonRenderWindow {
 public:
  // `column`, `line`: the window's place on the screen (1-based; 0 reads as 1); `width`,
  // `height`: its inside; `title`: shown in the frame.
  TermWindow(const char* name, int column, int line, int width, int height, const char* title,
             TermState* state, int flags);
  ~TermWindow() override;

  // Drawing.
  int AddText(int column, int line, char* text, char* attribute, int) override;
  int ClearEOL(int column, int line) override;
  int Box(int column, int line, int width, int height, char*) override;
  int LineH(int column, int line, int length, char*) override;
  int LineV(int column, int line, int length, char*) override;
  int Clear() override;
  int ClearForm(int, int) override;
  int SetTitle(char* title) override;
  int SetSize(int width, int height) override;

  // Entry fields.
  int AddItem(int column, int line, int width, int height, char* value, char* name, char* attribute,
              int extra, nycl::CWidgetInfo* description) override;
  int DeleteItem(char* name) override;
  int ItemSet(char* name, char* value) override;
  int ItemAppend(char* name, char* text) override;
  int ItemFocus(char* name, int on) override;
  int ItemState(char* name, int state) override;
  int ItemShow(char* name, int show) override;

  // Ring menu.
  int MenuCreate(char* title, int line, int) override;
  int MenuAdd(char* name, int number, char* description) override;
  int MenuCurrent(int number) override;
  int MenuDestroy() override;

  // Lists and the screen array shown in them.
  int ListCreate(const char* name, int column, int line, int width, int height) override;
  int ListDestroy(const char* name) override;
  int ColumnCreate(const char* list, const char* column, int, int width, int, const char* header,
                   const char* align, int, const char*) override;
  int HeaderConfigure(const char* list, const char* column, const char* header, const char*,
                      const char*) override;
  using NyCommonRenderWindow::Array;
  // The array goes into the list named `list`.
  int Array(char* type, int maxLength, const char* list) override;

  // Lines of the screen that messages use; 0 keeps the current one.
  int SetMessageLine(int line) override;
  int SetCommentLine(int line) override;
  int SetErrorLine(int line) override;

  // Dialogs and the rest are the data state's business.
  int WinPrompt(int line, int column, char* text, char* value, int width, int hidden) override;
  int WinPromptB(int line, int column, char* text, char* value, int width, int hidden) override;
  int WinButton(char* title, char* text, char* preset, char* buttons, char*, int) override;
  int WinQuestion(char* title, char* text, char* preset, char* buttons, char*, int) override;
  int FileDialog(char* title, int, char* preset, char*, char*, char*) override;
  int DetailErrorBox(char* title, char* text, char* detail) override;
  int Bell() override;
  int Sleep(int milliseconds) override;
  int CanDraw(char*) override;

  // What the dialogs and the screen need.
  int X() const { return x_; }  // 0-based screen column of the inside's first cell
  int Y() const { return y_; }
  std::vector<Field>& Fields() { return fields_; }
  Field* FindField(const std::string& name);
  // The field with the focus (set by the server, moved by the user), or null.
  Field* FocusField();
  void SetFocus(const Field* field);
  // The list the screen array is shown in (the one Array named, else the first), or null.
  List* ArrayList();
  int ArrayRows();
  // Row `row` of the array for a column of the list; empty when there is none.
  std::string ArrayCell(const ListColumn& column, int row);
  Menu* ActiveMenu() { return menu_.get(); }
  int MessageLine() const { return message_line_; }
  int CommentLine() const { return comment_line_; }
  int ErrorLine() const { return error_line_; }

  // A resource of the form for `field` ("label", "comment"), or "".
  std::string FieldResource(const std::string& field, const char* resource);
  // Draws the window onto `screen`.
  void Render(Grid* screen);

 private:
  TermState* Host();
  void RenderField(const Field& field, Grid* screen, int ox, int oy);
  void RenderList(List& list, Grid* screen, int ox, int oy);
  void RenderMenu(const Menu& menu, Grid* screen, int ox, int oy);
  std::string Title();
  List* FindList(const char* name);

  std::string title_;
  bool visible_;
  bool framed_;
  int x_, y_;
  Grid content_;
  std::vector<Field> fields_;
  std::string focus_;
  std::vector<List> lists_;
  std::string array_list_;
  std::unique_ptr<Menu> menu_;
  int message_line_ = 0;
  int comment_line_ = 0;
  int error_line_ = 0;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_TERMWINDOW_H
