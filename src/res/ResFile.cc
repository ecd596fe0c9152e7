// The resource file loader.
//
// A file is read as raw bytes, one physical line (up to and including a line feed) at a time.
// Each line is examined by these rules, in order:
//   1. The line ends at its first carriage return or, without one, at its first line feed
//      (and at a NUL byte).
//   2. After leading blanks, an empty line or one starting with "#" is a comment.
//   3. Trailing blanks go. A final backslash not preceded by another one (or standing alone)
//      is removed and the next physical line is appended in its place, leading blanks and
//      all; the joined text starts over at rule 1. "\\" at the end stays and joins nothing.
//   4. With a cache, the text after "[file]" (trailing line feeds, tabs, carriage returns,
//      line feeds and double quotes stripped in that order) names a remote file; when the
//      cache knows it, the line from "[file]" on becomes the local file name and a quote.
//   5. "%include name" in the first column (any case) reads that file at once.
//   6. "%using ..." in the first column is ignored.
//   7. path ":" value, or path "=" value when the line has no ":". The path runs from the
//      first non-blank byte to the separator; the value starts after the blanks behind it
//      and loses every double quote. Lines with neither separator are ignored.
// Physical lines of any length are read whole. Only regular files are read: a name that
// leads to a pipe or a device is taken as a file that cannot be opened.
#include "nycl/res/ResFile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "nycl/cache/CCacheInterface.h"
#include "nycl/res/Atom.h"
#include "res/AtomPath.h"

namespace nycl {

namespace {

constexpr size_t kMaxIncludeDepth = 10;
constexpr int kLocalNameSize = 2000;
// A guess at the bytes of a file per name it interns, for reserving room in the atom table:
// entry lines run to some 40 to 80 bytes, most with a value of their own.
constexpr size_t kBytesPerNewName = 64;

// What every load in the process shares. Loads take the lock for their whole duration
// (nested includes re-enter it on the same thread).
struct LoaderState {
  std::recursive_mutex mutex;
  std::vector<std::string> include_stack;  // outermost first
  std::string line;                        // a logical line joined from continued pieces
};

LoaderState& Loader() {
  static LoaderState* state = new LoaderState();  // lives as long as the process
  return *state;
}

// The C library's white space. Every locale agrees on the ASCII bytes, so only the others
// are asked of it.
bool IsBlank(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  if (byte < 0x80) return byte == ' ' || (byte >= '\t' && byte <= '\r');
  return std::isspace(byte) != 0;
}

// Reads one file in large blocks and hands out its physical lines (up to and including a line
// feed) in place, in a buffer of its own (an included file is read while the including one is
// still open). While a line is examined, the value of the next one is already being looked up
// in the atom table (the lookup of a new value's place is the slowest step of a load).
class LineReader {
 public:
  explicit LineReader(FILE* file) : file_(file) {}
  ~LineReader() { std::free(buffer_); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next physical line and its length; null at the end of the file. The line stays valid,
  // and may be written (one byte past it too), until the next call.
  char* Next(size_t* length) {
    char* line = buffer_ + start_;
    char* feed =
        end_ > start_ ? static_cast<char*>(std::memchr(line, '\n', end_ - start_)) : nullptr;
    while (feed == nullptr && !eof_) {
      const size_t scanned = end_ - start_;
      Fill();
      line = buffer_ + start_;
      feed = static_cast<char*>(std::memchr(line + scanned, '\n', end_ - start_ - scanned));
    }
    const size_t size = feed != nullptr ? static_cast<size_t>(feed + 1 - line) : end_ - start_;
    if (size == 0) return nullptr;
    start_ += size;
    *length = size;
    Hint();
    return line;
  }

  // Appends the next physical line to `line`; false at the end of the file.
  bool Read(std::string& line) {
    size_t length;
    const char* next = Next(&length);
    if (next == nullptr) return false;
    line.append(next, length);
    return true;
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  // Moves what is left to the front and reads another block behind it, growing the buffer
  // for a line longer than it. One byte always stays free behind the data.
  void Fill() {
    const size_t left = end_ - start_;
    if (start_ > 0 && left > 0) std::memmove(buffer_, buffer_ + start_, left);
    start_ = 0;
    end_ = left;
    if (capacity_ - end_ < kBlock + 1) {
      const size_t capacity = capacity_ == 0 ? 4 * kBlock : 2 * capacity_;
      char* grown = static_cast<char*>(std::realloc(buffer_, capacity));
      if (grown == nullptr) throw std::bad_alloc();
      buffer_ = grown;
      capacity_ = capacity;
    }
    const size_t count = std::fread(buffer_ + end_, 1, capacity_ - end_ - 1, file_);
    end_ += count;
    if (count == 0) eof_ = true;
  }

  // Guesses where the value of the next line starts and ends and names it to the atom table,
  // when the next line is in the buffer already. Only a guess: a line that is continued, or
  // holds a NUL byte, may make it wrong, which costs nothing but the hint.
  void Hint() const {
    const char* text = buffer_ + start_;
    const size_t available = end_ - start_;
    const char* feed = static_cast<const char*>(std::memchr(text, '\n', available));
    const size_t size = feed != nullptr ? static_cast<size_t>(feed - text) : available;
    const char* separator = static_cast<const char*>(std::memchr(text, ':', size));
    if (separator == nullptr) separator = static_cast<const char*>(std::memchr(text, '=', size));
    if (separator == nullptr) return;
    const char* value = separator + 1;
    const char* stop = text + size;
    const char* cr = static_cast<const char*>(std::memchr(value, '\r', stop - value));
    if (cr != nullptr) stop = cr;
    while (value < stop && IsBlank(*value)) ++value;
    while (stop > value && IsBlank(stop[-1])) --stop;
    if (std::memchr(value, '"', stop - value) != nullptr) return;  // quotes go before interning
    Atom::Prefetch(value, static_cast<int>(stop - value));
  }

  FILE* file_;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t start_ = 0;  // the next line
  size_t end_ = 0;    // the end of the data read
  bool eof_ = false;
};

// Rule 1 for `length` bytes at `text`: the length up to its first carriage return, else up to
// its first line feed, or up to a NUL byte before either.
size_t LineEnd(const char* text, size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  const void* cr = std::memchr(text, '\r', length);
  if (cr != nullptr) return static_cast<size_t>(static_cast<const char*>(cr) - text);
  const void* lf = std::memchr(text, '\n', length);
  return lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - text) : length;
}

// Rule 1: cuts the line at its first carriage return, else at its first line feed (or at a
// NUL byte before either). Only the text from `from` on is searched: what precedes it was cut
// already and holds none of them.
void CutLineEnd(std::string& line, size_t from) {
  line.resize(from + LineEnd(line.data() + from, line.size() - from));
}

// Rule 3 for a line of `length` bytes (at least one) without trailing blanks.
bool IsContinued(const char* line, size_t length) {
  return line[length - 1] == '\\' && (length == 1 || line[length - 2] != '\\');
}

// Rules 1 to 3 for the line read last: false for a comment. Reads continuation lines.
// Each piece is scanned once, so a line continued over many pieces loads in linear time.
bool JoinLogicalLine(LineReader& reader, std::string& line) {
  size_t piece = 0;  // where the newest physical line starts
  size_t first = 0;  // nothing before this is anything but blanks
  for (;;) {
    CutLineEnd(line, piece);
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') return false;
    size_t length = line.size();
    while (length > 0 && IsBlank(line[length - 1])) --length;
    line.resize(length);
    if (!IsContinued(line.data(), length)) return true;
    line.resize(length - 1);
    piece = line.size();
    // A continuation at the end of the file leaves the text read so far.
    if (!reader.Read(line)) return true;
  }
}

// Opens `name` for reading when it is a regular file. Anything else is refused: a pipe would
// block the load, and a device such as /dev/zero never ends, so an include naming one would
// hang the client or exhaust its memory. The open itself does not wait for a pipe's writer.
FILE* OpenRegularFile(const char* name) {
  int fd;
  do {
    fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat info;
  FILE* file = nullptr;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

void StripTrailing(std::string& text, char c) {
  while (!text.empty() && text.back() == c) text.pop_back();
}

// Removes every double quote, in place.
void RemoveQuotes(char* text) {
  char* out = std::strchr(text, '"');
  if (out == nullptr) return;
  for (char* in = out; *in != '\0'; ++in) {
    if (*in != '"') *out++ = *in;
  }
  *out = '\0';
}

}  // namespace

ResFile::ResFile(const char* file_name, CCacheInterface* cache)
    : file_name_(nullptr), cache_(cache) {
  nodes_.push_back(&root_);
  ProcessFile(file_name);
}

ResFile::ResFile() : file_name_("<blank>"), cache_(nullptr) {
  nodes_.push_back(&root_);
  root_.ResolveTemplates(&root_);
}

ResFile::~ResFile() = default;

void ResFile::ProcessFile(const char* file_name) {
  if (file_name == nullptr) return;
  LoaderState& state = Loader();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.include_stack.size() >= kMaxIncludeDepth) return;
  for (const std::string& open : state.include_stack) {
    if (strcasecmp(open.c_str(), file_name) == 0) return;
  }
  FILE* file = OpenAllowed(file_name);
  if (file == nullptr) {
    std::string unquoted = file_name;
    if (!unquoted.empty() && unquoted.front() == '"') unquoted.erase(0, 1);
    if (!unquoted.empty() && unquoted.back() == '"') unquoted.pop_back();
    file = OpenAllowed(unquoted.c_str());
  }
  if (file == nullptr) return;

  state.include_stack.emplace_back(file_name);
  // Most entries bring a value not seen before: room for them in the atom table up front.
  struct stat info;
  if (fstat(fileno(file), &info) == 0 && info.st_size > 0) {
    ReserveAtoms(static_cast<size_t>(info.st_size) / kBytesPerNewName);
  }
  std::string& line = state.line;
  LineReader reader(file);
  size_t length;
  while (char* physical = reader.Next(&length)) {
    // Most lines are examined where they were read; a continued one is joined in `line`.
    size_t size = LineEnd(physical, length);
    size_t first = 0;
    while (first < size && IsBlank(physical[first])) ++first;
    if (first == size || physical[first] == '#') continue;
    while (IsBlank(physical[size - 1])) --size;
    if (!IsContinued(physical, size)) {
      physical[size] = '\0';
      ProcessLine(physical);
      continue;
    }
    line.assign(physical, length);
    if (JoinLogicalLine(reader, line)) ProcessLine(&line[0]);
  }
  std::fclose(file);
  state.include_stack.pop_back();
  root_.ResolveTemplates(&root_);
}

void ResFile::ProcessLine(char* text) {
  std::string replaced;
  if (cache_ != nullptr) {
    char* reference = std::strstr(text, "[file]");
    if (reference != nullptr) {
      std::string remote = reference + 6;
      for (char c : {'\n', '\t', '\r', '\n', '"'}) StripTrailing(remote, c);
      char local[kLocalNameSize + 1];
      if (cache_->GetFile(remote.c_str(), local, kLocalNameSize) != 0) {
        local[kLocalNameSize] = '\0';
        replaced.assign(text, static_cast<size_t>(reference - text));
        replaced += local;
        replaced += '"';
        text = &replaced[0];
      }
    }
  }
  if (text[0] == '%' && strncasecmp(text, "%include", 8) == 0) {
    const char* name = text + 8;
    while (IsBlank(*name)) ++name;
    std::string included = name;  // the line buffer is reused by the included file
    ProcessFile(included.c_str());
    return;
  }
  if (text[0] == '%' && strncasecmp(text, "%using", 6) == 0) return;

  char* separator = std::strchr(text, ':');
  if (separator == nullptr) separator = std::strchr(text, '=');
  if (separator == nullptr) return;  // neither a directive nor an entry
  *separator = '\0';
  char* path = text;
  while (IsBlank(*path)) ++path;
  char* value = separator + 1;
  while (IsBlank(*value)) ++value;
  RemoveQuotes(value);
  root_.AddResource(path, value);
}

void ResFile::AddResource(const char* path, const char* value) {
  root_.AddResource(path, value);
}

void ResFile::PostAdd() {
  root_.ResolveTemplates(&root_);
}

ResInfo* ResFile::LocateResourceData(const char* path) {
  return new ResInfo(this, path);
}

ResInfo* ResFile::LocateResourceData(unsigned int atom, ...) {
  std::list<unsigned int> atoms;
  va_list args;
  va_start(args, atom);
  for (unsigned int next = atom; next != 0; next = va_arg(args, unsigned int)) {
    atoms.push_back(next);
  }
  va_end(args);
  return new ResInfo(this, atoms);
}

ResFile* ResFile::Clone() {
  ResFile* copy = new ResFile();
  copy->file_name_ = file_name_;
  copy->root_.CloneFrom(&root_);
  copy->root_.ResolveTemplates(&copy->root_);
  return copy;
}

void ResFile::Dump(FILE* stream) {
  root_.Dump(stream, "");
}

void ResFile::SetFileFilter(FileFilter filter, void* context) {
  filter_ = filter;
  filter_context_ = context;
}

FILE* ResFile::OpenAllowed(const char* file_name) {
  if (filter_ != nullptr && !filter_(file_name, filter_context_)) return nullptr;
  return OpenRegularFile(file_name);
}

int ResFile::SetFileCache(CCacheInterface* cache) {
  cache_ = cache;
  return 1;
}

}  // namespace nycl
