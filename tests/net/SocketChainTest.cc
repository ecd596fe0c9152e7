#include <gtest/gtest.h>

#include <string>

#include "net/NetFakes.h"

namespace nycl {
namespace {

// Tags what passes through it with its name, in both directions, and counts its deletion.
class TagProcessor : public SocketProcessor {
 public:
  TagProcessor(std::string name, int* deleted) : name_(std::move(name)), deleted_(deleted) {}
  ~TagProcessor() override { ++*deleted_; }
  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override {
    std::string s = std::string(reinterpret_cast<const char*>(data), len) + name_;
    PassSend(it, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
  }
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override {
    std::string s = std::string(reinterpret_cast<const char*>(data), len) + name_;
    PassRecv(it, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
  }
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override {
    PassSendMessage(it, code * 10, data);
  }
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override {
    PassRecvMessage(it, code * 10, data);
  }

 private:
  std::string name_;
  int* deleted_;
};

TEST(SocketChainTest, DataAndMessagesTravelThroughTheChainInOrder) {
  RecordingSink sink;
  int deleted = 0;
  ChainSocket socket(&sink);
  socket.AddProcessor(new TagProcessor("A", &deleted));      // [first, A, last]
  socket.AddProcessor(new TagProcessor("B", &deleted));      // [first, B, A, last]
  socket.AddLastProcessor(new TagProcessor("Z", &deleted));  // [first, B, A, Z, last]
  SendText(socket, "s");
  RecvText(socket, "r");
  socket.SendMessage(1, nullptr);
  socket.RecvMessage(2, nullptr);
  EXPECT_EQ(socket.sent, "[sBAZ]<1000>");
  EXPECT_EQ(sink.Log(), "[rZAB]<2000>");
}

TEST(SocketChainTest, SocketOwnsItsProcessorsAndDropsWhatArrivesWithoutASink) {
  int deleted = 0;
  auto* kept = new TagProcessor("K", &deleted);
  {
    ChainSocket socket(nullptr);
    socket.AddProcessor(kept);
    socket.AddProcessor(new TagProcessor("X", &deleted));
    socket.RemoveProcessor(kept);
    EXPECT_EQ(deleted, 1);
    socket.RemoveProcessor(new TagProcessor("stranger", &deleted));
    EXPECT_EQ(deleted, 2);  // not in the chain, deleted all the same

    RecvText(socket, "dropped");
    socket.RecvMessage(TSMSG_CLOSE, nullptr);
    RecordingSink sink;
    socket.SetSink(&sink);
    RecvText(socket, "kept");
    EXPECT_EQ(sink.Log(), "[keptX]");
  }
  EXPECT_EQ(deleted, 3);
}

}  // namespace
}  // namespace nycl
