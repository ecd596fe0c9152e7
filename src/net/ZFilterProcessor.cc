#include "nycl/net/ZFilterProcessor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nycl/net/SocketMessages.h"

namespace nycl {

namespace {

// Output offered to inflate per call; the area holds a little more for the terminating NUL.
constexpr uInt kOutputChunk = 300000;
constexpr size_t kOutputArea = 300500;

z_stream_s* NewStream() {
  z_stream_s* stream = new z_stream_s();
  stream->zalloc = Z_NULL;
  stream->zfree = Z_NULL;
  stream->opaque = Z_NULL;
  inflateInit(stream);
  return stream;
}

void DeleteStream(z_stream_s* stream) {
  if (stream == nullptr) return;
  inflateEnd(stream);
  delete stream;
}

}  // namespace

ZFilterProcessor::ZFilterProcessor(unsigned int size)
    : m_output(static_cast<unsigned char*>(std::malloc(kOutputArea))),
      m_stream(NewStream()),
      m_size(size) {
  if (m_output == nullptr) std::fprintf(stderr, "ERROR OUT OF MEMOERY MALLOC FAILED");
}

ZFilterProcessor::~ZFilterProcessor() {
  DeleteStream(m_stream);
  for (int i = 0; i < m_depth; ++i) DeleteStream(m_saved[i]);
  std::free(m_output);
}

bool ZFilterProcessor::Enable(bool on) {
  m_enabled = on;
  return on;
}

void ZFilterProcessor::ProcSend(ProcessorIterator it, const unsigned char* data, int len) {
  PassSend(it, data, len);
}

void ZFilterProcessor::ProcRecvMessage(ProcessorIterator it, int code, void* data) {
  PassRecvMessage(it, code, data);
  if (code == TSMSG_DESTROYED) m_finished = 1;
}

void ZFilterProcessor::ProcSendMessage(ProcessorIterator it, int code, void* data) {
  PassSendMessage(it, code, data);
  switch (code) {
    case TSMSG_ZSTART:
      if (m_output == nullptr) {
        std::fprintf(stderr, "Error Memory not allocated");
        break;
      }
      m_enabled = 1;
      FreshStream();
      break;
    case TSMSG_ZSTOP:
      m_enabled = 0;
      break;
    case TSMSG_ZPAUSE:
      if (m_enabled) {
        m_enabled = 0;
        if (PushStream(m_stream)) {
          m_stream = NewStream();
        } else {
          FreshStream();  // the stack is full: the running stream cannot be kept
        }
      }
      break;
    case TSMSG_ZRESUME:
      if (m_depth > 0) {
        DeleteStream(m_stream);
        m_stream = PopStream();
        m_enabled = 1;
      }
      break;
    case TSMSG_DESTROYED:
      m_finished = 1;
      break;
    default:
      break;
  }
}

void ZFilterProcessor::ProcRecv(ProcessorIterator it, const unsigned char* data, int len) {
  if (len < 0) len = 0;
  if (!m_enabled || m_output == nullptr) {
    PassRecvAsItCame(it, data, len);
    return;
  }

  // inflate only reads its input: the block is offered as it is, and copied (with the NUL that
  // follows every block handed upward) only when it goes upward unchanged.
  z_stream_s* z = m_stream;
  z->next_in = const_cast<unsigned char*>(data);
  z->avail_in = static_cast<uInt>(len);
  z->next_out = m_output;
  z->avail_out = kOutputChunk;
  uLong before = z->total_out;
  int rc = inflate(z, Z_NO_FLUSH);
  while (rc != Z_STREAM_END) {
    // Not zlib data: the block goes on as it came.
    if (rc == Z_DATA_ERROR) PassRecvAsItCame(it, data, len);
    if (rc == Z_BUF_ERROR) break;
    int produced = static_cast<int>(z->total_out - before);
    if (produced == 0) break;
    m_output[produced] = 0;
    PassRecv(it, m_output, produced);
    if (m_finished) break;
    before = z->total_out;
    z->next_out = m_output;
    z->avail_out = kOutputChunk;
    rc = inflate(z, Z_NO_FLUSH);
  }
  if (rc == Z_STREAM_END) {
    // Bytes after the end of the stream in this block are dropped. A block of which the
    // ended stream took nothing came after the end, and passes as it came after an empty
    // block; a block that only completed the stream's trailer is used up.
    int produced = static_cast<int>(z->total_out - before);
    m_output[produced] = 0;
    PassRecv(it, m_output, produced);
    if (produced == 0 && z->avail_in == static_cast<uInt>(len)) PassRecvAsItCame(it, data, len);
  }
  // The block belongs to the caller: the stream must not keep pointing into it.
  z->next_in = Z_NULL;
  z->avail_in = 0;
}

void ZFilterProcessor::PassRecvAsItCame(ProcessorIterator it, const unsigned char* data, int len) {
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(len) + 1));
  if (copy == nullptr) return;
  if (len > 0) std::memcpy(copy, data, len);
  copy[len] = 0;
  PassRecv(it, copy, len);
  std::free(copy);
}

void ZFilterProcessor::FreshStream() {
  DeleteStream(m_stream);
  m_stream = NewStream();
}

int ZFilterProcessor::PushStream(z_stream_s* stream) {
  if (m_depth >= kMaxSaved) return 0;
  m_saved[m_depth++] = stream;
  return 1;
}

z_stream_s* ZFilterProcessor::PopStream() {
  if (m_depth == 0) return nullptr;
  return m_saved[--m_depth];
}

int ZFilterProcessor::un_escape_NULLS(const char* in, char* out, int inlen, int* outlen) {
  if (outlen == nullptr || out == nullptr || in == nullptr || *outlen < inlen) return 0;
  if (inlen < 1) {
    *outlen = 0;
    return 1;
  }
  int n = 0;
  for (int i = 0; i < inlen; ++i) {
    if (in[i] == '@') {
      // An at sign that ends the input has no partner and stands for a NUL.
      if (i + 1 < inlen && in[i + 1] == '@') {
        out[n++] = '@';
        ++i;
      } else {
        out[n++] = '\0';
      }
    } else {
      out[n++] = in[i];
    }
  }
  *outlen = n;
  return 1;
}

}  // namespace nycl
