#include "TermWindow.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

#include "TermState.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResInfo.h"

namespace nycl_term {

namespace {

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// `text` cut or padded to `width` columns, to the left or the right.
std::string Fit(const std::string& text, int width, bool right = false) {
  if (width <= 0) return "";
  if (static_cast<int>(text.size()) >= width) return text.substr(0, width);
  const std::string pad(width - text.size(), ' ');
  return right ? pad + text : text + pad;
}

// A value of the resources as text ("" for none).
std::string ValueOf(unsigned int atom) {
  const char* text = atom != 0 ? nycl::Atom::DeAtomize(atom) : nullptr;
  return text != nullptr ? text : "";
}

}  // namespace

TermWindow::TermWindow(const char* name, int column, int line, int width, int height,
                       const char* title, TermState* state, int flags)
    : NyCommonRenderWindow(name, column, line, width, height, title, state, flags),
      title_(Text(title)),
      // The stand-in the prompt commands open when no window is there is never drawn.
      visible_(strcasecmp(Text(name).c_str(), "NY__TEMP") != 0),
      framed_(strcasecmp(Text(name).c_str(), "SCREEN") != 0),
      x_(std::max(column, 1) - 1),
      y_(std::max(line, 1) - 1),
      content_(width > 0 ? width : TermState::kScreenWidth,
               height > 0 ? height : TermState::kScreenLines) {}

TermWindow::~TermWindow() = default;

TermState* TermWindow::Host() {
  return static_cast<TermState*>(dataState);
}

// Drawing.

int TermWindow::AddText(int column, int line, char* text, char* attribute, int) {
  content_.Text(column - 1, line - 1, Text(text), ParseAttributes(Text(attribute)));
  return 1;
}

int TermWindow::ClearEOL(int column, int line) {
  content_.Fill(column - 1, line - 1, content_.width(), 1);
  return 1;
}

int TermWindow::Box(int column, int line, int width, int height, char*) {
  content_.Box(column - 1, line - 1, width, height);
  return 1;
}

int TermWindow::LineH(int column, int line, int length, char*) {
  content_.HLine(column - 1, line - 1, length);
  return 1;
}

int TermWindow::LineV(int column, int line, int length, char*) {
  content_.VLine(column - 1, line - 1, length);
  return 1;
}

int TermWindow::Clear() {
  content_.Clear();
  fields_.clear();
  lists_.clear();
  focus_.clear();
  return 1;
}

int TermWindow::ClearForm(int, int) {
  return Clear();
}

int TermWindow::SetTitle(char* title) {
  title_ = Text(title);
  return 1;
}

int TermWindow::SetSize(int width, int height) {
  if (width < 1 || height < 1) return 0;
  Grid resized(width, height);
  resized.Draw(content_, 0, 0);
  content_ = resized;
  return 1;
}

// Entry fields.

Field* TermWindow::FindField(const std::string& name) {
  for (Field& field : fields_) {
    if (strcasecmp(field.name.c_str(), name.c_str()) == 0) return &field;
  }
  return nullptr;
}

Field* TermWindow::FocusField() {
  Field* field = FindField(focus_);
  return field != nullptr && field->enterable && field->visible ? field : nullptr;
}

void TermWindow::SetFocus(const Field* field) {
  focus_ = field != nullptr ? field->name : "";
}

int TermWindow::AddItem(int column, int line, int width, int, char* value, char* name,
                        char* attribute, int, nycl::CWidgetInfo* description) {
  std::unique_ptr<nycl::CWidgetInfo> widget(description);  // ours from here on
  if (name == nullptr || *name == '\0') return 0;
  Field* field = FindField(name);
  if (field == nullptr) {
    fields_.emplace_back();
    field = &fields_.back();
  }
  field->name = name;
  field->x = column - 1;
  field->y = line - 1;
  field->width = std::max(width, 1);
  field->value = Text(value);
  field->attributes = ParseAttributes(Text(attribute));
  field->enterable = true;
  field->visible = true;
  field->widget = std::move(widget);
  return 1;
}

int TermWindow::DeleteItem(char* name) {
  fields_.erase(std::remove_if(fields_.begin(), fields_.end(),
                               [&](const Field& f) {
                                 return strcasecmp(f.name.c_str(), Text(name).c_str()) == 0;
                               }),
                fields_.end());
  return 1;
}

int TermWindow::ItemSet(char* name, char* value) {
  Field* field = FindField(Text(name));
  if (field == nullptr) return 0;
  field->value = Text(value);
  return 1;
}

int TermWindow::ItemAppend(char* name, char* text) {
  Field* field = FindField(Text(name));
  if (field == nullptr) return 0;
  field->value += Text(text);
  return 1;
}

int TermWindow::ItemFocus(char* name, int on) {
  Field* field = FindField(Text(name));
  if (field == nullptr) return 0;
  if (on != 0) {
    focus_ = field->name;
  } else if (strcasecmp(focus_.c_str(), field->name.c_str()) == 0) {
    focus_.clear();
  }
  return 1;
}

int TermWindow::ItemState(char* name, int state) {
  Field* field = FindField(Text(name));
  if (field == nullptr) return 0;
  field->enterable = state != 0;
  return 1;
}

int TermWindow::ItemShow(char* name, int show) {
  Field* field = FindField(Text(name));
  if (field == nullptr) return 0;
  field->visible = show != 0;
  return 1;
}

// Ring menu.

int TermWindow::MenuCreate(char* title, int line, int) {
  menu_ = std::make_unique<Menu>();
  menu_->title = Text(title);
  menu_->line = std::max(line, 1) - 1;
  return 1;
}

int TermWindow::MenuAdd(char* name, int number, char* description) {
  if (menu_ == nullptr) return 0;
  menu_->options.push_back({Text(name), number, Text(description)});
  return 1;
}

int TermWindow::MenuCurrent(int number) {
  if (menu_ == nullptr) return 0;
  for (size_t i = 0; i < menu_->options.size(); ++i) {
    if (menu_->options[i].number == number) menu_->current = static_cast<int>(i);
  }
  return 1;
}

int TermWindow::MenuDestroy() {
  menu_.reset();
  return 1;
}

// Lists.

List* TermWindow::FindList(const char* name) {
  for (List& list : lists_) {
    if (strcasecmp(list.name.c_str(), Text(name).c_str()) == 0) return &list;
  }
  return nullptr;
}

int TermWindow::ListCreate(const char* name, int column, int line, int width, int height) {
  List* list = FindList(name);
  if (list == nullptr) {
    lists_.emplace_back();
    list = &lists_.back();
  }
  *list = List();
  list->name = Text(name);
  list->x = column - 1;
  list->y = line - 1;
  list->width = std::max(width, 1);
  list->height = std::max(height, 2);
  return 1;
}

int TermWindow::ListDestroy(const char* name) {
  lists_.erase(std::remove_if(lists_.begin(), lists_.end(),
                              [&](const List& l) {
                                return strcasecmp(l.name.c_str(), Text(name).c_str()) == 0;
                              }),
               lists_.end());
  return 1;
}

int TermWindow::ColumnCreate(const char* list, const char* column, int, int width, int,
                             const char* header, const char* align, int, const char*) {
  List* target = FindList(list);
  if (target == nullptr) return 0;
  target->columns.push_back({Text(column), Text(header), std::max(width, 1),
                             strcasecmp(Text(align).c_str(), "right") == 0});
  return 1;
}

int TermWindow::HeaderConfigure(const char* list, const char* column, const char* header,
                                const char*, const char*) {
  List* target = FindList(list);
  if (target == nullptr) return 0;
  for (ListColumn& c : target->columns) {
    if (strcasecmp(c.name.c_str(), Text(column).c_str()) == 0) c.header = Text(header);
  }
  return 1;
}

int TermWindow::Array(char* type, int maxLength, const char* list) {
  array_list_ = Text(list);
  return NyCommonRenderWindow::Array(type, maxLength);
}

List* TermWindow::ArrayList() {
  if (List* named = FindList(array_list_.c_str())) return named;
  return lists_.empty() ? nullptr : &lists_.front();
}

int TermWindow::ArrayRows() {
  return GetArrayInfo()->GetLength();
}

// A list L shows the values the server sent for the fields "L.column__row": their array
// column is "L-column", the column name as the server wrote it or in lower case.
std::string TermWindow::ArrayCell(const ListColumn& column, int row) {
  const List* list = ArrayList();
  if (list == nullptr) return "";
  nycl::XString value;
  for (const std::string& key : {list->name + "-" + Lower(column.name),
                                 list->name + "-" + column.name, Lower(column.name)}) {
    if (GetArrayInfo()->GetArrayDataLine(key.c_str(), row, &value) == 1) return value.c_str();
  }
  return "";
}

// Message lines.

int TermWindow::SetMessageLine(int line) {
  if (line > 0) message_line_ = line;
  return 1;
}

int TermWindow::SetCommentLine(int line) {
  if (line > 0) comment_line_ = line;
  return 1;
}

int TermWindow::SetErrorLine(int line) {
  if (line > 0) error_line_ = line;
  return 1;
}

// Dialogs.

int TermWindow::WinPrompt(int line, int column, char* text, char* value, int width, int hidden) {
  return Host() != nullptr ? Host()->Prompt(line, column, Text(text), Text(value), width, hidden)
                           : 0;
}

int TermWindow::WinPromptB(int line, int column, char* text, char* value, int width, int hidden) {
  return WinPrompt(line, column, text, value, width, hidden);
}

int TermWindow::WinButton(char* title, char* text, char* preset, char* buttons, char*, int) {
  return Host() != nullptr ? Host()->Buttons(Text(title), Text(text), Text(preset), Text(buttons))
                           : 0;
}

int TermWindow::WinQuestion(char* title, char* text, char* preset, char* buttons, char* icon,
                            int flags) {
  return WinButton(title, text, preset, buttons, icon, flags);
}

int TermWindow::FileDialog(char* title, int, char* preset, char*, char*, char*) {
  return Host() != nullptr ? Host()->FileDialog(Text(title), Text(preset)) : 0;
}

int TermWindow::DetailErrorBox(char* title, char* text, char* detail) {
  if (Host() == nullptr) return 0;
  std::string error = Text(title);
  for (const std::string& part : {Text(text), Text(detail)}) {
    if (part.empty()) continue;
    if (!error.empty()) error += ": ";
    error += part;
  }
  Host()->ShowError(error);
  return 1;
}

int TermWindow::Bell() {
  if (Host() != nullptr) Host()->RingBell();
  return 1;
}

int TermWindow::Sleep(int milliseconds) {
  if (Host() != nullptr) Host()->Pause(milliseconds);
  return 1;
}

int TermWindow::CanDraw(char*) {
  if (Host() != nullptr) Host()->Refresh();
  return 1;
}

// Rendering.

std::string TermWindow::FieldResource(const std::string& field, const char* resource) {
  nycl::ResInfo* form = GetFormResInfo();
  if (form == nullptr) return "";
  nycl::ResInfo query(form, field.c_str());
  return ValueOf(query.FindResourceA(nycl::Atom::Atomize(resource), 0));
}

std::string TermWindow::Title() {
  if (!title_.empty()) return title_;
  nycl::ResInfo* form = GetFormResInfo();
  return form != nullptr ? ValueOf(form->FindResourceA(nycl::Atom::Atomize("title"), 0)) : "";
}

void TermWindow::Render(Grid* screen) {
  if (!visible_) return;
  const int ox = x_;
  const int oy = y_;
  if (framed_) {
    screen->Fill(ox - 1, oy - 1, content_.width() + 2, content_.height() + 2);
    screen->Box(ox - 1, oy - 1, content_.width() + 2, content_.height() + 2);
    const std::string title = Title();
    if (!title.empty()) {
      screen->Text(ox + 1, oy - 1,
                   (" " + title + " ").substr(0, std::max(content_.width() - 2, 0)));
    }
  }
  screen->Draw(content_, ox, oy);
  for (const Field& field : fields_) RenderField(field, screen, ox, oy);
  for (List& list : lists_) RenderList(list, screen, ox, oy);
  if (menu_ != nullptr) RenderMenu(*menu_, screen, ox, oy);
}

void TermWindow::RenderField(const Field& field, Grid* screen, int ox, int oy) {
  if (!field.visible) return;
  const int x = ox + field.x;
  const int y = oy + field.y;
  const std::string label = FieldResource(field.name, "label");
  if (!label.empty()) screen->Text(x - 2 - static_cast<int>(label.size()), y, label);
  screen->Put(x - 1, y, '[');
  screen->Text(x, y, Fit(field.value, field.width), field.attributes);
  screen->Put(x + field.width, y, ']');
}

void TermWindow::RenderList(List& list, Grid* screen, int ox, int oy) {
  const int x = ox + list.x;
  const int y = oy + list.y;
  screen->Fill(x, y, list.width, list.height);
  std::string header = "  ";
  for (const ListColumn& column : list.columns) {
    header += Fit(column.header, column.width, column.right) + " ";
  }
  screen->Text(x, y, Fit(header, list.width), kUnderline);
  const int rows = ArrayList() == &list ? ArrayRows() : 0;
  const int shown = list.height - 1;
  list.selected = std::clamp(list.selected, 0, std::max(rows - 1, 0));
  const int top = std::max(0, list.selected - shown + 1);
  for (int i = 0; i < shown && top + i < rows; ++i) {
    const int row = top + i;
    std::string text = row == list.selected ? "> " : "  ";
    for (const ListColumn& column : list.columns) {
      text += Fit(ArrayCell(column, row), column.width, column.right) + " ";
    }
    screen->Text(x, y + 1 + i, Fit(text, list.width), row == list.selected ? kReverse : kNormal);
  }
}

void TermWindow::RenderMenu(const Menu& menu, Grid* screen, int ox, int oy) {
  const int y = oy + menu.line;
  screen->Fill(ox, y, content_.width(), 2);
  // Every option takes its width and two more, so the line keeps its layout as the current
  // option, in brackets, moves.
  std::string line = menu.title.empty() ? "" : menu.title + ": ";
  int current_at = 0;
  for (size_t i = 0; i < menu.options.size(); ++i) {
    const bool current = static_cast<int>(i) == menu.current;
    if (current) current_at = static_cast<int>(line.size());
    line += (current ? "[" : " ") + menu.options[i].name + (current ? "]" : " ");
  }
  screen->Text(ox, y, Fit(line, content_.width()));
  if (!menu.options.empty()) {
    screen->Mark(ox + current_at, y, static_cast<int>(menu.options[menu.current].name.size()) + 2,
                 kReverse);
    screen->Text(ox, y + 1, Fit(menu.options[menu.current].description, content_.width()));
  }
}

}  // namespace nycl_term
