// Dialog, message, key and report commands driven through protocol lines.
#include <gtest/gtest.h>

#include <string>

#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

using Calls = CallLog;

class DialogCommandsTest : public ::testing::Test {
 protected:
  // Runs `line` and returns the calls it made.
  Calls Run(const std::string& line, bool expectedResult = false) {
    host_.ClearCalls();
    EXPECT_EQ(host_.Run(line.c_str()), expectedResult) << line;
    return host_.Calls();
  }
  // The style word the message box receives for a line, as the recorded call shows it.
  std::string BoxCall(const std::string& line) {
    for (const std::string& call : Run(line)) {
      if (call.rfind("NyMessageBox(", 0) == 0) return call;
    }
    return "no message box";
  }
  static std::string Box(const char* title, int style) {
    return "NyMessageBox(," + std::string(title) + "," + std::to_string(style) + ",0)";
  }

  RecordingHost host_;
};

TEST_F(DialogCommandsTest, DialogsSetTheFlagAndMapTheirArgumentsWindowOrNot) {
  EXPECT_EQ(Run("fgl_WinButton t m i b d 2"), Calls{});
  EXPECT_TRUE(host_.state().dialogRequested);
  host_.state().dialogRequested = false;
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_FileDialog title 3 a b c d"), (Calls{"W1.FileDialog(title,3,a,b,c,d)"}));
  EXPECT_TRUE(host_.state().dialogRequested);
  EXPECT_EQ(Run("fgl_WinButton t m i b d 2"), (Calls{"W1.WinButton(t,m,i,b,d,2)"}));
  EXPECT_EQ(Run("fgl_WinQuestion t m d b i x7"), (Calls{"W1.WinQuestion(t,m,d,b,i,0)"}));
  EXPECT_EQ(Run("fgl_DetailErrorBox a b c"),
            (Calls{"W1.CanDraw(DetailErrorBox)", "W1.DetailErrorBox(a,b,c)"}));
  EXPECT_EQ(Run("fgl_WinPrompt 3 4 text field 1 2"), (Calls{"W1.WinPrompt(3,4,text,field,1,2)"}));
  EXPECT_EQ(Run("fgl_WinPromptB 3 4 text field 1 2"),
            (Calls{"W1.CanDraw(MessageBox)", "W1.WinPromptB(3,4,text,field,1,2)"}));
}

TEST_F(DialogCommandsTest, PromptsWithoutAWindowUseATemporaryOne) {
  EXPECT_EQ(Run("fgl_WinPrompt 1 2 ask f 3 4"),
            (Calls{"CreateRenderWindow(ny__temp,1,2,3,4,,5)", "AddRenderWindow(NY__TEMP)",
                   "SetRenderWindow(NY__TEMP)", "NY__TEMP.WinPrompt(1,2,ask,f,3,4)",
                   "RemoveRenderWindow(NY__TEMP)", "NY__TEMP.~NyRenderWindow()",
                   "RemoveRenderWindow(NY__TEMP)"}));
  EXPECT_EQ(host_.state().WindowCount(), 0u);
  EXPECT_EQ(host_.state().CurrentWindowField(), nullptr);

  EXPECT_EQ(Run("fgl_WinPromptB 1 2 ask f 3 4")[3], "NY__TEMP.CanDraw(MessageBox)");
  EXPECT_EQ(host_.state().WindowCount(), 0u);

  // The error box skips its CanDraw on the temporary window.
  EXPECT_EQ(Run("fgl_DetailErrorBox a b c")[3], "NY__TEMP.DetailErrorBox(a,b,c)");
  EXPECT_EQ(host_.state().WindowCount(), 0u);
  EXPECT_EQ(host_.state().CurrentWindowField(), nullptr);
}

// A host whose CreateRenderWindow registers windows that are not bound to a data state, so
// that destroying one does not unregister it.
class UnboundWindowState : public RecordingDataState {
 public:
  explicit UnboundWindowState(CallLog* log) : RecordingDataState(log), log_(log) {}
  int CreateRenderWindow(const char* name, int, int, int, int, const char*, int) override {
    AddRenderWindow(new RecordingRenderWindow(name, nullptr, log_, this));
    return 1;
  }

 private:
  CallLog* log_;
};

TEST_F(DialogCommandsTest, TemporaryWindowIsUnregisteredWhateverItIsBoundTo) {
  CallLog calls;
  UnboundWindowState state(&calls);
  NyDataStateHolder holder;
  holder.PushDataState(&state);
  for (const char* line : {"fgl_WinPrompt 1 2 ask f 3 4", "fgl_DetailErrorBox a b c"}) {
    NyCommand* command = NyCommand::Create(line, &holder);
    ASSERT_NE(command, nullptr);
    command->Execute();
    EXPECT_EQ(state.WindowCount(), 0u) << line;
    EXPECT_EQ(state.CurrentWindowField(), nullptr) << line;
  }
}

TEST_F(DialogCommandsTest, MessageBoxStyleFromButtonAndIconCodes) {
  const int base = 0x50000;
  EXPECT_EQ(BoxCall("fgl_MessageBox title"), Box("title", base | 0x30));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 0"), Box("t", base | 0x30));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 1"), Box("t", base | 0x1 | 0x30));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 2"), Box("t", base | 0x5 | 0x100 | 0x20));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 3"), Box("t", base | 0x3 | 0x20));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 4"), Box("t", base | 0x4 | 0x20));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 7"), Box("t", base | 0x30));
  EXPECT_EQ(BoxCall("fgl_MessageBox t -1"), Box("t", base | 0x3 | 0x20));
  // An icon code makes an OK-only box whatever the buttons.
  EXPECT_EQ(BoxCall("fgl_MessageBox t 3 1"), Box("t", base | 0x40));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 3 2"), Box("t", base | 0x10));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 4 3"), Box("t", base | 0x20));
  EXPECT_EQ(BoxCall("fgl_MessageBox t 1 9"), Box("t", base | 0x30));
}

TEST_F(DialogCommandsTest, MessageBoxLinesAreGatheredShownAndTheKeyAnswered) {
  host_.OpenWindow("w1");
  host_.state().answers().SetText("GetMessageBoxLine", "line one\nline two");
  host_.state().answers().SetResult("NyMessageBox", 6);
  EXPECT_EQ(Run("fgl_MessageBox \"Save changes\" 4"),
            (Calls{"GetMessageBoxLine(4999)", "W1.CanDraw(MessageBox)",
                   "NyMessageBox(line one\nline two,Save changes," +
                       std::to_string(0x50000 | 0x4 | 0x20) + ",0)",
                   "SendResponceString(key 6)"}));
  EXPECT_TRUE(host_.state().dialogRequested);
  EXPECT_EQ(host_.Sent(), std::vector<std::string>{"key 6"});

  host_.state().answers().SetResult("NyMessageBox", -3);
  Run("fgl_MessageBox t");
  EXPECT_EQ(host_.Sent().back(), "key -3");

  EXPECT_EQ(Run("fgl_MessageBoxLine \"some text\""), Calls{"AddMessageBoxLine(some text)"});
}

TEST_F(DialogCommandsTest, MessageLineNumberChoosesMessageOrErrorWindowOrNot) {
  EXPECT_EQ(Run("fgl_Message 1 hi"), Calls{"SetMessage(hi,1,)"});

  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_Message 2 hello attr"),
            (Calls{"W1.SetMessageLine(2)", "SetMessage(hello,2,attr)"}));
  EXPECT_EQ(Run("fgl_Message 0"), Calls{"W1.SetMessageLine(0)"});
  EXPECT_EQ(Run("fgl_Message -1"), (Calls{"W1.SetMessageLine(-1)", "SetErrorMsg(,-1,)"}));
  EXPECT_EQ(Run("fgl_Message -2 bad red"),
            (Calls{"W1.SetMessageLine(-2)", "SetErrorMsg(bad,-2,red)"}));
}

TEST_F(DialogCommandsTest, CommentAndErrorLinesWhateverTheWindowName) {
  EXPECT_EQ(Run("fgl_ErrorLine 5"), Calls{});
  RecordingRenderWindow* window = host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_CommentLine 23"), Calls{"W1.SetCommentLine(23)"});
  EXPECT_EQ(Run("fgl_ErrorLine 24"), Calls{"W1.SetErrorLine(24)"});
  EXPECT_EQ(Run("fgl_Comment 3 \"a note\""), Calls{"SetComment(a note,3)"});
  EXPECT_EQ(Run("fgl_Display shown"), (Calls{"AddLog(shown,1)", "Display(shown)"}));

  // A window without a name gets no comment line.
  host_.state().RemoveRenderWindow(window);
  CallLog unnamedCalls;
  RecordingRenderWindow unnamed(nullptr, &host_.state(), &unnamedCalls, nullptr);
  host_.state().AddRenderWindow(&unnamed);
  EXPECT_EQ(Run("fgl_CommentLine 23"), Calls{});
  EXPECT_EQ(unnamedCalls, Calls{});
  host_.state().RemoveRenderWindow(&unnamed);
  host_.state().AddRenderWindow(window);

  std::string name(600, 'n');
  host_.OpenWindow(name.c_str());
  Calls calls = Run("fgl_CommentLine 22");
  ASSERT_EQ(calls.size(), 1u);
  // The recording host labels calls with the first 511 characters of the name.
  EXPECT_EQ(calls[0], std::string(511, 'N') + ".SetCommentLine(22)");
}

TEST_F(DialogCommandsTest, WarningRepeatsTheWholeLineCutToItsBuffer) {
  EXPECT_EQ(Run("Warning: disk low"),
            Calls{"WarningMessage(Program Recieved Warning from Remote:\nWarning: disk low )"});

  std::string line = "Warning:";
  for (int i = 0; i < 100; ++i) line += " " + std::string(100, 'a' + i % 26);
  Calls calls = Run(line);
  ASSERT_EQ(calls.size(), 1u);
  std::string prefix = "WarningMessage(Program Recieved Warning from Remote:\nWarning: aaaa";
  EXPECT_EQ(calls[0].compare(0, prefix.size(), prefix), 0);
  // "WarningMessage(" + 7999 bytes of text + ")".
  EXPECT_EQ(calls[0].size(), 15u + 7999u + 1u);
}

TEST_F(DialogCommandsTest, KeyEventsAndKeyList) {
  EXPECT_EQ(Run("fgl_KeyEvent F1 1001 Help h DISABLED"),
            (Calls{"AddKeyEvent(F1,1001,Help,h,false,false)", "SetAnyKey(false)"}));
  EXPECT_EQ(Run("fgl_KeyEvent F1 1001 Help h Disabled"),
            (Calls{"AddKeyEvent(F1,1001,Help,h,false,true)", "SetAnyKey(false)"}));

  EXPECT_EQ(Run("fgl_KeyEvent F2 1002"),
            (Calls{"AddKeyEvent(F2,1002,,,false)", "AddKeyEvent(F2,1002,,,false,true)",
                   "SetAnyKey(false)"}));
  host_.state().answers().SetResult("AddKeyEvent", 1);
  EXPECT_EQ(Run("fgl_KeyEvent F2 1002 Save s"),
            (Calls{"AddKeyEvent(F2,1002,Save,s,false)", "SetAnyKey(false)"}));

  EXPECT_EQ(Run("fgl_KeyDivider"), Calls{"AddKeyEvent(-,0,-,(null),false,true)"});
  EXPECT_EQ(Run("fgl_ClearKeyList"), Calls{"ClearKeyList()"});
  EXPECT_EQ(Run("fgl_InputCase UPPER"), Calls{"SetCase(UPPER)"});
  EXPECT_EQ(Run("fgl_ReturnAnyKey"), Calls{"SetAnyKey(true)"});
}

TEST_F(DialogCommandsTest, WaitFocusesUnlessToldOtherwiseAndReturnsTrue) {
  EXPECT_EQ(Run("fgl_Wait", true), Calls{"WaitInput(0)"});
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_Wait", true),
            (Calls{"FocusRenderWindow()", "W1.CanDraw(Wait)", "WaitInput(0)"}));
  EXPECT_EQ(Run("fgl_Wait 0", true),
            (Calls{"FocusRenderWindow()", "W1.CanDraw(Wait)", "WaitInput(0)"}));
  EXPECT_EQ(Run("fgl_Wait 5", true), (Calls{"W1.CanDraw(Wait)", "WaitInput(5)"}));
}

TEST_F(DialogCommandsTest, BellFlushAndSleep) {
  EXPECT_EQ(Run("fgl_Bell"), Calls{});
  EXPECT_EQ(Run("fgl_Flush"), Calls{"Flush()"});
  EXPECT_EQ(Run("fgl_Sleep 2"), Calls{"Sleep(2000)"});
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_Bell"), Calls{"W1.Bell()"});
  EXPECT_EQ(Run("fgl_Flush"), (Calls{"W1.CanDraw(Flush)", "Flush()"}));
  EXPECT_EQ(Run("fgl_Sleep 3"),
            (Calls{"W1.CanDraw(sleep)", "FocusRenderWindow()", "W1.Sleep(3000)"}));
  // Huge values saturate instead of overflowing.
  EXPECT_EQ(Run("fgl_Sleep 99999999999").back(), "W1.Sleep(2147483647)");
  EXPECT_EQ(Run("fgl_Sleep").back(), "W1.Sleep(0)");
}

TEST_F(DialogCommandsTest, ReportsHelpDocumentTypeAndTasks) {
  Calls calls;
  for (const char* line :
       {"fgl_ReportCreate", "fgl_ReportLine \"total 12\"", "fgl_ReportPause", "fgl_ReportEndPage",
        "fgl_ReportEnd", "fgl_HelpCreate", "fgl_HelpLine text", "fgl_HelpEnd",
        "fgl_DocType pdf out.pdf", "fgl_TaskOpen a b task", "fgl_TaskClose"}) {
    for (const std::string& call : Run(line)) calls.push_back(call);
  }
  EXPECT_EQ(calls, (Calls{"ReportCreate()", "ReportLine(total 12)", "ReportPause()",
                          "ReportEndPage()", "ReportEnd()", "HelpCreate()", "HelpLine(text)",
                          "HelpEnd()", "SetDocType(pdf,out.pdf)", "NewApp(task)", "EndApp()"}));
}

TEST_F(DialogCommandsTest, MissingArgumentsReadAsEmptyOrZero) {
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_FileDialog"), Calls{"W1.FileDialog(,0,,,,)"});
  EXPECT_EQ(Run("fgl_TaskOpen"), Calls{"NewApp()"});
  EXPECT_EQ(Run("fgl_KeyEvent"),
            (Calls{"AddKeyEvent(,0,,,false)", "AddKeyEvent(,0,,,false,true)", "SetAnyKey(false)"}));
}

}  // namespace
}  // namespace nycl::test
