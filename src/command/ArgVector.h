// The tokeniser behind NyCommand::Create: a protocol line split into one C-heap block.
#ifndef NYCL_SRC_COMMAND_ARGVECTOR_H
#define NYCL_SRC_COMMAND_ARGVECTOR_H

namespace nycl {

// Splits `line` (NUL-terminated) into its tokens, escapes resolved, and returns them as one
// malloc'd block: *count pointers to the tokens, a null entry, then the tokens' bytes. The block
// is freed with one free() of the returned pointer; the tokens may be written in place up to
// their terminating NUL. Never null, also for a line without tokens. Ends the process with
// status 1 when memory runs out. The rules are those of NyCommand::BuildArgList (see
// ArgVector.cc).
char** SplitLine(const char* line, int* count);

// The byte a backslash followed by `c` stands for: \n, \r and \t give line feed, carriage
// return and tab, any other byte stands for itself.
inline char EscapedByte(char c) {
  switch (c) {
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return c;
  }
}

}  // namespace nycl

#endif  // NYCL_SRC_COMMAND_ARGVECTOR_H
