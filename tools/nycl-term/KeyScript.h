// KeyScript: the keys of a headless session, read from a file or from standard input.
//
// Grammar (one stream of keys; line feeds only separate lines and type nothing):
//
//   script  := { line "\n" }
//   line    := "#" any-text          a comment, typing nothing
//            | { char | "<" name ">" }
//   name    := a key name of Keys.h, case ignored ("Enter", "F5", "lt", ...)
//
// Every other byte, blanks included, is typed as it stands; a carriage return before a line
// feed is dropped. A "<" that does not open a known name is an error, reported with its line.
//
// The keys are handed out in order as the dialogs ask; a dialog that asks after the last one
// gets kNoMoreKeys. The source also remembers which keys each dialog took, so the headless
// printer can show them.
#ifndef NYCL_TERM_KEYSCRIPT_H
#define NYCL_TERM_KEYSCRIPT_H

#include <cstdio>
#include <string>
#include <vector>

#include "Keys.h"

namespace nycl_term {

class KeyScript : public KeySource {
 public:
  // Parses `text`; false with *error set ("line N: ...") when it holds an unknown key name.
  bool Parse(const std::string& text, std::string* error);
  // Reads all of `file` and parses it.
  bool Read(FILE* file, std::string* error);

  Key NextKey() override;
  // The names of the keys taken since the last call, joined ("ann<Enter>").
  std::string TakeTyped();
  bool Exhausted() const { return next_ >= keys_.size(); }

 private:
  std::vector<Key> keys_;
  size_t next_ = 0;
  std::string typed_;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_KEYSCRIPT_H
