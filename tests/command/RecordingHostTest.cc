// The recording host shared by these tests and nycl-trace: where its records go, and the
// texts it hands back.
#include <gtest/gtest.h>

#include <cstring>

#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

// Keeps calls, answers and lookups apart, as nycl-trace does.
class SortingSink : public recording::CallSink {
 public:
  void Call(const std::string& call) override { calls.push_back(call); }
  void Answer(const std::string& call, const std::string& line) override {
    answers.push_back(call + " " + line);
  }
  void Lookup(const std::string& call) override { lookups.push_back(call); }
  CallLog calls, answers, lookups;
};

TEST(RecordingHostTest, SinkGetsCallsAnswersAndLookupsApart) {
  SortingSink sink;
  NyDataStateHolder holder;
  auto* state = new RecordingDataState(&sink);
  holder.PushDataState(state);
  for (const char* line : {"fgl_WindowOpen w 1 2 3 4 0 t", "fgl_MessageBox title"}) {
    NyCommand* command = NyCommand::Create(line, &holder);
    ASSERT_NE(command, nullptr) << line;
    command->Execute();
  }
  EXPECT_EQ(sink.calls, (CallLog{"CreateRenderWindow(w,4,3,2,1,t,0)", "AddRenderWindow(W)",
                                 "SetRenderWindow(W)", "GetMessageBoxLine(4999)",
                                 "W.CanDraw(MessageBox)", "NyMessageBox(,title,327728,0)"}));
  EXPECT_EQ(sink.answers, CallLog{"SendResponceString(key 1) key 1"});
  EXPECT_EQ(sink.lookups, (CallLog{"LockExit()", "FindRenderWindow(w) -> (null)", "UnlockExit()",
                                   "LockExit()", "GetCurrentRenderWindow() -> W", "UnlockExit()"}));
  holder.PopDataState();
  sink.calls.clear();
  delete state;  // destroys the window it created
  EXPECT_EQ(sink.calls, (CallLog{"W.~NyRenderWindow()", "RemoveRenderWindow(W)"}));
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
