// Window, text, menu, list, column, entry and form commands against the recording host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

class WindowCommandsTest : public ::testing::Test {
 protected:
  // Runs one line and returns the calls it made.
  CallLog Calls(const char* line) {
    host.ClearCalls();
    EXPECT_FALSE(host.Run(line)) << line;
    return host.Calls();
  }
  RecordingHost host;
};

TEST_F(WindowCommandsTest, WindowOpenSwapsPositionAndSizeReadsMissingAsZeroAndIgnoresKnownNames) {
  EXPECT_EQ(Calls("fgl_WindowOpen w1 10 40 2 3 7 Title"),
            (CallLog{"CreateRenderWindow(w1,3,2,40,10,Title,7)", "AddRenderWindow(W1)",
                     "SetRenderWindow(W1)"}));
  EXPECT_TRUE(Calls("fgl_WindowOpen W1 1 1 1 1 0 x").empty());

  EXPECT_EQ(Calls("fgl_WindowOpen w"), (CallLog{"CreateRenderWindow(w,0,0,0,0,,0)",
                                                "AddRenderWindow(W)", "SetRenderWindow(W)"}));
}

TEST_F(WindowCommandsTest, ScreenIsOpenedAgainEveryTime) {
  host.Run("fgl_WindowOpen screen 24 80 0 0 0 s");
  host.Run("fgl_WindowOpen SCREEN 24 80 0 0 0 s");
  EXPECT_EQ(host.state().WindowCount(), 2u);
  EXPECT_EQ(host.state().GetCurrentRenderWindow(), host.state().RWEnd()[-1]);
}

TEST_F(WindowCommandsTest, WindowOpenSeesWindowsOfOlderDataStates) {
  host.OpenWindow("old");
  CallLog log;
  RecordingDataState newer(&log);
  host.holder().PushDataState(&newer);
  host.Run("fgl_WindowOpen old 1 1 1 1 0 x");
  host.Run("fgl_WindowOpen fresh 1 1 1 1 0 x");
  EXPECT_EQ(log, (CallLog{"CreateRenderWindow(fresh,1,1,1,1,x,0)", "AddRenderWindow(FRESH)",
                          "SetRenderWindow(FRESH)"}));
  host.holder().PopDataState();
}

TEST_F(WindowCommandsTest, WindowSelectMakesCurrentAndRefreshesTheToolbar) {
  host.OpenWindow("a");
  host.OpenWindow("b");
  EXPECT_EQ(Calls("fgl_WindowSelect a"), (CallLog{"SetRenderWindow(A)", "A.DoToolbar()"}));
  EXPECT_TRUE(Calls("fgl_WindowSelect nosuch").empty());
}

TEST_F(WindowCommandsTest, WindowClearTitlesSizesAndClose) {
  host.OpenWindow("w");
  EXPECT_EQ(Calls("fgl_WindowClear w"), (CallLog{"W.Clear()", "W.DestroyScrollBar()",
                                                 "W.SetFormName(no-form)", "W.DoToolbar()"}));
  EXPECT_EQ(Calls("fgl_WindowClear W 3 4"), (CallLog{"W.ClearForm(3,4)", "W.DestroyScrollBar()",
                                                     "W.SetFormName(no-form)", "W.DoToolbar()"}));
  EXPECT_TRUE(Calls("fgl_WindowClear other").empty());

  EXPECT_EQ(Calls("fgl_SetWindowTitle a b"), CallLog{"SetTitle(b,a)"});
  EXPECT_EQ(Calls("fgl_SetTitle a b"), CallLog{"SetTitle(a,b)"});
  EXPECT_EQ(Calls("fgl_SetWindowSize w 10 20"), CallLog{"W.SetSize(10,20)"});
  EXPECT_TRUE(Calls("fgl_SetWindowSize w 10").empty());
  EXPECT_TRUE(Calls("fgl_SetWindowSize x 10 20").empty());
  EXPECT_EQ(Calls("fgl_SetSize 5 6"), CallLog{"SetSize(5,6)"});
  EXPECT_TRUE(Calls("fgl_SetSize 5").empty());

  EXPECT_EQ(Calls("fgl_WindowClose w"),
            (CallLog{"KillRenderWindow(W)", "W.~NyRenderWindow()", "RemoveRenderWindow(W)"}));
  EXPECT_EQ(host.state().WindowCount(), 0u);
  EXPECT_EQ(Calls("fgl_WindowClose w"), CallLog{"KillRenderWindow(W)"});
}

TEST_F(WindowCommandsTest, DisplayAtSplitsLinesAndLabelDrawsOnlyNonEmptyText) {
  host.OpenWindow("w");
  EXPECT_EQ(Calls("fgl_DisplayAt 5 10 \"one\\ntwo\\nthree\" bold"),
            (CallLog{"W.AddText(10,5,one,bold,0)", "W.AddText(1,6,two,bold,0)",
                     "W.AddText(1,7,three,bold,0)"}));
  EXPECT_EQ(Calls("fgl_DisplayAt 2 3 \"end\\n\" n"),
            (CallLog{"W.AddText(3,2,end,n,0)", "W.AddText(1,3,,n,0)"}));
  EXPECT_EQ(Calls("fgl_DisplayAt 2 3"), CallLog{"W.AddText(3,2,,,0)"});

  EXPECT_EQ(Calls("fgl_Label 4 7 Name: attr 9"), CallLog{"W.AddText(7,4,Name:,attr,0)"});
  EXPECT_TRUE(Calls("fgl_Label 4 7 \"\" attr").empty());
  EXPECT_TRUE(Calls("fgl_Label 4 7").empty());
}

// The window is looked up before the text is tested, so even an empty label makes the first
// window current again when none is.
TEST_F(WindowCommandsTest, LabelLooksTheWindowUpFirst) {
  RecordingRenderWindow* first = host.OpenWindow("a");
  RecordingRenderWindow* second = host.OpenWindow("b");
  host.state().NyDataState::RemoveRenderWindow(second);
  ASSERT_EQ(host.state().CurrentWindowField(), nullptr);
  EXPECT_TRUE(Calls("fgl_Label 4 7 \"\" attr").empty());
  EXPECT_EQ(host.state().CurrentWindowField(), first);
  delete second;
}

TEST_F(WindowCommandsTest, LinesBoxesAndMenusSwapLineAndColumnWithCNumbers) {
  host.OpenWindow("w");
  EXPECT_EQ(Calls("fgl_LineH 1 2 30 s"), CallLog{"W.LineH(2,1,30,s)"});
  EXPECT_EQ(Calls("fgl_LineV 1 2 30 s"), CallLog{"W.LineV(2,1,30,s)"});
  EXPECT_EQ(Calls("fgl_Box 1 2 3 4"), CallLog{"W.Box(2,1,4,3,unknown)"});
  EXPECT_EQ(Calls("fgl_ClearToEol 8 9"), CallLog{"W.ClearEOL(9,8)"});
  EXPECT_EQ(Calls("fgl_MenuCreateV Main 1 2"), CallLog{"W.MenuCreate(Main,1,2)"});
  EXPECT_EQ(Calls("fgl_MenuFieldCreateV Quit 3 \"Leave now\""),
            CallLog{"W.MenuAdd(Quit,3,Leave now)"});
  EXPECT_EQ(Calls("fgl_MenuFocusV 2"), CallLog{"W.MenuCurrent(2)"});
  EXPECT_EQ(Calls("fgl_MenuDestroyV"), CallLog{"W.MenuDestroy()"});

  EXPECT_EQ(Calls("fgl_ClearToEol ' -12x' abc"), CallLog{"W.ClearEOL(0,-12)"});
  EXPECT_EQ(Calls("fgl_ClearToEol 99999999999 +7"), CallLog{"W.ClearEOL(7,2147483647)"});
}

TEST_F(WindowCommandsTest, ListColumnRowProgressFormAndScrollBarMapping) {
  host.OpenWindow("w");
  EXPECT_EQ(Calls("fgl_ListCreate l 1 2 3 4"), CallLog{"W.ListCreate(l,1,2,3,4)"});
  EXPECT_EQ(Calls("fgl_ListDestroy l"), CallLog{"W.ListDestroy(l)"});
  EXPECT_EQ(Calls("fgl_ListExport l 1 2 a b c"), CallLog{"W.ListExport(l,1,2,a,b,c)"});
  EXPECT_EQ(Calls("fgl_ColumnCreate l name x 4 5 6 t7 t8 9 10 11 12 t13 14"),
            CallLog{"W.ColumnCreate(l,NAME,4,5,6,t7,t8,14,t13)"});
  EXPECT_EQ(Calls("fgl_ColumnCreate l c x 4 5 6 t7 t8"),
            CallLog{"W.ColumnCreate(l,C,4,5,6,t7,t8,0,)"});
  EXPECT_EQ(Calls("fgl_ColumnClear l c"), CallLog{"W.ColumnClear(l,c)"});
  EXPECT_EQ(Calls("fgl_ColumnState l c 3 4 5 6"), CallLog{"W.ColumnState(l,c,3,5,6)"});
  EXPECT_EQ(Calls("fgl_ColumnConfigure l c 3 t 5 6 7"), CallLog{"W.ColumnConfigure(l,c,3,t,5,7)"});
  EXPECT_EQ(Calls("fgl_HeaderConfigure a b c d e"), CallLog{"W.HeaderConfigure(a,b,c,d,e)"});
  EXPECT_EQ(Calls("fgl_RowDelete l 4"), CallLog{"W.RowDelete(l,4)"});
  EXPECT_EQ(Calls("fgl_RowInsert l 5"), CallLog{"W.RowInsert(l,5)"});
  EXPECT_EQ(Calls("fgl_ProgressCreate p bar 0 100"), CallLog{"W.ProgressCreate(p,bar,0,100)"});
  EXPECT_EQ(Calls("\"ProgressValue \" p bar 40"), CallLog{"W.ProgressValue(p,bar,40)"});
  EXPECT_EQ(Calls("fgl_ProgressDestroy p bar"), CallLog{"W.ProgressDestroy(p,bar)"});

  EXPECT_EQ(Calls("fgl_FormName orders"), (CallLog{"W.SetFormName(orders)", "W.DoToolbar()"}));
  EXPECT_EQ(Calls("fgl_ScrollBar 1 2 3 4 s 6 7 8"), CallLog{"W.SetScrollBar(1,2,3,4,s,6,7,8)"});
  EXPECT_EQ(Calls("fgl_ScrollDelete"), CallLog{"W.DestroyScrollBar()"});
}

TEST_F(WindowCommandsTest, EntryFieldMappingAndWidgetDescriptionFromTenArgumentsOn) {
  host.OpenWindow("w");
  EXPECT_EQ(Calls("fgl_EntryCreate f1 x 3 4 20 text attr"),
            CallLog{"W.AddItem(4,3,20,1,text,f1,attr,0,null)"});
  EXPECT_EQ(Calls("fgl_EntryCreate f1 x 3 4 20 text attr '' '' '' '' '' 7 0"),
            CallLog{"W.AddItem(4,3,20,1,text,f1,attr,7,{,,,})"});
  EXPECT_EQ(Calls("fgl_EntryCreate f1 x 3 4 20 text attr '' '' '' '' '' 7 5"),
            CallLog{"W.AddItem(4,3,20,5,text,f1,attr,7,{,,,})"});
  EXPECT_EQ(Calls("fgl_EntryState f 2"), CallLog{"W.ItemState(f,2)"});
  EXPECT_EQ(Calls("fgl_EntryFocus f 1"), CallLog{"W.ItemFocus(f,1)"});
  EXPECT_EQ(Calls("fgl_EntryConfigure f 2 t 4 5 6"), CallLog{"W.ItemConfigure(f,t,2,4,6)"});
  EXPECT_EQ(Calls("fgl_EntryAppend f more"), CallLog{"W.ItemAppend(f,more)"});
  EXPECT_EQ(Calls("fgl_EntrySet f v"), CallLog{"W.ItemSet(f,v)"});
  EXPECT_EQ(Calls("fgl_EntryDestroy f"), CallLog{"W.DeleteItem(f)"});
  EXPECT_EQ(Calls("fgl_SetFieldState f 1 2"), (CallLog{"W.ItemState(f,2)", "W.ItemShow(f,1)"}));
  EXPECT_EQ(Calls("fgl_SetFieldState f"), (CallLog{"W.ItemState(f,0)", "W.ItemShow(f,0)"}));

  EXPECT_EQ(Calls("fgl_EntryCreate f x 3 4 20 t a check 9 yes cls opts"),
            CallLog{"W.AddItem(4,3,20,1,t,f,a,0,{check,yes,opts,cls})"});
  EXPECT_EQ(Calls("fgl_EntryCreate f x 3 4 20 t a check 9 yes"),
            CallLog{"W.AddItem(4,3,20,1,t,f,a,0,{check,yes,,})"});
  EXPECT_EQ(Calls("fgl_EntryCreate f x 3 4 20 t a check 9"),
            CallLog{"W.AddItem(4,3,20,1,t,f,a,0,null)"});
  EXPECT_EQ(Calls("fgl_EntryCreate f x 3 4 20 t a BUTTON 9 \"F5 'Press me'\" c o"),
            CallLog{"W.AddItem(4,3,20,1,t,f,a,0,{BUTTON,F5,o,c})"});
}

// The base window takes the description and frees it.
TEST_F(WindowCommandsTest, PlainWindowTakesTheDescription) {
  NyRenderWindow* window = new NyRenderWindow("plain", 0, 0, 0, 0, "", &host.state(), 0);
  host.state().AddRenderWindow(window);
  EXPECT_FALSE(host.Run("fgl_EntryCreate f x 3 4 20 t a check 9 yes cls opts"));
  delete window;
}

// Without a current window, or with the data state being destroyed, nothing is called.
TEST_F(WindowCommandsTest, CommandsWithoutAWindowDoNothing) {
  for (const char* line :
       {"fgl_DisplayAt 1 1 x", "fgl_Label 1 1 x", "fgl_LineH 1 1 1 x", "fgl_Box 1 2 3 4",
        "fgl_MenuCreateV m 1 1", "fgl_EntryCreate f x 1 1 1", "fgl_SetFieldState f 1 1",
        "fgl_FormName f", "fgl_ScrollDelete", "fgl_ColumnCreate l c"}) {
    EXPECT_TRUE(Calls(line).empty()) << line;
  }
}

}  // namespace
}  // namespace nycl::test
