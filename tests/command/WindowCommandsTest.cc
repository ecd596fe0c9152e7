// Window, text, menu, list, column, entry and form commands against the recording host. The
// plain mapping of the commands the example transcript uses is checked by nycl_trace_example;
// these are the other commands and forms, and the decisions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/LineTest.h"

namespace nycl::test {
namespace {

using WindowCommandsTest = LineTest;

TEST_F(WindowCommandsTest, LinesOnTheCurrentWindow) {
  host_.OpenWindow("w");
  const struct {
    const char* line;
    CallLog calls;
  } cases[] = {
      {"fgl_WindowOpen w 1 1 1 1 0 x", {}},  // a known name
      {"fgl_WindowSelect nosuch", {}},
      {"fgl_WindowClear W 3 4",
       {"W.ClearForm(3,4)", "W.DestroyScrollBar()", "W.SetFormName(no-form)", "W.DoToolbar()"}},
      {"fgl_WindowClear other", {}},
      {"fgl_SetWindowTitle a b", {"SetTitle(b,a)"}},
      {"fgl_SetWindowSize w 10 20", {"W.SetSize(10,20)"}},
      {"fgl_SetWindowSize w 10", {}},
      {"fgl_SetWindowSize x 10 20", {}},
      {"fgl_SetSize 5 6", {"SetSize(5,6)"}},
      {"fgl_SetSize 5", {}},
      {"fgl_DisplayAt 2 3 \"end\\n\" n", {"W.AddText(3,2,end,n,0)", "W.AddText(1,3,,n,0)"}},
      {"fgl_DisplayAt 2 3", {"W.AddText(3,2,,,0)"}},
      {"fgl_Label 4 7", {}},
      // Line and column swap, C numbers.
      {"fgl_LineV 1 2 30 s", {"W.LineV(2,1,30,s)"}},
      {"fgl_ClearToEol 8 9", {"W.ClearEOL(9,8)"}},
      {"fgl_ClearToEol ' -12x' abc", {"W.ClearEOL(0,-12)"}},
      {"fgl_ClearToEol 99999999999 +7", {"W.ClearEOL(7,2147483647)"}},
      {"fgl_MenuDestroyV", {"W.MenuDestroy()"}},
      {"fgl_ListDestroy l", {"W.ListDestroy(l)"}},
      {"fgl_ListExport l 1 2 a b c", {"W.ListExport(l,1,2,a,b,c)"}},
      {"fgl_ColumnCreate l c x 4 5 6 t7 t8", {"W.ColumnCreate(l,C,4,5,6,t7,t8,0,)"}},
      {"fgl_ColumnClear l c", {"W.ColumnClear(l,c)"}},
      {"fgl_ColumnState l c 3 4 5 6", {"W.ColumnState(l,c,3,5,6)"}},
      {"fgl_ColumnConfigure l c 3 t 5 6 7", {"W.ColumnConfigure(l,c,3,t,5,7)"}},
      {"fgl_RowDelete l 4", {"W.RowDelete(l,4)"}},
      // Entry fields: the description from ten arguments on, the lines from the fourteenth.
      {"fgl_EntryCreate f1 x 3 4 20 text attr '' '' '' '' '' 7 0",
       {"W.AddItem(4,3,20,1,text,f1,attr,7,{,,,})"}},
      {"fgl_EntryCreate f1 x 3 4 20 text attr '' '' '' '' '' 7 5",
       {"W.AddItem(4,3,20,5,text,f1,attr,7,{,,,})"}},
      {"fgl_EntryCreate f x 3 4 20 t a check 9 yes", {"W.AddItem(4,3,20,1,t,f,a,0,{check,yes,,})"}},
      {"fgl_EntryCreate f x 3 4 20 t a check 9", {"W.AddItem(4,3,20,1,t,f,a,0,null)"}},
      {"fgl_EntryState f 2", {"W.ItemState(f,2)"}},
      {"fgl_EntryConfigure f 2 t 4 5 6", {"W.ItemConfigure(f,t,2,4,6)"}},
      {"fgl_EntryAppend f more", {"W.ItemAppend(f,more)"}},
      {"fgl_EntryDestroy f", {"W.DeleteItem(f)"}},
      {"fgl_SetFieldState f", {"W.ItemState(f,0)", "W.ItemShow(f,0)"}},
      {"fgl_WindowClose w",
       {"KillRenderWindow(W)", "W.~NyRenderWindow()", "RemoveRenderWindow(W)"}},
      {"fgl_WindowClose w", {"KillRenderWindow(W)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.line), c.calls) << c.line;
  EXPECT_EQ(host_.state().WindowCount(), 0u);
  // Without a current window nothing is called.
  for (const char* line :
       {"fgl_DisplayAt 1 1 x", "fgl_Label 1 1 x", "fgl_LineH 1 1 1 x", "fgl_Box 1 2 3 4",
        "fgl_ScrollDelete", "fgl_MenuCreateV m 1 1", "fgl_EntryCreate f x 1 1 1",
        "fgl_SetFieldState f 1 1", "fgl_FormName f", "fgl_ColumnCreate l c"}) {
    EXPECT_EQ(Run(line), CallLog{}) << line;
  }
}

TEST_F(WindowCommandsTest, WindowOpenReadsMissingAsZeroAndOpensTheScreenAgainEveryTime) {
  EXPECT_EQ(Run("fgl_WindowOpen w"), (CallLog{"CreateRenderWindow(w,0,0,0,0,,0)",
                                              "AddRenderWindow(W)", "SetRenderWindow(W)"}));
  host_.Run("fgl_WindowOpen screen 24 80 0 0 0 s");
  host_.Run("fgl_WindowOpen SCREEN 24 80 0 0 0 s");
  EXPECT_EQ(host_.state().WindowCount(), 3u);
  EXPECT_EQ(host_.state().GetCurrentRenderWindow(), host_.state().RWEnd()[-1]);
}

TEST_F(WindowCommandsTest, WindowOpenSeesWindowsOfOlderDataStates) {
  host_.OpenWindow("old");
  CallLog log;
  RecordingDataState newer(&log);
  host_.holder().PushDataState(&newer);
  host_.Run("fgl_WindowOpen old 1 1 1 1 0 x");
  host_.Run("fgl_WindowOpen fresh 1 1 1 1 0 x");
  EXPECT_EQ(log, (CallLog{"CreateRenderWindow(fresh,1,1,1,1,x,0)", "AddRenderWindow(FRESH)",
                          "SetRenderWindow(FRESH)"}));
  host_.holder().PopDataState();
}

// The window is looked up before the text is tested, so even an empty label makes the first
// window current again when none is.
TEST_F(WindowCommandsTest, LabelLooksTheWindowUpFirst) {
  RecordingRenderWindow* first = host_.OpenWindow("a");
  RecordingRenderWindow* second = host_.OpenWindow("b");
  host_.state().NyDataState::RemoveRenderWindow(second);
  ASSERT_EQ(host_.state().CurrentWindowField(), nullptr);
  EXPECT_TRUE(Run("fgl_Label 4 7 \"\" attr").empty());
  EXPECT_EQ(host_.state().CurrentWindowField(), first);
  delete second;
}

}  // namespace
}  // namespace nycl::test
