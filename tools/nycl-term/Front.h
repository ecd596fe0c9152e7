// Front: where nycl-term shows the screen and takes keys from. Two exist: the terminal front
// (ncurses, interactive) and the headless printer (keys from a key script, the screen printed
// as text each time the program waits for the user).
//
// The data state calls it on the command thread only, in this order for each wait:
// BeginWait, then Show and NextKey alternately until the dialog ends, EndWait, then Answered
// for each line the wait sends to the server.
#ifndef NYCL_TERM_FRONT_H
#define NYCL_TERM_FRONT_H

#include <string>
#include <vector>

#include "Grid.h"
#include "Keys.h"

namespace nycl_term {

class Front : public KeySource {
 public:
  // The program waits for the user; `what` says for what ("menu Customer", "input", ...).
  virtual void BeginWait(const std::string& what) = 0;
  // The screen as it stands, with the cursor at (x, y), or hidden when x is negative.
  virtual void Show(const Grid& screen, int cursor_x, int cursor_y) = 0;
  virtual void EndWait() = 0;
  // A line sent to the server in answer to the user.
  virtual void Answered(const std::string& line) = 0;
  // The screen changed outside a wait (the program flushes or sleeps).
  virtual void Refresh(const Grid& screen) = 0;
  virtual void Bell() = 0;
  // A report the program printed, saved in the file `saved_to` ("" when it was not saved).
  virtual void Report(const std::vector<std::string>& lines, const std::string& saved_to) = 0;
  // The session is over; `why` says how it ended. With `failed` the front keeps the screen
  // until the user has seen it.
  virtual void SessionEnded(const Grid& screen, const std::string& why, bool failed) = 0;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_FRONT_H
