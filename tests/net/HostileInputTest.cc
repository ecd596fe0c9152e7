// Hostile byte streams through the receiving chain of a session (line splitter over the
// decompressing filter), on a socket without transport: random garbage, corrupted and cut
// deflate streams and overlong lines, interleaved with the filter's control messages. Nothing
// may crash; run under the sanitizer build to catch overflows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "net/ChainFakes.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/SocketMessages.h"
#include "nycl/net/ZFilterProcessor.h"

namespace nycl {
namespace {

std::string Compress(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(text.data()),
           text.size());
  out.resize(size);
  return out;
}

class Garbage {
 public:
  explicit Garbage(unsigned seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::string Bytes(int length) {
    std::string text(static_cast<size_t>(length), '\0');
    for (char& c : text) c = static_cast<char>(Below(6) == 0 ? '\n' : Below(256));
    return text;
  }
  // Text of lines, some of them far longer than a line buffer.
  std::string Lines() {
    std::string text;
    int count = 1 + Below(6);
    for (int i = 0; i < count; ++i) {
      text += std::string(static_cast<size_t>(Below(4) == 0 ? 5000 + Below(5000) : Below(80)),
                          static_cast<char>('a' + Below(26)));
      text += Below(3) == 0 ? "\r\n" : "\n";
    }
    return text;
  }
  // A deflate stream, then cut, corrupted or left whole.
  std::string Deflated() {
    std::string stream = Compress(Lines());
    switch (Below(3)) {
      case 0:
        stream.resize(static_cast<size_t>(Below(static_cast<int>(stream.size()) + 1)));
        break;
      case 1:
        for (int i = 0; i < 1 + Below(4) && !stream.empty(); ++i)
          stream[static_cast<size_t>(Below(static_cast<int>(stream.size())))] ^=
              static_cast<char>(1 + Below(255));
        break;
      default:
        break;
    }
    return stream;
  }

 private:
  std::mt19937 rng_;
};

// Feeds `text` in random pieces, sometimes interrupted by a filter message.
void Feed(Garbage& g, Socket& socket, const std::string& text) {
  static const int kMessages[] = {TSMSG_ZSTART, TSMSG_ZSTOP, TSMSG_ZPAUSE, TSMSG_ZRESUME};
  size_t at = 0;
  while (at < text.size()) {
    size_t piece = 1 + static_cast<size_t>(g.Below(3000));
    if (piece > text.size() - at) piece = text.size() - at;
    RecvText(socket, text.substr(at, piece));
    at += piece;
    if (g.Below(8) == 0) socket.SendMessage(kMessages[g.Below(4)], nullptr);
  }
}

TEST(HostileStreamTest, SessionChainSurvivesGarbageAndBrokenDeflateStreams) {
  Garbage g(1206);
  for (int round = 0; round < 60; ++round) {
    RecordingSink sink;
    ChainSocket socket(&sink);
    static const unsigned kMax[] = {1, 2, 7, 4096};
    socket.AddProcessor(new LineModeInput(kMax[g.Below(4)]));
    socket.AddLastProcessor(new ZFilterProcessor);
    for (int i = 0; i < 40; ++i) {
      if (g.Below(3) == 0) socket.SendMessage(TSMSG_ZSTART, nullptr);
      switch (g.Below(3)) {
        case 0:
          Feed(g, socket, g.Bytes(g.Below(2000)));
          break;
        case 1:
          Feed(g, socket, g.Lines());
          break;
        default:
          Feed(g, socket, g.Deflated());
          break;
      }
    }
    socket.SendMessage(TSMSG_CLOSE, nullptr);
  }
}

TEST(HostileStreamTest, PausingPastTheSavedStreamLimitKeepsWorking) {
  // Far more pauses than streams can be saved (200), each with a stream begun, then as many
  // resumes.
  constexpr int kPauses = 450;
  RecordingSink sink;
  ChainSocket socket(&sink);
  socket.AddProcessor(new LineModeInput);
  socket.AddLastProcessor(new ZFilterProcessor);
  const std::string stream = Compress("line\n");
  for (int i = 0; i < kPauses; ++i) {
    socket.SendMessage(TSMSG_ZSTART, nullptr);
    RecvText(socket, stream.substr(0, stream.size() / 2));
    socket.SendMessage(TSMSG_ZPAUSE, nullptr);
  }
  for (int i = 0; i < kPauses; ++i) {
    socket.SendMessage(TSMSG_ZRESUME, nullptr);
    RecvText(socket, stream.substr(stream.size() / 2));
  }
  // Each of the 200 saved streams completes its line; the first completes the line that the
  // begun streams left in the splitter.
  size_t completed = 0;
  for (size_t at = sink.log.find("[e]"); at != std::string::npos; at = sink.log.find("[e]", at + 1))
    ++completed;
  EXPECT_GE(completed, 199u);
  EXPECT_NE(sink.log.find("linline]"), std::string::npos);
}

TEST(HostileStreamTest, OverlongLinesArriveInPiecesOfTheMaximum) {
  Garbage g(99);
  for (unsigned max : {1u, 3u, 64u, 4096u}) {
    RecordingSink sink;
    ChainSocket socket(&sink);
    socket.AddProcessor(new LineModeInput(max));
    Feed(g, socket, std::string(20000, 'q') + "\n");
    // Every delivery holds at most the maximum, and together they hold the whole line.
    size_t total = 0;
    for (size_t open = sink.log.find('['); open != std::string::npos;
         open = sink.log.find('[', open + 1)) {
      size_t length = sink.log.find(']', open) - open - 1;
      EXPECT_LE(length, max);
      total += length;
    }
    EXPECT_EQ(total, 20000u) << max;
  }
}

}  // namespace
}  // namespace nycl
