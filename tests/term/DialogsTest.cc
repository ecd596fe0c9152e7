// The waits and dialogs of nycl-term: which keys do what, and the answer lines they send.
#include "Dialogs.h"

#include <gtest/gtest.h>

#include <tuple>

#include "Front.h"
#include "KeyScript.h"
#include "TermState.h"
#include "TermWindow.h"
#include "cache/CacheTestSupport.h"

namespace nycl_term {
namespace {

// Keys from a key script; records what the host showed and sent.
class FakeFront : public Front {
 public:
  Key NextKey() override { return keys.NextKey(); }
  void BeginWait(const std::string& what) override { waits.push_back(what); }
  void Show(const Grid&, int, int) override {}
  void EndWait() override {}
  void Answered(const std::string&) override {}
  void Refresh(const Grid&) override {}
  void Bell() override { ++bells; }
  void Report(const std::vector<std::string>&, const std::string&) override {}
  void SessionEnded(const Grid&, const std::string&, bool) override {}

  KeyScript keys;
  std::vector<std::string> waits;
  int bells = 0;
};

// Keeps the answers instead of sending them.
class AnswerState : public TermState {
 public:
  AnswerState(const std::string& cache, Front* front)
      : TermState(nycl::CCorvathFileCache::InDirectory(cache), front, Settings()) {}
  int SendResponceString(char* line) override {
    if (!Halted()) answers.push_back(line);
    return TermState::SendResponceString(line);
  }
  std::vector<std::string> answers;
};

class DialogsTest : public ::testing::Test {
 protected:
  DialogsTest() : state_(new AnswerState(tree_ / "cache", &front_)) {
    state_->CreateRenderWindow("SCREEN", 0, 0, 80, 24, "", 0);
    window_ = state_->CurrentWindow();
  }
  ~DialogsTest() override {
    delete window_;
    state_->DeleteMe();
  }

  // The keys for the next dialog, as a key script ("ab<Enter>"); the last ones were all taken.
  void Type(const std::string& script) {
    std::string error;
    ASSERT_TRUE(front_.keys.Exhausted());
    ASSERT_TRUE(front_.keys.Parse(script, &error)) << error;
  }
  // The answers of the program's wait to `keys`, typed as Type takes them.
  std::vector<std::string> Wait(const std::string& keys) {
    Type(keys);
    state_->answers.clear();
    state_->WaitInput(0);
    return state_->answers;
  }
  void Field(const char* name, int line, int width, const char* value) {
    std::string n = name, v = value, attribute = "normal";
    window_->AddItem(10, line, width, 1, &v[0], &n[0], &attribute[0], 0, nullptr);
  }
  void BindKey(const char* name, int number, bool enabled = true) {
    state_->AddKeyEvent(name, number, "label", "", false, enabled);
  }

  nycl::testing_cache::TempTree tree_;
  FakeFront front_;
  AnswerState* state_;
  TermWindow* window_;
};

using Lines = std::vector<std::string>;

TEST_F(DialogsTest, RingMenuAnswersTheNumberOfTheOptionChosenByArrowsOrFirstLetter) {
  std::string title = "Main", a = "Add", b = "Browse", x = "Exit", none = "";
  window_->MenuCreate(&title[0], 2, 3);
  window_->MenuAdd(&a[0], 10, &none[0]);
  window_->MenuAdd(&b[0], 20, &none[0]);
  window_->MenuAdd(&x[0], 30, &none[0]);
  // The ring wraps: Add Browse Exit Add Exit.
  EXPECT_EQ(Wait("<Right><Right><Right><Left><Enter>"), Lines{"menu 30"});
  EXPECT_EQ(Wait("qe"), Lines{"menu 30"});  // no option starts with q
  EXPECT_EQ(front_.bells, 1);
  EXPECT_EQ(front_.waits.back(), "menu \"Main\"");
  BindKey("F3", 3);
  EXPECT_EQ(Wait("<F3>"), Lines{"key 3"});
  EXPECT_EQ(Wait("<Esc>"), Lines{"cancel"});
}

TEST_F(DialogsTest, InputSendsEveryEnterableFieldThenHowItEnded) {
  Field("number", 3, 6, "1042");
  Field("name", 4, 12, "Miller");
  Field("note", 5, 10, "");
  std::string number = "number", note = "note";
  window_->ItemState(&number[0], 0);  // shown only
  window_->ItemFocus(&note[0], 1);
  const std::string note_line = R"(field note "say \"hi\\\"")";
  EXPECT_EQ(Wait("say \"hi\\\"<Tab><BSpace><Enter>"),
            (Lines{"field name \"Mille\"", note_line, "accept"}));
  EXPECT_EQ(front_.waits.back(), "input");

  BindKey("F5", 5);
  BindKey("F6", 6, false);
  EXPECT_EQ(Wait("<Home><F6><F7>X<F5>"), (Lines{"field name \"XMille\"", note_line, "key 5"}));
  EXPECT_EQ(front_.bells, 2);  // F6 is disabled, F7 not bound

  EXPECT_EQ(Wait("zz<Esc>"), Lines{"cancel"});
}

TEST_F(DialogsTest, FieldsKeepTheirWidthAndTheInputCase) {
  Field("code", 3, 3, "");
  state_->SetCase(nycl::CASE_UPPER);
  EXPECT_EQ(Wait("abcd<Enter>"), (Lines{"field code \"ABC\"", "accept"}));
  EXPECT_EQ(front_.bells, 1);
  state_->SetCase(nycl::CASE_LOWER);
  EXPECT_EQ(Wait("<Left><Del><BTab>Q<Enter>"), (Lines{"field code \"ABq\"", "accept"}));
}

TEST_F(DialogsTest, AListShowingAnArrayAnswersTheRowThenAccept) {
  window_->ListCreate("things", 1, 5, 40, 4);
  window_->ColumnCreate("things", "NAME", 1, 10, 0, "Name", "left", 0, "");
  std::string type = "display";
  window_->Array(&type[0], 10);
  for (const char* row : {"things.name__0", "things.name__1", "things.name__2"}) {
    std::string value = "v", field = row, kind = "string";
    window_->AddArrayData(&value[0], &field[0], &kind[0]);
  }
  EXPECT_EQ(Wait("<Down><Down><Down><Up><Enter>"), (Lines{"row 2", "accept"}));
  EXPECT_EQ(front_.bells, 1);  // no fourth row
  EXPECT_EQ(front_.waits.back(), "list \"things\"");
  EXPECT_EQ(Wait("<Esc>"), Lines{"cancel"});
}

TEST_F(DialogsTest, NothingToEnterAnswersAcceptOrAnyKeyAfterReturnAnyKey) {
  EXPECT_EQ(Wait("x<Enter>"), Lines{"accept"});
  EXPECT_EQ(front_.bells, 1);
  state_->SetAnyKey(true);
  EXPECT_EQ(Wait("<Enter>"), Lines{"anykey \"<Enter>\""});
  BindKey("ENTER", 13);
  EXPECT_EQ(Wait("<Enter>"), Lines{"key 13"});
}

// Style 0x100 | 5 makes the second button the default; Yes/No (4) has no Cancel, so Esc rings
// the bell there; unknown styles show OK.
TEST_F(DialogsTest, MessageBoxButtonsAnswerTheirNumbers) {
  // Keys, style, the answer.
  const std::tuple<const char*, int, int> boxes[] = {{"n", 4, 7},
                                                     {"<Esc>", 1, 2},
                                                     {"<Enter>", 0x100 | 5, 2},
                                                     {"<Esc><Right><Enter>", 4, 7},
                                                     {"<Esc>", 9, 1}};
  std::string text = "\nSave?", title = "Save";
  for (const auto& [keys, style, answer] : boxes) {
    Type(keys);
    EXPECT_EQ(state_->NyMessageBox(&text[0], &title[0], style, 0), answer) << keys;
  }
  EXPECT_EQ(front_.bells, 1);
  EXPECT_EQ(front_.waits.back(), "message box \"Save\"");
}

TEST_F(DialogsTest, PromptsButtonsAndFileDialogsAnswerWhatTheUserChose) {
  Type("x<Esc>");
  state_->Prompt(0, 0, "Name:", "Ann", 10, 0);
  Type("<Enter>");
  state_->Prompt(0, 0, "Name:", "Ann", 10, 0);
  Type("<Right><Enter>");
  state_->Buttons("Delete", "Delete it?", "Yes", "Yes|No|Later");
  Type("l");
  state_->Buttons("Delete", "Delete it?", "Yes", "Yes|No|Later");
  Type("<Esc>");
  state_->Buttons("Delete", "Delete it?", "", "Yes|No");
  Type("/tmp/a b<Enter>");
  state_->FileDialog("Export", "");
  EXPECT_EQ(state_->answers, (Lines{"cancel", "prompt \"Ann\"", "button \"No\"", "button \"Later\"",
                                    "cancel", "file \"/tmp/a b\""}));
}

TEST_F(DialogsTest, AKeyScriptThatEndsHaltsTheSessionWithoutAnswering) {
  bool stopped = false;
  state_->SetStopRequest([&] { stopped = true; });
  Field("name", 3, 10, "");
  EXPECT_EQ(Wait("abc"), Lines{});
  EXPECT_TRUE(stopped);
  EXPECT_EQ(state_->HaltReason(), "the key script ended while the program waited for input");
  std::string text = "x", title = "t";
  EXPECT_EQ(state_->NyMessageBox(&text[0], &title[0], 0, 0), 0);
  EXPECT_EQ(front_.waits.size(), 1u);  // nothing more was shown
  EXPECT_EQ(state_->StatusLine(), state_->HaltReason());
}

TEST_F(DialogsTest, StatusLineShowsTheEnabledKeysInTheirGroups) {
  BindKey("F1", 1);
  state_->AddKeyEvent("-", 0, "-", nullptr, false, true);
  BindKey("F2", 2, false);
  state_->AddKeyEvent("-", 0, "-", nullptr, false, true);
  BindKey("F5", 5);
  BindKey("F6", 6);
  EXPECT_EQ(state_->StatusLine(), "F1 label  |  F5 label  F6 label");
  state_->ClearKeyList();
  EXPECT_EQ(state_->StatusLine(), "");
}

}  // namespace
}  // namespace nycl_term
