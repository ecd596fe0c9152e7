#include <gtest/gtest.h>

#include <string>

#include "net/NetFakes.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/LineModeOutput.h"

namespace nycl {
namespace {

class LineModeInputTest : public ::testing::Test {
 protected:
  void Build(unsigned int max) { socket_.AddProcessor(new LineModeInput(max)); }
  // What a fresh log shows after `blocks` arrive.
  std::string Feed(std::initializer_list<std::string> blocks) {
    sink_.Clear();
    for (const std::string& block : blocks) RecvText(socket_, block);
    return sink_.Log();
  }
  RecordingSink sink_;
  ChainSocket socket_{&sink_};
};

TEST_F(LineModeInputTest, CarriageReturnsAreDroppedOnlyAtLineEndsAndPartialLinesJoin) {
  Build(4096);
  EXPECT_EQ(Feed({"A\r\nB\n",          // CR before LF
                  "C\r",               // CR whose LF comes in the next block stays
                  "\nD\r\n",           //
                  "E\rF\n",            // CR inside a line stays
                  "\rG\n\r\r\nH\n"}),  // CRs looked at first are skipped
            "[A][B][C\r][D][E\rF][G][][H]");
  EXPECT_EQ(Feed({"A\nB", "C\n", "\n\n", "x", "y", "z\n"}), "[A][BC][][][xyz]");
}

TEST_F(LineModeInputTest, LongLinesAreCutAtTheMaximum) {
  Build(4);
  EXPECT_EQ(Feed({"ABCDEFG\n"}), "[ABCD][EFG]");
  EXPECT_EQ(Feed({"ABCD\n"}), "[ABCD]");
  EXPECT_EQ(Feed({"ABCD", "\nX\n"}), "[ABCD][][X]");
  EXPECT_EQ(Feed({"AB", "CDE\r\n"}), "[ABCD][E]");
}

TEST_F(LineModeInputTest, ClosingDeliversThePartialLineButDestroyingDoesNotAndSentDataPasses) {
  Build(4096);
  RecvText(socket_, "XY");
  socket_.RecvMessage(TSMSG_CLOSE, nullptr);
  RecvText(socket_, "Z");
  socket_.RecvMessage(TSMSG_DESTROYED, nullptr);
  socket_.RecvMessage(TSMSG_CLOSE, nullptr);
  EXPECT_EQ(sink_.Log(), "[XY]<close><destroyed>[Z]<close>");

  SendText(socket_, "no\nframing");
  socket_.SendMessage(TSMSG_ZSTART, nullptr);
  EXPECT_EQ(socket_.sent, "[no\nframing]<10>");
}

TEST(LineModeOutputTest, EveryBlockEndsWithALineFeedAndLargeOnesGoInPieces) {
  ChainSocket socket(nullptr);
  socket.AddProcessor(new LineModeOutput);
  SendText(socket, std::string(10000, 'x'));
  SendText(socket, std::string(4096, 'y'));
  SendText(socket, "");
  EXPECT_EQ(socket.sent, "[" + std::string(4096, 'x') + "][" + std::string(4096, 'x') + "][" +
                             std::string(1808, 'x') + "][\n][" + std::string(4096, 'y') +
                             "][\n][][\n]");
}

}  // namespace
}  // namespace nycl
