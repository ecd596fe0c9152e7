// Keys: what the user presses, as the dialogs of nycl-term see it, and where keys come from.
//
// Both fronts deliver the same keys: the terminal front translates what ncurses reads, the key
// script names them in writing. A key's name is the key script's spelling of it: a printable
// character stands for itself ("<" is written "<lt>"), every other key is written in angle
// brackets: <Enter> <Tab> <BTab> <Esc> <Up> <Down> <Left> <Right> <Home> <End> <BSpace>
// <Del> <Space> <F1> ... <F24>.
#ifndef NYCL_TERM_KEYS_H
#define NYCL_TERM_KEYS_H

#include <string>

namespace nycl_term {

struct Key {
  enum Kind {
    kChar,  // `code` is the byte typed
    kEnter,
    kTab,
    kBackTab,
    kEsc,
    kUp,
    kDown,
    kLeft,
    kRight,
    kHome,
    kEnd,
    kBackspace,
    kDelete,
    kFunction,  // `code` is the number of the function key, 1 for F1
    // Not keys: no key will come any more (the key script ended), or the connection ended
    // while the dialog waited.
    kNoMoreKeys,
    kSessionEnded,
  };
  Kind kind = kNoMoreKeys;
  int code = 0;

  static Key Char(char c) { return {kChar, static_cast<unsigned char>(c)}; }
  static Key Function(int n) { return {kFunction, n}; }
  bool operator==(const Key& other) const { return kind == other.kind && code == other.code; }
};

// The key script's spelling of `key` ("a", "<lt>", "<Enter>", "<F5>").
std::string KeyName(const Key& key);
// The key a name in angle brackets stands for (without the brackets, case ignored), or a key
// of kind kNoMoreKeys when the name means nothing.
Key KeyNamed(const std::string& name);

// Where the dialogs take their keys from.
class KeySource {
 public:
  virtual ~KeySource() = default;
  // The next key, waiting for it as long as needed; kNoMoreKeys and kSessionEnded end the
  // dialog that asked.
  virtual Key NextKey() = 0;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_KEYS_H
