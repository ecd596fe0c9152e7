// The recording host shared by these tests and nycl-trace: where its records go, and the
// texts it hands back.
#include <gtest/gtest.h>

#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

// Keeps the lookups apart, as nycl-trace does. (How calls and answers are routed, and that the
// data state destroys the windows it made, nycl_trace_example shows for the same lines.)
class LookupSink : public recording::CallSink {
 public:
  void Call(const std::string&) override {}
  void Lookup(const std::string& call) override { lookups.push_back(call); }
  CallLog lookups;
};

TEST(RecordingHostTest, SinkGetsTheLookupsAndTheExitLockApart) {
  LookupSink sink;
  NyDataStateHolder holder;
  RecordingDataState state(&sink);
  holder.PushDataState(&state);
  for (const char* line : {"fgl_WindowOpen w 1 2 3 4 0 t", "fgl_MessageBox title"}) {
    NyCommand* command = NyCommand::Create(line, &holder);
    ASSERT_NE(command, nullptr) << line;
    command->Execute();
  }
  EXPECT_EQ(sink.lookups, (CallLog{"LockExit()", "FindRenderWindow(w) -> (null)", "UnlockExit()",
                                   "LockExit()", "GetCurrentRenderWindow() -> W", "UnlockExit()"}));
  holder.PopDataState();
}

TEST(RecordingHostTest, FilledTextsKeepToTheBuffer) {
  CallLog log;
  RecordingDataState state(&log);
  char buffer[8] = "xxxxxxx";
  state.GetConnectionStringApplicationName(buffer, 8);
  EXPECT_STREQ(buffer, "xxxxxxx");  // no text set: untouched
  state.answers().SetText("GetConnectionStringApplicationName", "application");
  state.GetConnectionStringApplicationName(buffer, 8);
  EXPECT_STREQ(buffer, "applica");  // the size counts the terminator
  state.answers().SetText("GetMessageBoxLine", "long message");
  state.GetMessageBoxLine(buffer, 7);
  EXPECT_STREQ(buffer, "long me");  // the size does not
}

}  // namespace
}  // namespace nycl::test
