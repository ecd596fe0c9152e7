// Splitting: with a scan position p in the received block, while bytes remain:
//   - a carriage return at p is skipped;
//   - the piece runs from p to the next line feed (less a carriage return just before it, if
//     that lies at or after p), or to the end of the block when there is no line feed;
//   - a piece that would take the line past the maximum is shortened to fit, and its line
//     feed, if any, is not consumed;
//   - the piece is appended; a line feed or a full line delivers the line and empties it.
#include "nycl/net/LineModeInput.h"

#include <cstdlib>
#include <cstring>

#include "nycl/net/SocketMessages.h"

namespace nycl {

// A maximum of 0 could never complete a line; it is taken as 1.
LineModeInput::LineModeInput(unsigned int max)
    : m_max(max == 0 ? 1 : max),
      m_line(static_cast<unsigned char*>(std::calloc(size_t{m_max} + 1, 1))) {}

LineModeInput::~LineModeInput() {
  std::free(m_line);
}

void LineModeInput::ProcSend(ProcessorIterator it, const unsigned char* data, int len) {
  PassSend(it, data, len);
}

void LineModeInput::ProcSendMessage(ProcessorIterator it, int code, void* data) {
  PassSendMessage(it, code, data);
}

void LineModeInput::ProcRecvMessage(ProcessorIterator it, int code, void* data) {
  if (code == TSMSG_CLOSE && m_len != 0) {
    int len = static_cast<int>(m_len);
    m_line[m_len] = 0;
    m_len = 0;
    PassRecv(it, m_line, len);
    m_line[0] = 0;
  }
  PassRecvMessage(it, code, data);
}

void LineModeInput::ProcRecv(ProcessorIterator it, const unsigned char* data, int len) {
  if (m_line == nullptr) return;  // the line buffer could not be allocated
  const unsigned char* p = data;
  size_t remaining = len > 0 ? static_cast<size_t>(len) : 0;
  while (remaining > 0) {
    if (*p == '\r') {
      ++p;
      --remaining;
      continue;
    }
    const unsigned char* lf = static_cast<const unsigned char*>(std::memchr(p, '\n', remaining));
    size_t piece = lf != nullptr ? static_cast<size_t>(lf - p) : remaining;
    if (lf != nullptr && piece > 0 && lf[-1] == '\r') --piece;
    bool found = lf != nullptr;
    if (m_len + piece > m_max) {
      piece = m_max - m_len;
      found = false;
    }
    std::memcpy(m_line + m_len, p, piece);
    m_len += static_cast<uint32_t>(piece);
    const unsigned char* next = found ? lf + 1 : p + piece;
    if (found || m_len >= m_max) {
      int line = static_cast<int>(m_len);
      m_line[m_len] = 0;
      m_len = 0;
      PassRecv(it, m_line, line);
    }
    remaining -= static_cast<size_t>(next - p);
    p = next;
  }
}

}  // namespace nycl
