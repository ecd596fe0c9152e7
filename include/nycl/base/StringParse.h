// StringParse: cuts a writable C string into tokens in place.
#ifndef NYCL_BASE_STRINGPARSE_H
#define NYCL_BASE_STRINGPARSE_H

namespace nycl {

// Stateless. Each operation takes the address of a cursor into a writable, NUL-terminated
// buffer, writes a NUL behind the token it finds, moves the cursor past it and returns a
// pointer to the token inside the same buffer (valid as long as the buffer is), or null
// when the buffer is exhausted.
class StringParse {
 public:
  // The next token: a word ending at whitespace, a double-quoted text, or a braced text.
  static char* GetToken(char** cursor);
  // The rest of the buffer, leading whitespace skipped, unless it starts with a double quote
  // or a brace, in which case the quoted or braced text as GetToken gives it.
  static char* GetWhole(char** cursor);
};

}  // namespace nycl

#endif  // NYCL_BASE_STRINGPARSE_H
