// The line splitter fed a byte stream cut into arbitrary blocks, then closed.
// Input: byte 0 picks the maximum line length (0 for the usual 4096), byte 1 the block
// sizes (0 for the whole stream in one block, else pseudo-random sizes up to that byte's
// value, seeded by it), the rest is the stream.
//
// Checked: no delivered line is longer than the maximum or holds a line feed; the delivered
// bytes are the stream without its line feeds and without some carriage returns; and a
// stream whose only carriage returns end lines (CR LF) and whose lines are all shorter than
// the maximum arrives as exactly its lines, however it was cut, as long as no cut falls
// between a CR and its LF (the CR stays in its line then). A stream of at most 128 bytes is
// also fed cut in two at every place.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ChainHarness.h"
#include "FuzzSupport.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/SocketMessages.h"

using nycl::fuzz::ChainHarness;

namespace {

// The lines of a stream whose carriage returns all come right before a line feed, when each
// is shorter than `max`.
bool PlainLines(const std::string& stream, size_t max, std::vector<std::string>* lines) {
  for (size_t cr = stream.find('\r'); cr != std::string::npos; cr = stream.find('\r', cr + 1)) {
    if (cr + 1 == stream.size() || stream[cr + 1] != '\n') return false;
  }
  size_t start = 0;
  for (size_t lf = stream.find('\n'); lf != std::string::npos; lf = stream.find('\n', start)) {
    const size_t end = lf > start && stream[lf - 1] == '\r' ? lf - 1 : lf;
    lines->push_back(stream.substr(start, end - start));
    start = lf + 1;
  }
  if (start < stream.size()) lines->push_back(stream.substr(start));
  for (const std::string& line : *lines) {
    if (line.size() >= max) return false;
  }
  return true;
}

// Whether a block boundary falls between a carriage return and the line feed after it.
bool CutsACrLf(const std::string& stream, const std::vector<std::string>& blocks) {
  size_t at = 0;
  for (size_t i = 0; i + 1 < blocks.size(); ++i) {
    at += blocks[i].size();
    if (at > 0 && at < stream.size() && stream[at - 1] == '\r') return true;
  }
  return false;
}

// Feeds `blocks` to a fresh splitter of lines up to `max` bytes, then closes it; returns the
// lines, checking each as it comes.
std::vector<std::string> Split(const std::vector<std::string>& blocks, size_t max) {
  std::vector<std::string> lines;
  ChainHarness socket([&](const unsigned char* line, int length) {
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) <= max);
    FUZZ_CHECK(std::memchr(line, '\n', static_cast<size_t>(length)) == nullptr);
    lines.emplace_back(reinterpret_cast<const char*>(line), static_cast<size_t>(length));
  });
  socket.AddProcessor(new nycl::LineModeInput(static_cast<unsigned>(max)));
  for (const std::string& block : blocks) socket.Deliver(block);
  socket.RecvMessage(nycl::TSMSG_CLOSE, nullptr);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::InputReader input(data, size);
  const uint8_t max_byte = input.Byte();
  const size_t max = max_byte == 0 ? 4096 : max_byte;
  const uint8_t pattern = input.Byte();
  const std::string stream = input.Rest();

  const std::vector<std::string> blocks = nycl::fuzz::Pieces(stream, pattern);
  const std::vector<std::string> lines = Split(blocks, max);

  // Delivered bytes against the stream: only line feeds and carriage returns go missing.
  std::string delivered;
  for (const std::string& line : lines) delivered += line;
  size_t d = 0;
  for (char c : stream) {
    if (d < delivered.size() && delivered[d] == c) {
      ++d;
    } else {
      FUZZ_CHECK(c == '\n' || c == '\r');
    }
  }
  FUZZ_CHECK(d == delivered.size());

  std::vector<std::string> expected;
  if (!PlainLines(stream, max, &expected)) return 0;
  if (!CutsACrLf(stream, blocks)) FUZZ_CHECK(lines == expected);
  for (size_t cut = 1; stream.size() <= 128 && cut < stream.size(); ++cut) {
    const std::vector<std::string> two = {stream.substr(0, cut), stream.substr(cut)};
    if (!CutsACrLf(stream, two)) FUZZ_CHECK(Split(two, max) == expected);
  }
  return 0;
}
