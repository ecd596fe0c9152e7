// Token grammar:
//
//   token   := quoted | braced | word
//   quoted  := '"' any byte but '"' ... ( '"' | end of buffer )
//   braced  := '{' any byte but '}' ... ( '}' | end of buffer )
//   word    := any byte but whitespace ... ( whitespace | end of buffer )
//
// Tokens are separated by whitespace (the C library's isspace). There are no escapes: a
// closing quote directly followed by other bytes ends the token, and those bytes start the
// next one. The byte that ends a token is overwritten with NUL and the cursor moves behind
// it; a token that runs to the end leaves the cursor on the terminating NUL.
#include "nycl/base/StringParse.h"

#include <cctype>
#include <cstring>

namespace nycl {

namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Scans from `start` to the first byte that ends the token, cuts it there and moves the
// cursor. `closer` is the closing byte of a quoted or braced token, or 0 for a word.
char* CutToken(char** cursor, char* start, char closer) {
  char* scan = start;
  if (closer != '\0') {
    while (*scan != '\0' && *scan != closer) ++scan;
  } else {
    while (*scan != '\0' && !IsSpace(*scan)) ++scan;
  }
  if (*scan != '\0') {
    *scan = '\0';
    *cursor = scan + 1;
  } else {
    *cursor = scan;
  }
  return start;
}

// Steps 1 and 2 shared by both operations: null when there is nothing left, otherwise the
// first byte that is not whitespace.
char* SkipToStart(char** cursor) {
  if (cursor == nullptr || *cursor == nullptr || **cursor == '\0') return nullptr;
  char* position = *cursor;
  while (*position != '\0' && IsSpace(*position)) ++position;
  return position;
}

char* CutQuotedOrBraced(char** cursor, char* position) {
  if (*position == '"') return CutToken(cursor, position + 1, '"');
  return CutToken(cursor, position + 1, '}');
}

}  // namespace

char* StringParse::GetToken(char** cursor) {
  char* position = SkipToStart(cursor);
  if (position == nullptr) return nullptr;
  if (*position == '"' || *position == '{') return CutQuotedOrBraced(cursor, position);
  return CutToken(cursor, position, '\0');
}

char* StringParse::GetWhole(char** cursor) {
  char* position = SkipToStart(cursor);
  if (position == nullptr) return nullptr;
  if (*position == '"' || *position == '{') return CutQuotedOrBraced(cursor, position);
  *cursor = position;
  return position;
}

}  // namespace nycl
