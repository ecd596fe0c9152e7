#include "nycl/base/XString.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace nycl {

namespace {

const char kOutOfMemory[] = "Out of memory!";
const char kOutOfBounds[] = "String Iterator out of bounds";
const char kBadEraseRange[] = "Invalid Iterator range to String::Erase";
const char kBadEraseIterator[] = "Invalid String Iterator for Erase";
const char kBadInsertPosition[] = "Invalid position in XString::Insert";
const char kBadInsertCount[] = "Invalid count to XString::Insert";
const char kBadReserveSize[] = "Invalid size to XString::Reserve";
const char kBadSubstringRange[] =
    "Invalid start and end arguments to Substring, start must be before end";

// Room added on top of every requested size, so that appending byte by byte reallocates
// only every 32 bytes.
constexpr int kSlack = 32;
// The longest text a representation can hold: its capacity, slack included, and the NUL must
// still fit an int.
constexpr int kMaxLength = INT_MAX - kSlack - 1;

// The length of a text of `length` bytes grown by `count` (>= 0); a text longer than
// kMaxLength cannot be held, as if memory had run out.
int GrownLength(int length, int count) {
  if (count > kMaxLength - length) throw XStringException(kOutOfMemory);
  return length + count;
}

StringRep* NewRep() {
  StringRep* rep = new (std::nothrow) StringRep;
  if (rep == nullptr) throw XStringException(kOutOfMemory);
  rep->refcount.store(1, std::memory_order_relaxed);
  rep->length = 0;
  rep->capacity = 0;
  rep->buffer = nullptr;
  return rep;
}

}  // namespace

// The empty representation is created once and keeps a reference of its own, so it is never
// freed however its users come and go.
StringRep* XString::EmptyRep() {
  static StringRep* const empty = [] {
    StringRep* rep = NewRep();
    rep->buffer = static_cast<char*>(std::calloc(1, 1));
    if (rep->buffer == nullptr) throw XStringException(kOutOfMemory);
    return rep;
  }();
  return empty;
}

void XString::Release(StringRep* rep) {
  if (rep->refcount.fetch_sub(1, std::memory_order_acq_rel) - 1 < 1) {
    std::free(rep->buffer);
    delete rep;
  }
}

XString::XString() : rep_(EmptyRep()) {
  rep_->refcount.fetch_add(1, std::memory_order_relaxed);
}

XString::XString(const char* text, int count) {
  if (text != nullptr && count < 0) count = static_cast<int>(std::strlen(text));
  if (text == nullptr || count == 0) {
    rep_ = EmptyRep();
    rep_->refcount.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  rep_ = NewRep();
  try {
    Reserve(GrownLength(count, kSlack));
  } catch (...) {
    Release(rep_);
    throw;
  }
  std::memcpy(rep_->buffer, text, count);
  rep_->length = count;
  rep_->buffer[count] = '\0';
}

XString::XString(const XString& other) : rep_(other.rep_) {
  rep_->refcount.fetch_add(1, std::memory_order_relaxed);
}

XString& XString::operator=(const XString& other) {
  other.rep_->refcount.fetch_add(1, std::memory_order_relaxed);
  Release(rep_);
  rep_ = other.rep_;
  return *this;
}

XString& XString::operator=(const char* text) {
  XString fresh(text);
  return *this = fresh;
}

XString::~XString() {
  Release(rep_);
}

// A shared representation is replaced by an own one that holds at least the current text,
// whatever `n` asks for: the whole text is copied into it.
void XString::Reserve(int n) {
  if (n < 0) throw new XStringException(kBadReserveSize);
  if (n > kMaxLength) throw XStringException(kOutOfMemory);
  StringRep* rep = rep_;
  if (rep->refcount.load(std::memory_order_acquire) != 1) {
    StringRep* own = NewRep();
    int capacity = (n > rep->length ? n : rep->length) + kSlack;
    own->buffer = static_cast<char*>(std::malloc(static_cast<size_t>(capacity) + 1));
    if (own->buffer == nullptr) {
      delete own;
      throw XStringException(kOutOfMemory);
    }
    std::memcpy(own->buffer, rep->buffer, static_cast<size_t>(rep->length) + 1);
    own->length = rep->length;
    own->capacity = capacity;
    Release(rep);
    rep_ = own;
    return;
  }
  if (n > rep->capacity || rep->buffer == nullptr) {
    void* grown = std::realloc(rep->buffer, static_cast<size_t>(n) + kSlack + 1);
    if (grown == nullptr) throw XStringException(kOutOfMemory);
    rep->buffer = static_cast<char*>(grown);
    rep->capacity = n + kSlack;
  }
}

XString& XString::Append(char c) {
  return Append(&c, 1);
}

XString& XString::Append(const char* text, int count) {
  if (text == nullptr || count <= 0) return *this;
  int old_length = rep_->length;
  // `text` may point into this very string; copy it before a reallocation can move it.
  if (text >= rep_->buffer && text <= rep_->buffer + old_length) {
    XString keep(text, count);
    return Append(keep.c_str(), count);
  }
  Reserve(GrownLength(old_length, count));
  std::memcpy(rep_->buffer + old_length, text, count);
  rep_->length = old_length + count;
  rep_->buffer[rep_->length] = '\0';
  return *this;
}

XString& XString::Append(const char* text) {
  if (text == nullptr) return *this;
  return Append(text, static_cast<int>(std::strlen(text)));
}

XString& XString::Append(const XString& other) {
  if (other.rep_ == rep_) {
    XString keep(other);
    return Append(keep.c_str(), keep.length());
  }
  return Append(other.c_str(), other.length());
}

XString operator+(const XString& left, const XString& right) {
  XString result(left);
  result.Append(right);
  return result;
}

XString operator+(const XString& left, const char* right) {
  XString result(left);
  result.Append(right);
  return result;
}

XString operator+(const char* left, const XString& right) {
  if (left == nullptr || *left == '\0') return right;
  XString result(left);
  result.Append(right);
  return result;
}

char* XString::OpenGap(int index, int count) {
  int old_length = rep_->length;
  Reserve(GrownLength(old_length, count));
  char* buffer = rep_->buffer;
  if (index < old_length) std::memmove(buffer + index + count, buffer + index, old_length - index);
  rep_->length = old_length + count;
  buffer[rep_->length] = '\0';
  return buffer + index;
}

XString& XString::Insert(int index, const char* text, int count) {
  if (text == nullptr) {
    text = "";
    count = 0;
  }
  if (count < 0) count = static_cast<int>(std::strlen(text));
  if (index < 0 || index > rep_->length) throw new XStringException(kBadInsertPosition);
  if (count == 0) return *this;
  XString keep;
  if (text >= rep_->buffer && text <= rep_->buffer + rep_->length) {
    keep = XString(text, count);
    text = keep.c_str();
  }
  std::memcpy(OpenGap(index, count), text, count);
  return *this;
}

XString& XString::Insert(int index, const XString& other) {
  XString keep(other);
  return Insert(index, keep.c_str(), keep.length());
}

XString& XString::Insert(int index, char c, int count) {
  if (count < 0) throw new XStringException(kBadInsertCount);
  if (index < 0 || index > rep_->length) throw new XStringException(kBadInsertPosition);
  if (count == 0) return *this;
  std::memset(OpenGap(index, count), c, count);
  return *this;
}

void XString::CheckPosition(int index) const {
  if (index < 0 || index > rep_->length) throw XStringException(kOutOfBounds);
}

void XString::SetAt(int index, char c) {
  CheckPosition(index);
  if (index == rep_->length) {
    Append(c);
    return;
  }
  Reserve(0);
  rep_->buffer[index] = c;
}

void XString::Erase(Iterator first, Iterator last) {
  Reserve(0);
  if (last.Index() < first.Index()) throw new XStringException(kBadEraseRange);
  CheckPosition(first.Index());
  CheckPosition(last.Index());
  char* buffer = rep_->buffer;
  std::memmove(buffer + first.Index(), buffer + last.Index(), rep_->length - last.Index());
  rep_->length -= last.Index() - first.Index();
  buffer[rep_->length] = '\0';
}

void XString::Erase(Iterator position) {
  if (position.Index() >= rep_->length) throw new XStringException(kBadEraseIterator);
  Erase(position, position + 1);
}

void XString::Erase(int first, int last) {
  Erase(At(first), At(last));
}

void XString::ToUpper() {
  Reserve(0);
  for (int i = 0; i < rep_->length; ++i) {
    rep_->buffer[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(rep_->buffer[i])));
  }
}

void XString::ToLower() {
  Reserve(0);
  for (int i = 0; i < rep_->length; ++i) {
    rep_->buffer[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(rep_->buffer[i])));
  }
}

void XString::TrimRight() {
  TrimRight(' ');
}

bool XString::TrimRight(char c) {
  Reserve(0);
  int length = rep_->length;
  while (length > 0 && rep_->buffer[length - 1] == c) --length;
  if (length == rep_->length) return false;
  rep_->length = length;
  rep_->buffer[length] = '\0';
  return true;
}

XString::Iterator XString::At(int index) const {
  if (index < 0) index += rep_->length;
  CheckPosition(index);
  return Iterator(this, index);
}

XString::Iterator XString::Find(char c) const {
  const char* found = std::strchr(rep_->buffer, c);
  if (found == nullptr || c == '\0') return end();
  return Iterator(this, static_cast<int>(found - rep_->buffer));
}

XString::Iterator XString::FindLast(char c) const {
  const char* found = std::strrchr(rep_->buffer, c);
  if (found == nullptr || c == '\0') return end();
  return Iterator(this, static_cast<int>(found - rep_->buffer));
}

XString::Iterator XString::Find(const XString& text) const {
  return Find(text.c_str());
}

XString::Iterator XString::Find(const char* text) const {
  if (text == nullptr) return end();
  const char* found = std::strstr(rep_->buffer, text);
  if (found == nullptr) return end();
  return Iterator(this, static_cast<int>(found - rep_->buffer));
}

XString XString::Substring(Iterator from, int count) const {
  CheckPosition(from.Index());
  int remaining = rep_->length - from.Index();
  if (count < 0) count = remaining;
  if (count > remaining) throw XStringException(kOutOfBounds);
  return XString(rep_->buffer + from.Index(), count);
}

XString XString::Substring(Iterator first, Iterator last) const {
  if (first.String() != last.String() || first.String() != this || last.Index() < first.Index()) {
    throw new XStringException(kBadSubstringRange);
  }
  CheckPosition(first.Index());
  CheckPosition(last.Index());
  return XString(rep_->buffer + first.Index(), last.Index() - first.Index());
}

XString XString::Quote() const {
  XString quoted("'");
  const char* text = rep_->buffer;
  for (int i = 0; i < rep_->length; ++i) {
    if (text[i] == '\'') quoted.Append('\'');
    quoted.Append(text[i]);
  }
  quoted.Append('\'');
  return quoted;
}

char XString::Iterator::operator*() const {
  string_->CheckPosition(index_);
  return string_->c_str()[index_];
}

// A negative sum counts from the end, as At does: begin() + (-1) is the last byte.
XString::Iterator XString::Iterator::operator+(int offset) const {
  int index = index_ + offset;
  if (index < 0) index += string_->length();
  string_->CheckPosition(index);
  return Iterator(string_, index);
}

XString::Iterator& XString::Iterator::operator++() {
  *this = *this + 1;
  return *this;
}

XString::Iterator& XString::Iterator::operator--() {
  *this = *this + -1;
  return *this;
}

int Compare(const char* left, const char* right) {
  if (left == nullptr) left = "";
  if (right == nullptr) right = "";
  return std::strcmp(left, right);
}

}  // namespace nycl
