#include "CursesFront.h"

#include <curses.h>
#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <utility>

namespace nycl_term {

namespace {

// The line-drawing character for the directions a line leaves a cell in.
chtype LineCharacter(uint8_t lines) {
  const bool up = lines & kLineUp, down = lines & kLineDown;
  const bool left = lines & kLineLeft, right = lines & kLineRight;
  if (up && down && left && right) return ACS_PLUS;
  if (left && right && down && !up) return ACS_TTEE;
  if (left && right && up && !down) return ACS_BTEE;
  if (up && down && right && !left) return ACS_LTEE;
  if (up && down && left && !right) return ACS_RTEE;
  if (right && down && !up && !left) return ACS_ULCORNER;
  if (left && down && !up && !right) return ACS_URCORNER;
  if (right && up && !down && !left) return ACS_LLCORNER;
  if (left && up && !down && !right) return ACS_LRCORNER;
  return (up || down) ? ACS_VLINE : ACS_HLINE;
}

chtype Attributes(uint8_t attributes) {
  chtype result = A_NORMAL;
  if (attributes & kReverse) result |= A_REVERSE;
  if (attributes & kBold) result |= A_BOLD;
  if (attributes & kUnderline) result |= A_UNDERLINE;
  if (attributes & kDim) result |= A_DIM;
  return result;
}

// The front that holds the terminal. The library may end the process itself (a server that
// refuses the login): the terminal is given back on the way out.
CursesFront* active_front = nullptr;

void RestoreTerminal() {
  if (active_front != nullptr) active_front->Stop();
}

}  // namespace

CursesFront::CursesFront(std::function<bool()> session_ended, FILE* screen)
    : session_ended_(std::move(session_ended)), screen_(screen) {}

CursesFront::~CursesFront() {
  Stop();
}

bool CursesFront::Start(const std::string& log_path, std::string* error) {
  if (!isatty(STDIN_FILENO) || !isatty(fileno(screen_))) {
    *error = "interactive mode needs a terminal (use --keys FILE for a session without one)";
    return false;
  }
  std::setlocale(LC_ALL, "");
  terminal_ = newterm(nullptr, screen_, stdin);
  if (terminal_ == nullptr) {
    *error = "the terminal could not be set up (is TERM set?)";
    return false;
  }
  started_ = true;
  active_front = this;
  static const bool registered = std::atexit(&RestoreTerminal) == 0;
  (void)registered;
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  timeout(100);
  const int log = ::open(log_path.empty() ? "/dev/null" : log_path.c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log >= 0) {
    std::fflush(stdout);
    saved_stdout_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    saved_stderr_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
    ::close(log);
  }
  return true;
}

void CursesFront::Stop() {
  if (!started_) return;
  started_ = false;
  active_front = nullptr;
  endwin();
  delscreen(terminal_);
  terminal_ = nullptr;
  std::fflush(stdout);
  for (auto [saved, fd] : {std::pair<int*, int>{&saved_stdout_, STDOUT_FILENO},
                           std::pair<int*, int>{&saved_stderr_, STDERR_FILENO}}) {
    if (*saved < 0) continue;
    ::dup2(*saved, fd);
    ::close(*saved);
    *saved = -1;
  }
}

Key CursesFront::NextKey() {
  for (;;) {
    const int ch = getch();
    if (ch == ERR) {
      if (session_ended_ && session_ended_()) return {Key::kSessionEnded, 0};
      continue;
    }
    switch (ch) {
      case KEY_RESIZE:
        Draw();
        continue;
      case '\n':
      case '\r':
      case KEY_ENTER:
        return {Key::kEnter, 0};
      case '\t':
        return {Key::kTab, 0};
      case KEY_BTAB:
        return {Key::kBackTab, 0};
      case 27:
        return {Key::kEsc, 0};
      case KEY_UP:
        return {Key::kUp, 0};
      case KEY_DOWN:
        return {Key::kDown, 0};
      case KEY_LEFT:
        return {Key::kLeft, 0};
      case KEY_RIGHT:
        return {Key::kRight, 0};
      case KEY_HOME:
        return {Key::kHome, 0};
      case KEY_END:
        return {Key::kEnd, 0};
      case KEY_BACKSPACE:
      case 127:
      case 8:
        return {Key::kBackspace, 0};
      case KEY_DC:
        return {Key::kDelete, 0};
      default:
        break;
    }
    if (ch >= KEY_F(1) && ch <= KEY_F(24)) return Key::Function(ch - KEY_F(0));
    if (ch >= 0x20 && ch < 0x7f) return Key::Char(static_cast<char>(ch));
    // Anything else (a key this host has no use for) is passed over.
  }
}

void CursesFront::Show(const Grid& screen, int cursor_x, int cursor_y) {
  last_ = std::make_unique<Grid>(screen);
  cursor_x_ = cursor_x;
  cursor_y_ = cursor_y;
  Draw();
}

void CursesFront::Draw() {
  if (!started_ || last_ == nullptr) return;
  erase();
  for (int y = 0; y < last_->height() && y < LINES; ++y) {
    for (int x = 0; x < last_->width() && x < COLS; ++x) {
      const Cell& cell = last_->At(x, y);
      const unsigned char byte = static_cast<unsigned char>(cell.ch);
      const chtype glyph = cell.lines != 0 ? LineCharacter(cell.lines) : byte < 0x80 ? byte : '?';
      mvaddch(y, x, glyph | Attributes(cell.attributes));
    }
  }
  if (cursor_x_ >= 0 && cursor_y_ >= 0) {
    curs_set(1);
    move(cursor_y_, cursor_x_);
  } else {
    curs_set(0);
  }
  refresh();
}

void CursesFront::Bell() {
  if (started_) beep();
}

void CursesFront::SessionEnded(const Grid& screen, const std::string& why, bool failed) {
  if (!started_) return;
  Grid shown = screen;
  const std::string status = failed ? "(press a key) " + why : why;
  shown.Text(0, shown.height() - 1, status + std::string(shown.width(), ' '), kReverse);
  Show(shown, -1, -1);
  if (failed) {
    // Kept until the user has read it; a terminal that went away ends the wait too.
    timeout(-1);
    getch();
  }
  Stop();
}

}  // namespace nycl_term
