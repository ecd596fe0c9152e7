#include "KeyScript.h"

namespace nycl_term {

bool KeyScript::Parse(const std::string& text, std::string* error) {
  keys_.clear();
  next_ = 0;
  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') continue;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '<') {
        keys_.push_back(Key::Char(line[i]));
        continue;
      }
      const size_t close = line.find('>', i + 1);
      const std::string name =
          close == std::string::npos ? std::string() : line.substr(i + 1, close - i - 1);
      const Key key = KeyNamed(name);
      if (key.kind == Key::kNoMoreKeys) {
        *error = "line " + std::to_string(number) + ": no key is named \"" +
                 line.substr(i, close == std::string::npos ? std::string::npos : close - i + 1) +
                 "\" (a \"<\" is written <lt>)";
        return false;
      }
      keys_.push_back(key);
      i = close;
    }
  }
  return true;
}

bool KeyScript::Read(FILE* file, std::string* error) {
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  if (ferror(file)) {
    *error = "could not be read";
    return false;
  }
  return Parse(text, error);
}

Key KeyScript::NextKey() {
  if (next_ >= keys_.size()) return {};
  const Key key = keys_[next_++];
  typed_ += KeyName(key);
  return key;
}

std::string KeyScript::TakeTyped() {
  std::string typed;
  typed.swap(typed_);
  return typed;
}

}  // namespace nycl_term
