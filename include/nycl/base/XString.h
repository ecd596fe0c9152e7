// XString: the library's byte string.
//
// An XString is one pointer to a shared, reference-counted StringRep, so strings are passed
// by value cheaply and copied only when one holder changes its text (copy on write). Text may
// hold any byte; the buffer is always NUL-terminated at length(), so c_str() is always valid,
// but the searching operations use the C library and stop at the first embedded NUL.
//
// Threads: an XString and every copy sharing its representation belong to one thread at a
// time. The one representation shared across threads, the empty one, is safe to share
// because reference counts are updated atomically.
//
// Errors come in two styles, and a caller that catches must take both:
//  - thrown by value as XStringException: "Out of memory!" and "String Iterator out of bounds";
//  - thrown as a heap-allocated XStringException* that the catcher owns and deletes: the
//    messages of Erase, Insert, Substring(first, last) and Reserve.
// A string is unchanged when a check fails before any byte is moved.
#ifndef NYCL_BASE_XSTRING_H
#define NYCL_BASE_XSTRING_H

#include <atomic>
#include <cstdint>

namespace nycl {

class XStringException {
 public:
  // `message` must be a text with static lifetime; the exception keeps only the pointer.
  explicit XStringException(const char* message) : message_(message) {}
  const char* GetMessage() const { return message_; }

 private:
  const char* message_;
};

// One distinct text. The buffer holds capacity + 1 bytes from the C allocator.
struct StringRep {
  std::atomic<int32_t> refcount;
  int32_t length;
  int32_t capacity;
  char* buffer;
};

class XString {
 public:
  // A position in a string: 0 <= index <= length, where index == length is the end.
  // An iterator borrows its string and is valid while that string lives.
  class Iterator {
   public:
    Iterator(const XString* string, int index) : string_(string), index_(index) {}

    int Index() const { return index_; }
    const XString* String() const { return string_; }

    // The byte at the position; at the end position, the terminating NUL.
    char operator*() const;
    // Moves by `offset`. A negative sum counts from the end (length + sum), as At does, so
    // begin() + (-1) is the last byte; a result outside 0..length then throws "String Iterator
    // out of bounds".
    Iterator operator+(int offset) const;
    Iterator operator-(int offset) const { return *this + -offset; }
    Iterator& operator++();
    Iterator& operator--();

    bool operator==(const Iterator& other) const {
      return string_ == other.string_ && index_ == other.index_;
    }
    bool operator!=(const Iterator& other) const { return !(*this == other); }

   private:
    const XString* string_;
    int index_;
  };

  // The shared empty string.
  XString();
  // `count` bytes of `text`; a negative count takes the text up to its NUL. A null text or a
  // count of 0 gives the shared empty representation.
  XString(const char* text, int count = -1);  // NOLINT: implicit from C strings by design
  XString(const XString& other);
  XString& operator=(const XString& other);
  XString& operator=(const char* text);
  ~XString();

  const char* c_str() const { return rep_->buffer; }
  int length() const { return rep_->length; }
  bool empty() const { return rep_->length == 0; }

  // Changing operations. Each first makes the representation this string's own.
  XString& Append(char c);
  XString& Append(const char* text, int count);
  XString& Append(const char* text);  // a null pointer appends nothing
  XString& Append(const XString& other);
  XString& operator+=(char c) { return Append(c); }
  XString& operator+=(const char* text) { return Append(text); }
  XString& operator+=(const XString& other) { return Append(other); }

  // Inserts before `index` (0 <= index <= length, else a heap-thrown
  // "Invalid position in XString::Insert").
  XString& Insert(int index, const char* text, int count = -1);
  XString& Insert(int index, const XString& other);
  // Inserts `count` copies of `c`; a negative count throws "Invalid count to XString::Insert".
  XString& Insert(int index, char c, int count);

  // Stores `c` at `index`; at index == length the string grows by one byte.
  void SetAt(int index, char c);

  // Removes [first, last); last before first throws "Invalid Iterator range to String::Erase".
  void Erase(Iterator first, Iterator last);
  // Removes the byte at `position`; the end position throws "Invalid String Iterator for Erase".
  void Erase(Iterator position);
  // As Erase(first, last) with indices; negative indices count from the end.
  void Erase(int first, int last);

  void ToUpper();
  void ToLower();
  // Removes trailing spaces (0x20 only).
  void TrimRight();
  // Removes the whole trailing run of `c`; true if at least one byte went.
  bool TrimRight(char c);

  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, rep_->length); }
  // The position `index`; a negative index counts from the end (length + index).
  Iterator At(int index) const;

  Iterator Find(char c) const;
  Iterator FindLast(char c) const;
  Iterator Find(const XString& text) const;
  Iterator Find(const char* text) const;

  // `count` bytes from `from` (negative: to the end); more than remain throws
  // "String Iterator out of bounds".
  XString Substring(Iterator from, int count = -1) const;
  // Bytes [first, last); both must belong to this string with first <= last.
  XString Substring(Iterator first, Iterator last) const;

  // The text in single quotes with each single quote doubled.
  XString Quote() const;

  // Makes room for a text of `n` bytes (0 when the text does not grow) and makes the
  // representation this string's own; the room never falls below the current length. A
  // negative `n` throws "Invalid size to XString::Reserve" (heap-thrown) and changes nothing;
  // an `n` no representation can hold throws "Out of memory!".
  void Reserve(int n);

  // Exposed for tests and diagnostics: the representation currently held.
  const StringRep* Rep() const { return rep_; }

 private:
  static StringRep* EmptyRep();
  static void Release(StringRep* rep);
  void CheckPosition(int index) const;
  // Makes the text `count` bytes longer with a gap of that size at `index` (0 <= index <=
  // length, count > 0) and returns the gap for the caller to fill.
  char* OpenGap(int index, int count);

  StringRep* rep_;
};

XString operator+(const XString& left, const XString& right);
XString operator+(const XString& left, const char* right);
XString operator+(const char* left, const XString& right);

// Byte-wise comparison as unsigned bytes up to the first NUL; a prefix is the smaller.
int Compare(const char* left, const char* right);

inline bool operator==(const char* l, const XString& r) {
  return Compare(l, r.c_str()) == 0;
}
inline bool operator!=(const char* l, const XString& r) {
  return Compare(l, r.c_str()) != 0;
}
inline bool operator<(const char* l, const XString& r) {
  return Compare(l, r.c_str()) < 0;
}
inline bool operator<=(const char* l, const XString& r) {
  return Compare(l, r.c_str()) <= 0;
}
inline bool operator>(const char* l, const XString& r) {
  return Compare(l, r.c_str()) > 0;
}
inline bool operator>=(const char* l, const XString& r) {
  return Compare(l, r.c_str()) >= 0;
}
inline bool operator==(const XString& l, const char* r) {
  return Compare(l.c_str(), r) == 0;
}
inline bool operator!=(const XString& l, const char* r) {
  return Compare(l.c_str(), r) != 0;
}
inline bool operator==(const XString& l, const XString& r) {
  return Compare(l.c_str(), r.c_str()) == 0;
}
inline bool operator!=(const XString& l, const XString& r) {
  return Compare(l.c_str(), r.c_str()) != 0;
}
inline bool operator<(const XString& l, const XString& r) {
  return Compare(l.c_str(), r.c_str()) < 0;
}

}  // namespace nycl

#endif  // NYCL_BASE_XSTRING_H
