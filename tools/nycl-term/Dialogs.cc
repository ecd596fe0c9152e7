#include "Dialogs.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

#include "Activity.h"
#include "Front.h"
#include "TermState.h"
#include "TermWindow.h"

namespace nycl_term {

namespace {

// Message box buttons, by the low four bits of its style, with the numbers they answer.
struct Button {
  const char* label;
  int number;
};
const std::vector<std::vector<Button>> kMessageBoxButtons = {
    {{"OK", 1}},
    {{"OK", 1}, {"Cancel", 2}},
    {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}},
    {{"Yes", 6}, {"No", 7}, {"Cancel", 2}},
    {{"Yes", 6}, {"No", 7}},
    {{"Retry", 4}, {"Cancel", 2}},
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

// A framed, blank box with `title` in its top edge.
void DrawFrame(Grid* screen, int x, int y, int width, int height, const std::string& title) {
  screen->Fill(x, y, width, height);
  screen->Box(x, y, width, height);
  if (!title.empty()) screen->Text(x + 2, y, (" " + title + " ").substr(0, width - 4));
}

// Where a box of `width` x `height` stands when the program gave no place: in the middle.
int Centered(int size, int room) {
  return std::max((room - size) / 2, 0);
}

bool IsLetter(const Key& key) {
  return key.kind == Key::kChar && std::isalpha(key.code);
}

}  // namespace

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

bool Dialogs::Editor::Apply(const Key& key, int input_case) {
  switch (key.kind) {
    case Key::kChar: {
      if (static_cast<int>(text.size()) >= width) return false;
      char c = static_cast<char>(key.code);
      if (input_case == nycl::CASE_UPPER) c = static_cast<char>(std::toupper(key.code));
      if (input_case == nycl::CASE_LOWER) c = static_cast<char>(std::tolower(key.code));
      text.insert(cursor++, 1, c);
      return true;
    }
    case Key::kBackspace:
      if (cursor == 0) return false;
      text.erase(--cursor, 1);
      return true;
    case Key::kDelete:
      if (cursor >= text.size()) return false;
      text.erase(cursor, 1);
      return true;
    case Key::kLeft:
      if (cursor == 0) return false;
      --cursor;
      return true;
    case Key::kRight:
      if (cursor >= text.size()) return false;
      ++cursor;
      return true;
    case Key::kHome:
      cursor = 0;
      return true;
    case Key::kEnd:
      cursor = text.size();
      return true;
    default:
      return false;
  }
}

// The frame of every dialog.

void Dialogs::Begin(const std::string& what) {
  what_ = what;
  ++state_->facts_.waits;
  if (state_->activity_ != nullptr) state_->activity_->SetWaiting(true);
  front_->BeginWait(what);
}

bool Dialogs::NextKey(const Grid& screen, int cursor_x, int cursor_y, Key* key) {
  front_->Show(screen, cursor_x, cursor_y);
  *key = front_->NextKey();
  if (key->kind == Key::kNoMoreKeys || key->kind == Key::kSessionEnded) {
    End();
    if (key->kind == Key::kNoMoreKeys) {
      state_->Halt("the key script ended while the program waited for " + what_);
    } else {
      state_->facts_.wait_cut_off = true;
    }
    return false;
  }
  state_->ClearError();  // the error line stands until the next key, as the 4GL's does
  return true;
}

void Dialogs::End() {
  front_->EndWait();
  if (state_->activity_ != nullptr) state_->activity_->SetWaiting(false);
  state_->echo_answers_ = true;
}

void Dialogs::SendEdit(Edit edit, const std::string& answer) {
  switch (edit) {
    case Edit::kAnswered:
      Send({answer});
      break;
    case Edit::kCancelled:
      Send({"cancel"});
      break;
    case Edit::kEnded:
      break;
  }
}

void Dialogs::Send(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::string copy = line;
    state_->SendResponceString(&copy[0]);
  }
}

const FunctionKey* Dialogs::Bound(const Key& key) const {
  std::vector<std::string> names;
  switch (key.kind) {
    case Key::kFunction:
      names = {"F" + std::to_string(key.code)};
      break;
    case Key::kEnter:
      names = {"ENTER", "RETURN"};
      break;
    case Key::kEsc:
      names = {"ESC", "ESCAPE"};
      break;
    case Key::kTab:
      names = {"TAB"};
      break;
    default:
      return nullptr;
  }
  for (const FunctionKey& bound : state_->Keys()) {
    if (bound.divider || !bound.enabled) continue;
    for (const std::string& name : names) {
      if (strcasecmp(bound.name.c_str(), name.c_str()) == 0) return &bound;
    }
  }
  return nullptr;
}

// Waits.

void Dialogs::Wait() {
  if (state_->Halted()) return;
  TermWindow* window = state_->CurrentWindow();
  if (window != nullptr && window->ActiveMenu() != nullptr &&
      !window->ActiveMenu()->options.empty()) {
    MenuWait(window);
    return;
  }
  if (window != nullptr) {
    for (const Field& field : window->Fields()) {
      if (field.enterable && field.visible) {
        InputWait(window);
        return;
      }
    }
    if (window->ArrayList() != nullptr && window->ArrayRows() > 0) {
      ListWait(window);
      return;
    }
  }
  KeyWait();
}

void Dialogs::MenuWait(TermWindow* window) {
  Menu* menu = window->ActiveMenu();
  const int count = static_cast<int>(menu->options.size());
  Begin("menu " + Quoted(menu->title));
  std::vector<std::string> answers;
  Key key;
  while (answers.empty()) {
    if (!NextKey(state_->Compose(), -1, -1, &key)) return;
    if (const FunctionKey* bound = Bound(key)) {
      answers = {"key " + std::to_string(bound->number)};
    } else if (key.kind == Key::kLeft || key.kind == Key::kBackTab || key.kind == Key::kUp) {
      menu->current = (menu->current + count - 1) % count;
    } else if (key.kind == Key::kRight || key.kind == Key::kTab || key.kind == Key::kDown ||
               key == Key::Char(' ')) {
      menu->current = (menu->current + 1) % count;
    } else if (key.kind == Key::kHome || key.kind == Key::kEnd) {
      menu->current = key.kind == Key::kHome ? 0 : count - 1;
    } else if (key.kind == Key::kEnter) {
      answers = {"menu " + std::to_string(menu->options[menu->current].number)};
    } else if (key.kind == Key::kEsc) {
      answers = {"cancel"};
    } else if (IsLetter(key)) {
      for (int i = 0; i < count && answers.empty(); ++i) {
        const std::string& name = menu->options[i].name;
        if (!name.empty() && std::tolower(name[0]) == std::tolower(key.code)) {
          menu->current = i;
          answers = {"menu " + std::to_string(menu->options[i].number)};
        }
      }
      if (answers.empty()) state_->RingBell();
    } else {
      state_->RingBell();
    }
  }
  End();
  Send(answers);
}

void Dialogs::InputWait(TermWindow* window) {
  std::vector<Field*> fields;
  for (Field& field : window->Fields()) {
    if (field.enterable && field.visible) fields.push_back(&field);
  }
  size_t at = 0;
  if (Field* focus = window->FocusField()) {
    at = std::find(fields.begin(), fields.end(), focus) - fields.begin();
  }
  Begin("input");
  Editor editor;
  auto load = [&] {
    editor.text = fields[at]->value;
    editor.width = fields[at]->width;
    editor.cursor = editor.text.size();
    window->SetFocus(fields[at]);
  };
  load();
  std::string ending;
  Key key;
  while (ending.empty()) {
    Field* field = fields[at];
    const Grid screen = state_->Compose(window->FieldResource(field->name, "comment"));
    const int cursor_x = window->X() + field->x + static_cast<int>(editor.cursor);
    if (!NextKey(screen, cursor_x, window->Y() + field->y, &key)) return;
    if (const FunctionKey* bound = Bound(key)) {
      ending = "key " + std::to_string(bound->number);
    } else if (key.kind == Key::kEnter) {
      ending = "accept";
    } else if (key.kind == Key::kEsc) {
      ending = "cancel";
    } else if (key.kind == Key::kTab || key.kind == Key::kDown) {
      at = (at + 1) % fields.size();
      load();
    } else if (key.kind == Key::kBackTab || key.kind == Key::kUp) {
      at = (at + fields.size() - 1) % fields.size();
      load();
    } else if (editor.Apply(key, state_->GetCase())) {
      field->value = editor.text;
    } else {
      state_->RingBell();
    }
  }
  End();
  std::vector<std::string> answers;
  if (ending != "cancel") {
    for (const Field* field : fields) {
      answers.push_back("field " + field->name + " " + Quoted(field->value));
    }
  }
  answers.push_back(ending);
  Send(answers);
}

void Dialogs::ListWait(TermWindow* window) {
  List* list = window->ArrayList();
  const int rows = window->ArrayRows();
  Begin("list " + Quoted(list->name));
  std::string ending;
  Key key;
  while (ending.empty()) {
    if (!NextKey(state_->Compose(), -1, -1, &key)) return;
    if (const FunctionKey* bound = Bound(key)) {
      ending = "key " + std::to_string(bound->number);
    } else if (key.kind == Key::kEnter) {
      ending = "accept";
    } else if (key.kind == Key::kEsc) {
      ending = "cancel";
    } else if (key.kind == Key::kUp && list->selected > 0) {
      --list->selected;
    } else if (key.kind == Key::kDown && list->selected < rows - 1) {
      ++list->selected;
    } else if (key.kind == Key::kHome || key.kind == Key::kEnd) {
      list->selected = key.kind == Key::kHome ? 0 : rows - 1;
    } else {
      state_->RingBell();
    }
  }
  End();
  if (ending == "cancel") {
    Send({ending});
  } else {
    Send({"row " + std::to_string(list->selected + 1), ending});
  }
}

void Dialogs::KeyWait() {
  Begin("a key");
  std::string answer;
  Key key;
  while (answer.empty()) {
    if (!NextKey(state_->Compose(), -1, -1, &key)) return;
    if (const FunctionKey* bound = Bound(key)) {
      answer = "key " + std::to_string(bound->number);
    } else if (state_->ReturnAnyKey()) {
      answer = "anykey " + Quoted(KeyName(key));
    } else if (key.kind == Key::kEnter) {
      answer = "accept";
    } else if (key.kind == Key::kEsc) {
      answer = "cancel";
    } else {
      state_->RingBell();
    }
  }
  End();
  Send({answer});
}

// Boxes.

int Dialogs::MessageBox(const std::string& text, const std::string& title, int style) {
  if (state_->Halted()) return 0;
  const unsigned kind = static_cast<unsigned>(style) & 0xf;
  const std::vector<Button>& buttons =
      kMessageBoxButtons[kind < kMessageBoxButtons.size() ? kind : 0];
  std::vector<std::string> labels;
  int cancel = -1;
  for (const Button& button : buttons) {
    if (button.number == 2) cancel = static_cast<int>(labels.size());
    labels.push_back(button.label);
  }
  if (buttons.size() == 1) cancel = 0;  // a box with OK alone goes away with <Esc> too
  // The gathered lines each begin with a line feed.
  const std::string body = !text.empty() && text[0] == '\n' ? text.substr(1) : text;
  const int preset = (style >> 8) & 0xf;
  const int chosen = ButtonBox("message box " + Quoted(title), title, body, labels, preset, cancel);
  return chosen >= 0 ? buttons[chosen].number : 0;
}

void Dialogs::Choice(const std::string& title, const std::string& text, const std::string& preset,
                     const std::string& buttons) {
  if (state_->Halted()) return;
  std::vector<std::string> labels;
  size_t start = 0;
  for (;;) {
    const size_t bar = buttons.find('|', start);
    labels.push_back(buttons.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  const int preset_at =
      static_cast<int>(std::find(labels.begin(), labels.end(), preset) - labels.begin());
  const int chosen = ButtonBox("buttons " + Quoted(title), title, text, labels,
                               preset_at < static_cast<int>(labels.size()) ? preset_at : 0, -2);
  if (chosen == -1) return;  // ended without an answer
  Send({chosen >= 0 ? "button " + Quoted(labels[chosen]) : "cancel"});
}

void Dialogs::Prompt(int line, int column, const std::string& text, const std::string& value,
                     int width, bool hidden) {
  if (state_->Halted()) return;
  std::string answer = value;
  width = std::clamp(width, 1, TermState::kScreenWidth - 8);
  const int box_width =
      std::min(static_cast<int>(text.size()) + width + 7, TermState::kScreenWidth);
  const int x = column > 0 ? std::min(column - 1, TermState::kScreenWidth - box_width)
                           : Centered(box_width, TermState::kScreenWidth);
  const int y = line > 0 ? std::min(line - 1, TermState::kScreenLines - 3) : 10;
  const Edit edit = EditBox("prompt " + Quoted(text), x, y, "", text, &answer, width, hidden);
  // What was typed hidden is not shown again, on the screen or in a transcript.
  if (edit == Edit::kAnswered && hidden) {
    state_->echo_masked_ = "prompt " + Quoted(std::string(answer.size(), '*'));
  }
  SendEdit(edit, "prompt " + Quoted(answer));
}

void Dialogs::FileDialog(const std::string& title, const std::string& preset) {
  if (state_->Halted()) return;
  std::string path = preset;
  const int width = TermState::kScreenWidth - 12;
  const Edit edit =
      EditBox("file dialog " + Quoted(title), 2, 10, title, "File:", &path, width, false);
  SendEdit(edit, "file " + Quoted(path));
}

Dialogs::Edit Dialogs::EditBox(const std::string& what, int x, int y, const std::string& title,
                               const std::string& text, std::string* value, int width,
                               bool hidden) {
  Begin(what);
  Editor editor;
  editor.text = value->substr(0, width);
  editor.width = width;
  editor.cursor = editor.text.size();
  const int box_width = static_cast<int>(text.size()) + width + 7;
  const int field_x = x + 2 + static_cast<int>(text.size()) + 2;
  Key key;
  for (;;) {
    Grid screen = state_->Compose();
    DrawFrame(&screen, x, y, box_width, 3, title);
    screen.Text(x + 2, y + 1, text);
    screen.Put(field_x - 1, y + 1, '[');
    screen.Text(field_x, y + 1,
                (hidden ? std::string(editor.text.size(), '*') : editor.text) +
                    std::string(width - editor.text.size(), ' '));
    screen.Put(field_x + width, y + 1, ']');
    if (!NextKey(screen, field_x + static_cast<int>(editor.cursor), y + 1, &key)) {
      return Edit::kEnded;
    }
    if (key.kind == Key::kEnter) break;
    if (key.kind == Key::kEsc) {
      End();
      return Edit::kCancelled;
    }
    if (!editor.Apply(key, state_->GetCase())) state_->RingBell();
  }
  End();
  *value = editor.text;
  return Edit::kAnswered;
}

int Dialogs::ButtonBox(const std::string& what, const std::string& title, const std::string& text,
                       const std::vector<std::string>& buttons, int preset, int cancel) {
  Begin(what);
  const std::vector<std::string> lines = Lines(text);
  std::string row;
  for (const std::string& button : buttons) row += " " + button + " ";
  int width = std::max(static_cast<int>(title.size()) + 6, static_cast<int>(row.size()) + 4);
  for (const std::string& line : lines) width = std::max(width, static_cast<int>(line.size()) + 4);
  width = std::min(std::max(width, 30), TermState::kScreenWidth);
  const int height = static_cast<int>(lines.size()) + 4;
  const int x = Centered(width, TermState::kScreenWidth);
  const int y = Centered(height, TermState::kScreenLines);
  int current = std::clamp(preset, 0, static_cast<int>(buttons.size()) - 1);
  Key key;
  for (;;) {
    Grid screen = state_->Compose();
    DrawFrame(&screen, x, y, width, height, title);
    for (size_t i = 0; i < lines.size(); ++i) {
      screen.Text(x + 2, y + 1 + static_cast<int>(i), lines[i].substr(0, width - 4));
    }
    // The buttons, the current one in brackets, as the ring menu shows its current option.
    int bx = x + (width - static_cast<int>(row.size())) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
      const bool now = static_cast<int>(i) == current;
      screen.Text(bx, y + height - 2, (now ? "[" : " ") + buttons[i] + (now ? "]" : " "),
                  now ? kReverse : kNormal);
      bx += static_cast<int>(buttons[i].size()) + 2;
    }
    if (!NextKey(screen, -1, -1, &key)) return -1;
    const int count = static_cast<int>(buttons.size());
    if (key.kind == Key::kEnter) break;
    if (key.kind == Key::kEsc && cancel != -1) {
      current = cancel;
      break;
    }
    if (key.kind == Key::kLeft || key.kind == Key::kBackTab) {
      current = (current + count - 1) % count;
    } else if (key.kind == Key::kRight || key.kind == Key::kTab) {
      current = (current + 1) % count;
    } else if (IsLetter(key)) {
      int found = -1;
      for (int i = 0; i < count && found < 0; ++i) {
        if (!buttons[i].empty() && std::tolower(buttons[i][0]) == std::tolower(key.code)) found = i;
      }
      if (found < 0) {
        state_->RingBell();
        continue;
      }
      current = found;
      break;
    } else {
      state_->RingBell();
    }
  }
  End();
  return current;
}

}  // namespace nycl_term
