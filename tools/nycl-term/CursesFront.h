// CursesFront: the interactive front. It draws the screen grid on the terminal with ncurses
// and reads the user's keys. While it waits for a key it looks every tenth of a second
// whether the session has ended, so a server that goes away is noticed in the middle of a
// dialog.
//
// The screen is drawn on the stream given to the constructor. Between Start and Stop the
// terminal belongs to ncurses: the process's standard output and error are sent to the log
// file given to Start (or discarded), so that nothing else writes over the screen, and
// restored by Stop, also when the process exits without Stop (the library ends it when the
// server refuses the login). <Ctrl-C> ends the program as usual (ncurses restores the
// terminal).
//
// Threads: the command thread (the one thread that uses ncurses).
#ifndef NYCL_TERM_CURSESFRONT_H
#define NYCL_TERM_CURSESFRONT_H

#include <curses.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "Front.h"

namespace nycl_term {

class CursesFront : public Front {
 public:
  // `session_ended` tells whether the connection has ended; it is called on this thread.
  // `screen`: the terminal's output (borrowed).
  CursesFront(std::function<bool()> session_ended, FILE* screen);
  ~CursesFront() override;

  // Takes the terminal; false with *error set when standard input or output is no terminal.
  // `log_path`: where standard error goes meanwhile ("" for nowhere).
  bool Start(const std::string& log_path, std::string* error);
  // Gives the terminal back. Safe to call more than once.
  void Stop();

  Key NextKey() override;
  void BeginWait(const std::string&) override {}
  void Show(const Grid& screen, int cursor_x, int cursor_y) override;
  void EndWait() override {}
  void Answered(const std::string&) override {}
  void Refresh(const Grid& screen) override { Show(screen, -1, -1); }
  void Bell() override;
  void Report(const std::vector<std::string>&, const std::string&) override {}
  void SessionEnded(const Grid& screen, const std::string& why, bool failed) override;

 private:
  void Draw();

  std::function<bool()> session_ended_;
  FILE* screen_;
  SCREEN* terminal_ = nullptr;
  bool started_ = false;
  int saved_stdout_ = -1;
  int saved_stderr_ = -1;
  std::unique_ptr<Grid> last_;
  int cursor_x_ = -1;
  int cursor_y_ = -1;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_CURSESFRONT_H
