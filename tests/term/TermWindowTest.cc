// How nycl-term draws the program's windows: their stacking, frames and titles, fields with
// the labels of their form, lists of a screen array, and the lines outside the windows.
#include "TermWindow.h"

#include <gtest/gtest.h>

#include "HeadlessFront.h"
#include "KeyScript.h"
#include "TermState.h"
#include "cache/CacheTestSupport.h"
#include "nycl/res/ResFile.h"
#include "res/ResTestSupport.h"

namespace nycl_term {
namespace {

// A data state of the application "app" whose resources are given as "path: value".
class FormState : public TermState {
 public:
  FormState(const std::string& cache, Front* front, std::initializer_list<std::string> resources)
      : TermState(nycl::CCorvathFileCache::InDirectory(cache), front, Options()) {
    resFile = new nycl::ResFile();
    nycl::testing_res::AddEntries(resFile, resources);
    resFile->PostAdd();
  }
  static Settings Options() {
    Settings settings;
    settings.application = "app";
    return settings;
  }
};

class TermWindowTest : public ::testing::Test {
 protected:
  TermWindowTest()
      : front_(stdout, &keys_),
        state_(new FormState(tree_ / "cache", &front_,
                             {"app*cust*name.label: Name:", "app*cust*name.comment: Who",
                              "app*orders.title: Open orders"})) {}
  ~TermWindowTest() override {
    std::vector<nycl::NyRenderWindow*> windows(state_->RWBegin(), state_->RWEnd());
    for (nycl::NyRenderWindow* window : windows) delete window;
    state_->DeleteMe();
  }
  TermWindow* Open(const char* name, int column, int line, int width, int height,
                   const char* title) {
    state_->CreateRenderWindow(name, column, line, width, height, title, 0);
    return state_->CurrentWindow();
  }
  // Screen lines first to last of `rows`, each cut to `width` columns.
  std::string Rows(int first, int last, int width = 30) {
    const Grid screen = state_->Compose();
    std::string rows;
    for (int y = first; y <= last; ++y) rows += screen.Row(y).substr(0, width) + "\n";
    return rows;
  }
  static char* S(std::string& text) { return &text[0]; }

  nycl::testing_cache::TempTree tree_;
  KeyScript keys_;
  HeadlessFront front_;
  FormState* state_;
};

TEST_F(TermWindowTest, TheWindowMadeCurrentLastIsDrawnOnTopInItsFrame) {
  std::string text = "under", normal = "normal";
  Open("SCREEN", 0, 0, 80, 24, "")->AddText(1, 2, S(text), S(normal), 0);
  TermWindow* one = Open("one", 3, 2, 8, 2, "One");
  TermWindow* two = Open("two", 6, 3, 8, 2, "");
  std::string form = "orders";
  two->SetFormName(S(form));  // its title comes from the form
  // Line 2, column 3 is the window's first cell inside the frame; a title is cut to fit.
  EXPECT_EQ(Rows(0, 4),
            " +- One --+                   \n"
            "u|  +- Open -+                \n"
            " |  |        |                \n"
            " +--|        |                \n"
            "    +--------+                \n");
  state_->SetRenderWindow(one);
  EXPECT_EQ(Rows(2, 4),
            " |        |  |                \n"
            " +--------+  |                \n"
            "    +--------+                \n");
  delete one;
  EXPECT_EQ(state_->CurrentWindow(), state_->GetFirstRenderWindow());
}

TEST_F(TermWindowTest, FieldsStandInBracketsWithTheLabelsOfTheirForm) {
  TermWindow* screen = Open("SCREEN", 0, 0, 80, 24, "");
  std::string form = "cust", value = "Ann", name = "name", other = "code", empty = "",
              attribute = "normal", more = "e";
  screen->SetFormName(S(form));
  screen->AddItem(10, 2, 6, 1, S(value), S(name), S(attribute), 0, nullptr);
  screen->AddItem(10, 3, 4, 1, S(empty), S(other), S(attribute), 0, nullptr);
  screen->ItemAppend(S(name), S(more));
  EXPECT_EQ(Rows(1, 2, 20),
            "  Name: [Anne  ]    \n"
            "        [    ]      \n");
  EXPECT_EQ(screen->FieldResource("name", "comment"), "Who");
  screen->ItemShow(S(other), 0);
  screen->DeleteItem(S(name));
  EXPECT_EQ(Rows(1, 2, 20), std::string(20, ' ') + "\n" + std::string(20, ' ') + "\n");
}

TEST_F(TermWindowTest, MessagesGoOnTheirLinesUnlessTheProgramMovesThem) {
  TermWindow* screen = Open("SCREEN", 0, 0, 80, 24, "");
  state_->SetMessage("hello", 0, "bold");
  std::string warning = "Program Recieved Warning from Remote:\ndisk low ";
  state_->WarningMessage(S(warning));
  EXPECT_EQ(Rows(21, 23, 50),
            "hello                                             \n"
            "                                                  \n"
            "Program Recieved Warning from Remote: disk low    \n");
  screen->SetMessageLine(2);
  state_->ClearError();
  state_->SetComment("a comment", 0);
  EXPECT_EQ(Rows(1, 1, 10), "hello     \n");
  EXPECT_EQ(Rows(22, 23, 10), "a comment \n          \n");
  EXPECT_EQ(state_->Compose().At(0, 1).attributes, kBold);
}

}  // namespace
}  // namespace nycl_term
