#include "Keys.h"

#include <strings.h>

#include <cstdlib>

namespace nycl_term {

namespace {

struct NamedKey {
  const char* name;
  Key::Kind kind;
};

// The first name of a kind is the one KeyName writes.
constexpr NamedKey kNames[] = {
    {"Enter", Key::kEnter},
    {"Tab", Key::kTab},
    {"BTab", Key::kBackTab},
    {"Esc", Key::kEsc},
    {"Escape", Key::kEsc},
    {"Up", Key::kUp},
    {"Down", Key::kDown},
    {"Left", Key::kLeft},
    {"Right", Key::kRight},
    {"Home", Key::kHome},
    {"End", Key::kEnd},
    {"BSpace", Key::kBackspace},
    {"Backspace", Key::kBackspace},
    {"Del", Key::kDelete},
    {"Delete", Key::kDelete},
};

}  // namespace

std::string KeyName(const Key& key) {
  switch (key.kind) {
    case Key::kChar:
      if (key.code == '<') return "<lt>";
      if (key.code == ' ') return "<Space>";
      return std::string(1, static_cast<char>(key.code));
    case Key::kFunction:
      return "<F" + std::to_string(key.code) + ">";
    case Key::kNoMoreKeys:
      return "<no more keys>";
    case Key::kSessionEnded:
      return "<session ended>";
    default:
      break;
  }
  for (const NamedKey& named : kNames) {
    if (named.kind == key.kind) return std::string("<") + named.name + ">";
  }
  return "<?>";
}

Key KeyNamed(const std::string& name) {
  for (const NamedKey& named : kNames) {
    if (strcasecmp(named.name, name.c_str()) == 0) return {named.kind, 0};
  }
  if (strcasecmp(name.c_str(), "lt") == 0) return Key::Char('<');
  if (strcasecmp(name.c_str(), "Space") == 0) return Key::Char(' ');
  if (name.size() >= 2 && name.size() <= 3 && (name[0] == 'F' || name[0] == 'f')) {
    char* end = nullptr;
    const long number = std::strtol(name.c_str() + 1, &end, 10);
    if (*end == '\0' && number >= 1 && number <= 24) return Key::Function(static_cast<int>(number));
  }
  return {};
}

}  // namespace nycl_term
