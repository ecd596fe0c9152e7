// Dialog, message, key and report commands driven through protocol lines. The plain mapping of
// the commands the example transcript uses is checked by nycl_trace_example; these are the
// other forms and the decisions.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "command/LineTest.h"

namespace nycl::test {
namespace {

using Calls = CallLog;

struct Case {
  const char* line;
  Calls calls;
};

class DialogCommandsTest : public LineTest {
 protected:
  void RunAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(Run(c.line), c.calls) << c.line;
  }
  // The message box call `line` makes.
  std::string BoxCall(const std::string& line) {
    for (const std::string& call : Run(line)) {
      if (call.rfind("NyMessageBox(", 0) == 0) return call;
    }
    return "no message box";
  }
};

TEST_F(DialogCommandsTest, LinesWithoutAWindow) {
  RunAll({{"fgl_Message 1 hi", {"SetMessage(hi,1,)"}},
          {"fgl_ErrorLine 5", {}},
          {"fgl_Bell", {}},
          {"fgl_Flush", {"Flush()"}},
          {"fgl_Sleep 2", {"Sleep(2000)"}},
          {"fgl_Comment 3 \"a note\"", {"SetComment(a note,3)"}},
          {"fgl_Display shown", {"AddLog(shown,1)", "Display(shown)"}},
          {"fgl_ReportPause", {"ReportPause()"}},
          {"fgl_HelpCreate", {"HelpCreate()"}},
          {"fgl_HelpLine text", {"HelpLine(text)"}},
          {"fgl_HelpEnd", {"HelpEnd()"}},
          {"fgl_DocType pdf out.pdf", {"SetDocType(pdf,out.pdf)"}},
          {"fgl_TaskOpen", {"NewApp()"}},
          {"fgl_TaskClose", {"EndApp()"}},
          {"fgl_ReturnAnyKey", {"SetAnyKey(true)"}},
          // Only the exact word DISABLED disables a key.
          {"fgl_KeyEvent F1 1001 Help h Disabled",
           {"AddKeyEvent(F1,1001,Help,h,false,true)", "SetAnyKey(false)"}},
          {"fgl_KeyEvent",
           {"AddKeyEvent(,0,,,false)", "AddKeyEvent(,0,,,false,true)", "SetAnyKey(false)"}}});
  EXPECT_EQ(Run("fgl_Wait", true), Calls{"WaitInput(0)"});
  // A short key event is added again with its state only when the host refuses the first.
  host_.state().answers().SetResult("AddKeyEvent", 1);
  EXPECT_EQ(Run("fgl_KeyEvent F2 1002 Save s"),
            (Calls{"AddKeyEvent(F2,1002,Save,s,false)", "SetAnyKey(false)"}));
}

TEST_F(DialogCommandsTest, LinesOnTheCurrentWindow) {
  EXPECT_EQ(Run("fgl_WinButton t m i b d 2"), Calls{});
  EXPECT_TRUE(host_.state().dialogRequested);
  host_.state().dialogRequested = false;
  host_.OpenWindow("w1");
  EXPECT_EQ(Run("fgl_FileDialog title 3 a b c d"), (Calls{"W1.FileDialog(title,3,a,b,c,d)"}));
  EXPECT_TRUE(host_.state().dialogRequested);
  RunAll({{"fgl_FileDialog", {"W1.FileDialog(,0,,,,)"}},
          {"fgl_WinButton t m i b d 2", {"W1.WinButton(t,m,i,b,d,2)"}},
          {"fgl_WinQuestion t m d b i x7", {"W1.WinQuestion(t,m,d,b,i,0)"}},
          {"fgl_DetailErrorBox a b c", {"W1.CanDraw(DetailErrorBox)", "W1.DetailErrorBox(a,b,c)"}},
          {"fgl_WinPrompt 3 4 text field 1 2", {"W1.WinPrompt(3,4,text,field,1,2)"}},
          {"fgl_WinPromptB 3 4 text field 1 2",
           {"W1.CanDraw(MessageBox)", "W1.WinPromptB(3,4,text,field,1,2)"}},
          // No text: no message, but an empty error.
          {"fgl_Message 0", {"W1.SetMessageLine(0)"}},
          {"fgl_Message -1", {"W1.SetMessageLine(-1)", "SetErrorMsg(,-1,)"}},
          {"fgl_Flush", {"W1.CanDraw(Flush)", "Flush()"}},
          {"fgl_Sleep 3", {"W1.CanDraw(sleep)", "FocusRenderWindow()", "W1.Sleep(3000)"}},
          // Huge values saturate instead of overflowing.
          {"fgl_Sleep 99999999999",
           {"W1.CanDraw(sleep)", "FocusRenderWindow()", "W1.Sleep(2147483647)"}},
          {"fgl_Sleep", {"W1.CanDraw(sleep)", "FocusRenderWindow()", "W1.Sleep(0)"}}});
  // Waiting focuses the window unless told a time.
  EXPECT_EQ(Run("fgl_Wait 0", true),
            (Calls{"FocusRenderWindow()", "W1.CanDraw(Wait)", "WaitInput(0)"}));
  EXPECT_EQ(Run("fgl_Wait 5", true), (Calls{"W1.CanDraw(Wait)", "WaitInput(5)"}));
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

// Without a window the prompts and the error box use a temporary one, which is unregistered
// again whatever the host bound it to; the error box skips its CanDraw there.
TEST_F(DialogCommandsTest, PromptsWithoutAWindowUseATemporaryOne) {
  EXPECT_EQ(Run("fgl_WinPromptB 1 2 ask f 3 4")[3], "NY__TEMP.CanDraw(MessageBox)");
  EXPECT_EQ(Run("fgl_DetailErrorBox a b c")[3], "NY__TEMP.DetailErrorBox(a,b,c)");
  CallLog calls;
  UnboundWindowState unbound(&calls);
  NyDataStateHolder holder;
  holder.PushDataState(&unbound);
  for (const char* line : {"fgl_WinPrompt 1 2 ask f 3 4", "fgl_WinPromptB 1 2 ask f 3 4",
                           "fgl_DetailErrorBox a b c"}) {
    host_.Run(line);
    NyCommand::Create(line, &holder)->Execute();
    for (RecordingDataState* state : {&host_.state(), static_cast<RecordingDataState*>(&unbound)}) {
      EXPECT_EQ(state->WindowCount(), 0u) << line;
      EXPECT_EQ(state->CurrentWindowField(), nullptr) << line;
    }
  }
}

// The style is 0x50000 with the buttons and the icon; an icon code (the third argument)
// makes an OK-only box whatever the buttons.
TEST_F(DialogCommandsTest, MessageBoxStyleFromButtonAndIconCodesAndTheKeyAnswered) {
  const std::pair<const char*, int> styles[] = {
      {"", 0x30},         {" 0", 0x30},   {" 1", 0x1 | 0x30},  {" 2", 0x5 | 0x100 | 0x20},
      {" 3", 0x3 | 0x20}, {" 7", 0x30},   {" -1", 0x3 | 0x20}, {" 3 1", 0x40},
      {" 3 2", 0x10},     {" 4 3", 0x20}, {" 1 9", 0x30}};
  for (const auto& [arguments, style] : styles) {
    EXPECT_EQ(BoxCall(std::string("fgl_MessageBox title") + arguments),
              "NyMessageBox(,title," + std::to_string(0x50000 | style) + ",0)")
        << arguments;
  }

  EXPECT_TRUE(host_.state().dialogRequested);
  host_.state().answers().SetResult("NyMessageBox", -3);
  Run("fgl_MessageBox t");
  EXPECT_EQ(host_.Sent().back(), "key -3");
}

TEST_F(DialogCommandsTest, CommentLineNeedsANamedWindowOfAnyLength) {
  RecordingRenderWindow* window = host_.OpenWindow("w1");
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
  // The recording host labels calls with the first 511 characters of the name.
  EXPECT_EQ(Run("fgl_CommentLine 22"), Calls{std::string(511, 'N') + ".SetCommentLine(22)"});
}

TEST_F(DialogCommandsTest, WarningRepeatsTheWholeLineCutToItsBuffer) {
  std::string line = "Warning:";
  for (int i = 0; i < 100; ++i) line += " " + std::string(100, 'a' + i % 26);
  // The buffer holds 7999 bytes of the text.
  const std::string text = "Program Recieved Warning from Remote:\n" + line + " ";
  EXPECT_EQ(Run(line), Calls{"WarningMessage(" + text.substr(0, 7999) + ")"});
}

}  // namespace
}  // namespace nycl::test
