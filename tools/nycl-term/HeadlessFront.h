// HeadlessFront: the front of a session without a terminal. Keys come from a key script; each
// time the program waits for the user the screen is printed as text, followed by the keys the
// wait took and the lines it sent:
//
//   === 3: menu "Customer" ===                   the wait's number and what it waits for
//   +--------------------------------------------------------------------------------+
//   |Customer: [Query] Update  Orders  Exit                                          |
//   | ... the program's 24 lines, 80 columns each, between bars                       |
//   +--------------------------------------------------------------------------------+
//   |F5 Save  F10 Quit                                                               |  the status
//   line
//   +--------------------------------------------------------------------------------+
//   keys: <Right><Enter>
//   sent: menu 2
//
// Lines drawn on the screen print as "-", "|" and "+"; attributes do not show. A report the
// program ends is printed between "=== report N ===" and "=== end of report N ===" (a page
// break as "--- page break ---"), and the end of the session as "=== end: WHY ===" with the
// last screen.
//
// Threads: the command thread. Borrows the stream and the key script.
#ifndef NYCL_TERM_HEADLESSFRONT_H
#define NYCL_TERM_HEADLESSFRONT_H

#include <cstdio>

#include "Front.h"
#include "KeyScript.h"

namespace nycl_term {

// Prints `screen` framed, its last line (the status line) below a rule.
void PrintScreen(FILE* out, const Grid& screen);

class HeadlessFront : public Front {
 public:
  HeadlessFront(FILE* out, KeyScript* keys) : out_(out), keys_(keys) {}

  Key NextKey() override { return keys_->NextKey(); }
  void BeginWait(const std::string& what) override;
  void Show(const Grid& screen, int, int) override;
  void EndWait() override;
  void Answered(const std::string& line) override;
  void Refresh(const Grid&) override {}
  void Bell() override {}
  void Report(const std::vector<std::string>& lines, const std::string&) override;
  void SessionEnded(const Grid& screen, const std::string& why, bool) override;

 private:
  FILE* out_;
  KeyScript* keys_;
  int waits_ = 0;
  int reports_ = 0;
  std::string what_;
  bool shown_ = false;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_HEADLESSFRONT_H
