// Protocol line syntax:
//
//   line     := blank* (token blank+)* token? blank*
//   blank    := space | tab | line feed | vertical tab | form feed | carriage return
//   token    := a run of bytes ended by an unquoted, unescaped blank or by the end of the line
//
// Quotes: a single or a double quote opens a quoted run that the same quote closes; inside it
// blanks and the other quote are ordinary text, and an unterminated run lasts to the end of
// the line. When the quote is the token's first byte, the token is the text between the quotes
// and ends at the closing quote: `"ab"cd` is two tokens, `ab` and `cd`. A quote later in a
// token stays in it: `ab"c d"` is one token with both quotes.
//
// Escapes: a backslash makes the next byte ordinary text (so `a\ b` is one token) and stands
// with it for one byte: \n, \r and \t give line feed, carriage return and tab, any other byte
// stands for itself. A backslash that ends the line is kept.
//
// One pass resolves the escapes while it splits: an escaped byte can never end a token, so
// splitting the raw text first and resolving its escapes afterwards gives the same tokens.
// Runs of bytes that need no decision (most of a line, all of a base64 payload) are found and
// copied 16 bytes at a time.
//
// Block layout: the pointer entries first, then the tokens, each NUL-terminated, in line order.
// A token never takes more bytes than the text it comes from (its terminator stands for the
// blank, quote or end of line that ended it), so the token area needs at most strlen + 1
// bytes. The number of tokens is only known at the end: the block reserves room for
// kReservedEntries pointers, and a line with more tokens moves into a block of the exact size.
#include "command/ArgVector.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nycl {

namespace {

// Pointer entries reserved in front of the tokens; lines with more tokens are rare.
constexpr size_t kReservedEntries = 16;

bool IsBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

[[noreturn]] void OutOfMemory() {
  exit(1);
}

void* Allocate(size_t bytes) {
  void* block = malloc(bytes);
  if (block == nullptr) OutOfMemory();
  return block;
}

// Both copy from `p` to `out` up to the first byte that may need a decision and return how many
// bytes that is. They may store up to 15 bytes past the copied ones; `out` must have room for
// them, which holds as long as `out` never runs ahead of `p` within buffers of equal size.
// `end` is one past the line's terminating NUL; nothing at or beyond it is read.
//
// Outside quotes the candidates are the bytes up to 32 (blanks and the NUL among them; the
// caller takes other control bytes as text), quotes and the backslash.
size_t CopyPlain(const char* p, const char* end, char* out) {
  const char* const from = p;
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i dquote = _mm_set1_epi8('"');
  const __m128i squote = _mm_set1_epi8('\'');
  const __m128i backslash = _mm_set1_epi8('\\');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, space), v);
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, dquote), _mm_cmpeq_epi8(v, squote));
    const __m128i hit = _mm_or_si128(_mm_or_si128(low, quotes), _mm_cmpeq_epi8(v, backslash));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0)
      return static_cast<size_t>(p - from) + static_cast<unsigned>(__builtin_ctz(mask));
    p += 16;
    out += 16;
  }
#endif
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c <= ' ' || c == '"' || c == '\'' || c == '\\') break;
    *out++ = static_cast<char>(c);
  }
  return static_cast<size_t>(p - from);
}

// Inside a quoted run the candidates are the closing quote, the backslash and the NUL.
size_t CopyQuoted(const char* p, const char* end, char quote, char* out) {
  const char* const from = p;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i closing = _mm_set1_epi8(quote);
  const __m128i backslash = _mm_set1_epi8('\\');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, closing)),
                     _mm_cmpeq_epi8(v, backslash));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0)
      return static_cast<size_t>(p - from) + static_cast<unsigned>(__builtin_ctz(mask));
    p += 16;
    out += 16;
  }
#endif
  for (; p < end; ++p) {
    const char c = *p;
    if (c == '\0' || c == quote || c == '\\') break;
    *out++ = c;
  }
  return static_cast<size_t>(p - from);
}

// Where the tokens start, as offsets into the token area: the first kReservedEntries in the
// block's own pointer entries, the rest in a growing side array.
class TokenStarts {
 public:
  explicit TokenStarts(uintptr_t* reserved) : reserved_(reserved) {}
  ~TokenStarts() { free(more_); }
  TokenStarts(const TokenStarts&) = delete;
  TokenStarts& operator=(const TokenStarts&) = delete;

  void Add(uintptr_t offset) {
    if (count_ < kReservedEntries) {
      reserved_[count_++] = offset;
      return;
    }
    const size_t extra = count_ - kReservedEntries;
    if (extra == moreCapacity_) {
      moreCapacity_ = moreCapacity_ == 0 ? kReservedEntries : 2 * moreCapacity_;
      void* grown = realloc(more_, moreCapacity_ * sizeof(uintptr_t));
      if (grown == nullptr) OutOfMemory();
      more_ = static_cast<uintptr_t*>(grown);
    }
    more_[extra] = offset;
    ++count_;
  }
  size_t count() const { return count_; }
  uintptr_t operator[](size_t i) const {
    return i < kReservedEntries ? reserved_[i] : more_[i - kReservedEntries];
  }

 private:
  uintptr_t* reserved_;
  uintptr_t* more_ = nullptr;
  size_t count_ = 0;
  size_t moreCapacity_ = 0;
};

// Splits `line` (`length` bytes before its NUL) into `tokens`, recording where each starts.
// Returns the bytes written, terminators included.
size_t Split(const char* line, size_t length, char* tokens, TokenStarts& starts) {
  const char* p = line;
  const char* const end = line + length + 1;
  char* out = tokens;
  for (;;) {
    while (IsBlank(static_cast<unsigned char>(*p))) ++p;
    if (*p == '\0') break;
    starts.Add(static_cast<uintptr_t>(out - tokens));
    char quote = '\0';
    bool openedWithQuote = false;
    if (*p == '"' || *p == '\'') {
      quote = *p++;
      openedWithQuote = true;
    }
    for (;;) {
      const size_t run = quote == '\0' ? CopyPlain(p, end, out) : CopyQuoted(p, end, quote, out);
      p += run;
      out += run;
      const char c = *p;
      if (c == '\\') {
        if (p[1] == '\0') {
          *out++ = *p++;  // a backslash that ends the line stands for itself
        } else {
          *out++ = EscapedByte(p[1]);
          p += 2;
        }
      } else if (c == '\0') {
        break;
      } else if (quote != '\0') {  // the closing quote
        ++p;
        quote = '\0';
        if (openedWithQuote) break;
        *out++ = c;
      } else if (c == '"' || c == '\'') {
        quote = c;
        *out++ = *p++;
      } else if (IsBlank(static_cast<unsigned char>(c))) {
        break;
      } else {
        *out++ = *p++;  // a control byte other than a blank is text
      }
    }
    *out++ = '\0';
  }
  return static_cast<size_t>(out - tokens);
}

}  // namespace

char** SplitLine(const char* line, int* count) {
  const size_t length = strlen(line);
  const size_t head = (kReservedEntries + 1) * sizeof(char*);
  char* block = static_cast<char*>(Allocate(head + length + 1));
  char* tokens = block + head;
  TokenStarts starts(reinterpret_cast<uintptr_t*>(block));
  const size_t used = Split(line, length, tokens, starts);
  const size_t n = starts.count();

  char** vector = reinterpret_cast<char**>(block);
  if (n > kReservedEntries) {
    const size_t exactHead = (n + 1) * sizeof(char*);
    char* exact = static_cast<char*>(Allocate(exactHead + used));
    memcpy(exact + exactHead, tokens, used);
    vector = reinterpret_cast<char**>(exact);
    tokens = exact + exactHead;
  }
  for (size_t i = 0; i < n; ++i) vector[i] = tokens + starts[i];
  vector[n] = nullptr;
  if (n > kReservedEntries) free(block);
  *count = static_cast<int>(n);
  return vector;
}

}  // namespace nycl
