#include "nycl/state/NyDataState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

// A data state with the base defaults: the pure operations answered trivially.
class PlainDataState : public NyDataState {
 public:
  int RestartApp() override { return 1; }
  int SetSize(int, int) override { return 1; }
  int SetTitle(char*, char*) override { return 1; }
  int Sleep(int) override { return 1; }
  int SetCase(_caseEnum) override { return 1; }
  NyRenderWindow* Current() const { return currentWindow; }
};

std::string NameOf(NyRenderWindow* window) {
  if (window == nullptr) return "(none)";
  char buffer[600];
  window->getWindowName(buffer, 599);
  return buffer;
}

class WindowRegistryTest : public ::testing::Test {
 protected:
  NyRenderWindow* Add(const char* name) {
    auto* window = new NyRenderWindow(name, 0, 0, 0, 0, "", &state, 0);
    state.AddRenderWindow(window);
    return window;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (auto it = state.RWBegin(); it != state.RWEnd(); ++it) names.push_back(NameOf(*it));
    return names;
  }
  ~WindowRegistryTest() override {
    while (state.RWBegin() != state.RWEnd()) delete *state.RWBegin();
  }
  PlainDataState state;
};

TEST_F(WindowRegistryTest, NamesAreStoredUpperCasedAndFoundIgnoringCaseOnTheirFirst499Characters) {
  NyRenderWindow* window = Add("Main_Win");
  EXPECT_EQ(NameOf(window), "MAIN_WIN");
  EXPECT_EQ(state.FindRenderWindow("main_win"), window);
  EXPECT_EQ(state.FindRenderWindow("MAIN_WIN"), window);
  EXPECT_EQ(state.FindRenderWindow("main"), nullptr);
  EXPECT_EQ(state.FindRenderWindow(""), nullptr);

  NyRenderWindow* first = Add("dup");
  Add("DUP");
  EXPECT_EQ(state.FindRenderWindow("Dup"), first);

  std::string longName(499, 'A');
  NyRenderWindow* longWindow = Add((longName + "XYZ").c_str());
  EXPECT_EQ(state.FindRenderWindow((longName + "Q").c_str()), nullptr);
  EXPECT_EQ(state.FindRenderWindow(longName.c_str()), longWindow);
}

// Adding makes a window current, and so does Init without registering it; only a registered
// window can be selected. With no window every query answers null.
TEST_F(WindowRegistryTest, AddingOrInitMakesCurrentAndSelectingNeedsRegistration) {
  EXPECT_EQ(state.GetCurrentRenderWindow(), nullptr);
  EXPECT_EQ(state.GetFirstRenderWindow(), nullptr);
  EXPECT_EQ(state.FindRenderWindow("a"), nullptr);
  NyRenderWindow loose("loose", 0, 0, 0, 0, "", nullptr, 0);
  EXPECT_EQ(state.InitRenderWindow(&loose), 1);
  EXPECT_EQ(state.GetCurrentRenderWindow(), &loose);
  EXPECT_TRUE(Names().empty());

  NyRenderWindow* a = Add("a");
  NyRenderWindow* b = Add("b");
  EXPECT_EQ(state.GetCurrentRenderWindow(), b);
  EXPECT_EQ(state.SetRenderWindow(a), 1);
  EXPECT_EQ(state.GetCurrentRenderWindow(), a);
  EXPECT_EQ(state.SetRenderWindow(&loose), 0);
  EXPECT_EQ(state.GetCurrentRenderWindow(), a);
  EXPECT_EQ(state.RemoveRenderWindow(&loose), 0);
  EXPECT_EQ(state.GetFirstRenderWindow(), a);
}

TEST_F(WindowRegistryTest, RemovingOrDestroyingTheCurrentWindowFallsBackToTheFirstOnNextQuery) {
  NyRenderWindow* a = Add("a");
  NyRenderWindow* b = Add("b");
  NyRenderWindow* c = Add("c");
  delete b;  // destroying unregisters
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(state.RemoveRenderWindow(c), 1);
  EXPECT_EQ(state.Current(), nullptr);
  EXPECT_EQ(state.GetCurrentRenderWindow(), a);
  EXPECT_EQ(state.Current(), a);
  delete c;  // unregistered already: its destructor finds nothing to remove
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});
  delete Add("d");  // the current window: none is current until the next query
  EXPECT_EQ(state.Current(), nullptr);
  EXPECT_EQ(state.GetCurrentRenderWindow(), a);
}

TEST_F(WindowRegistryTest, CreateRegistersAndKillDestroysTheNamedWindowAnsweringZero) {
  EXPECT_EQ(state.CreateRenderWindow("made", 1, 2, 3, 4, "t", 5), 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"MADE"});
  EXPECT_EQ(state.GetCurrentRenderWindow(), state.FindRenderWindow("made"));

  Add("b");
  EXPECT_EQ(state.KillRenderWindow("B"), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"MADE"});
  EXPECT_EQ(state.KillRenderWindow("nope"), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"MADE"});
}

TEST(NyDataStateTest, WindowsOutlivingTheirDataStateAreDetached) {
  auto* state = new PlainDataState();
  auto* window = new NyRenderWindow("w", 0, 0, 0, 0, "", state, 0);
  state->AddRenderWindow(window);
  delete state;
  delete window;  // must not reach the destroyed data state
}

TEST(NyDataStateTest, CopiesShareTheWindows) {
  PlainDataState state;
  NyRenderWindow window("w", 0, 0, 0, 0, "", &state, 0);
  state.AddRenderWindow(&window);
  state.set_using_compression(true);
  PlainDataState copy(state);
  EXPECT_EQ(copy.FindRenderWindow("w"), &window);
  EXPECT_TRUE(copy.is_using_compression());
  copy.RemoveRenderWindow(&window);
}

TEST(NyDataStateHolderTest, StackOrderAndLookupAcrossStates) {
  NyDataStateHolder holder;
  EXPECT_EQ(holder.PopDataState(), nullptr);
  holder.PushDataState(nullptr);
  EXPECT_EQ(holder.GetLastDataState(), nullptr);
  EXPECT_EQ(holder.FindRenderWindow("a"), nullptr);

  PlainDataState older;
  PlainDataState newer;
  NyRenderWindow oldWindow("a", 0, 0, 0, 0, "", &older, 0);
  NyRenderWindow newWindow("b", 0, 0, 0, 0, "", &newer, 0);
  older.AddRenderWindow(&oldWindow);
  newer.AddRenderWindow(&newWindow);
  holder.PushDataState(&older);
  holder.PushDataState(&newer);
  EXPECT_EQ(newer.GetPrevious(), &older);
  EXPECT_EQ(holder.FindRenderWindow("A"), &oldWindow);
  EXPECT_EQ(holder.FindRenderWindow("b"), &newWindow);
  EXPECT_EQ(holder.PopDataState(), &newer);
  EXPECT_EQ(newer.GetPrevious(), &older);
  EXPECT_EQ(holder.GetLastDataState(), &older);
  EXPECT_EQ(holder.FindRenderWindow("b"), nullptr);
}

TEST(NyRenderWindowTest, GetWindowNameIsBoundedAndCopiesOwnTheirNames) {
  NyRenderWindow window("abcdef", 0, 0, 0, 0, "", nullptr, 0);
  char buffer[8];
  memset(buffer, 'x', sizeof buffer);
  for (const auto& [size, name] : {std::pair{4, "ABCD"}, {6, "ABCDEF"}, {7, "ABCDEF"}}) {
    EXPECT_EQ(window.getWindowName(buffer, size), 1);
    EXPECT_STREQ(buffer, name);
  }

  NyRenderWindow unnamed(nullptr, 0, 0, 0, 0, "", nullptr, 0);
  strcpy(buffer, "junk");
  EXPECT_EQ(unnamed.getWindowName(buffer, 7), 0);
  EXPECT_STREQ(buffer, "");

  auto* original = new NyRenderWindow("orig", 0, 0, 0, 0, "", nullptr, 0);
  NyRenderWindow copy(*original);
  NyRenderWindow assigned;
  assigned = *original;
  delete original;
  EXPECT_EQ(NameOf(&copy), "ORIG");
  EXPECT_EQ(NameOf(&assigned), "ORIG");
}

}  // namespace
}  // namespace nycl::test
