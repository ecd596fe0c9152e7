#include "nycl/net/ZFilterProcessor.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "net/NetFakes.h"
#include "nycl/net/LineModeInput.h"

namespace nycl {
namespace {

// A zlib compressor. With `finish` false the stream is flushed but left open, so that more of
// it can follow.
struct Deflater {
  explicit Deflater(int level = Z_DEFAULT_COMPRESSION) { deflateInit(&z, level); }
  ~Deflater() { deflateEnd(&z); }
  std::string operator()(const std::string& text, bool finish) {
    std::string out(deflateBound(&z, text.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_NE(deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH), Z_STREAM_ERROR);
    out.resize(out.size() - z.avail_out);
    return out;
  }
  z_stream z{};
};

// The chain the session uses: line splitter at the sink end, filter at the transport end.
class ZFilterProcessorTest : public ::testing::Test {
 protected:
  ZFilterProcessorTest() {
    socket_.AddProcessor(new LineModeInput);
    socket_.AddLastProcessor(new ZFilterProcessor);
  }
  void Message(int code) { socket_.SendMessage(code, nullptr); }
  RecordingSink sink_;
  ChainSocket socket_{&sink_};
};

TEST_F(ZFilterProcessorTest, PlainTextAndBlocksAfterTheStreamEndPassUnchanged) {
  Message(TSMSG_ZSTART);
  RecvText(socket_, "not zlib data\n");
  Message(TSMSG_ZSTART);
  RecvText(socket_, Deflater()("one\n", true) + "dropped tail");
  RecvText(socket_, "two\n");
  EXPECT_EQ(sink_.Log(), "[not zlib data][one][two]");
}

// Pause saves the running stream and passes plain text; resume continues the saved stream.
TEST_F(ZFilterProcessorTest, PausesNestResumeContinuesTheStreamAndAFreshStreamServesThePause) {
  Deflater outer(9), inner(1);
  Message(TSMSG_ZSTART);
  RecvText(socket_, outer("outer 1\n", false));
  Message(TSMSG_ZPAUSE);
  Message(TSMSG_ZRESUME);  // back to the outer stream at once
  RecvText(socket_, outer("outer 2\n", false));
  Message(TSMSG_ZPAUSE);
  RecvText(socket_, "plain while paused\n");
  Message(TSMSG_ZRESUME);
  Message(TSMSG_ZRESUME);  // nothing saved: changes nothing
  RecvText(socket_, outer("outer 3\n", true));
  Message(TSMSG_ZSTART);  // a fresh stream for another compressor
  RecvText(socket_, inner("inner\n", true));
  EXPECT_EQ(sink_.Log(), "[outer 1][outer 2][plain while paused][outer 3][inner]");
}

TEST_F(ZFilterProcessorTest, SentDataIsNeverCompressed) {
  Message(TSMSG_ZSTART);
  SendText(socket_, "answer");
  EXPECT_EQ(socket_.sent, "<10>[answer]");
}

}  // namespace
}  // namespace nycl
