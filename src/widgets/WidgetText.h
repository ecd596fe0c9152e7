// Text helpers shared by the widget sources.
#ifndef NYCL_SRC_WIDGETS_WIDGETTEXT_H
#define NYCL_SRC_WIDGETS_WIDGETTEXT_H

#include <cstring>
#include <memory>

namespace nycl {
namespace widgets_internal {

// Copies at most `size` bytes of `text` into `out` and puts the NUL at index
// min(length, size); `out` holds size + 1 bytes. Does nothing for a null `out` or size < 0.
inline void CopyBounded(const char* text, char* out, int size) {
  if (out == nullptr || size < 0) return;
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(size)) length = static_cast<size_t>(size);
  std::memcpy(out, text, length);
  out[length] = '\0';
}

// A heap copy of the first `length` bytes of `text`, NUL-terminated.
inline std::unique_ptr<char[]> Duplicate(const char* text, size_t length) {
  std::unique_ptr<char[]> copy(new char[length + 1]);
  std::memcpy(copy.get(), text, length);
  copy[length] = '\0';
  return copy;
}

inline std::unique_ptr<char[]> Duplicate(const char* text) {
  return Duplicate(text, std::strlen(text));
}

}  // namespace widgets_internal
}  // namespace nycl

#endif  // NYCL_SRC_WIDGETS_WIDGETTEXT_H
