// The common render window: its resource queries, log lines and screen array.
#include "nycl/state/NyCommonRenderWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "support/CommonStateHost.h"

namespace nycl::test {
namespace {

std::string Value(ResInfo* info, const char* key) {
  if (info == nullptr) return "(no query)";
  const char* value = Atom::DeAtomize(info->FindResourceA(key, nullptr));
  return value != nullptr ? value : "(none)";
}

class NyCommonRenderWindowTest : public ::testing::Test {
 protected:
  // Gives the session an application name and a resource file with one window and form.
  void LoadResources() {
    const std::string path = dir.work() + "/app.r2";
    testing_cache::WriteFile(path, "MYAPP.MAIN.title: Main window\nMYAPP.MAIN.ORDERS.rows: 12\n");
    state.SetApplicationName("MyApp");
    state.SetResFile(new ResFile(path.c_str(), nullptr));
  }

  CacheDirectory dir;
  CommonStateHost state{dir};
};

TEST_F(NyCommonRenderWindowTest, WindowOfANamedApplicationFindsItsResourcesAndLogsTheLookup) {
  LoadResources();
  state.logging = CommonStateHost::Logging::kAll;
  NyCommonRenderWindow window("main", 0, 0, 80, 24, "", &state, 0);
  EXPECT_EQ(state.Take(),
            (Log{"ErrorLog(Tossick,l_tmp=,MYAPP)", "ErrorLog(Tossick,l_m_windowname=,MAIN)"}));
  EXPECT_EQ(Value(window.GetWindowResInfo(), "title"), "Main window");

  window.SetFormName(Arg("orders"));
  window.SetFormName(Arg("orders"));  // the first query is released (checked under ASan)
  EXPECT_EQ(state.Take(),
            (Log{"ErrorLog(Tossick,NyCommonRenderWindow::SetFormName name=,orders)",
                 "ErrorLog(Tossick,NyCommonRenderWindow::SetFormName name=,orders)"}));
  EXPECT_EQ(Value(window.GetFormResInfo(), "rows"), "12");
}

TEST_F(NyCommonRenderWindowTest, WindowWithoutApplicationNameHasNoQueryAndSaysSo) {
  state.logging = CommonStateHost::Logging::kAll;
  NyCommonRenderWindow window("main", 0, 0, 80, 24, "", &state, 0);
  EXPECT_EQ(window.GetWindowResInfo(), nullptr);
  EXPECT_TRUE(state.Take().empty());
  window.SetFormName(Arg("orders"));
  EXPECT_EQ(state.Take(),
            (Log{"ErrorLog(Tossick,NyCommonRenderWindow::SetFormName name=,orders)",
                 "ErrorLog(Tossick,NyCommonRenderWindow::SetFormName ,ERROR m_resinfo == NULL)"}));
  ASSERT_NE(window.GetFormResInfo(), nullptr);
  EXPECT_TRUE(window.GetFormResInfo()->GetNodes().empty());

  // An application name without a resource file: no query either, and the error line.
  state.SetApplicationName("MyApp");
  NyCommonRenderWindow other("other", 0, 0, 80, 24, "", &state, 0);
  EXPECT_EQ(other.GetWindowResInfo(), nullptr);
  EXPECT_EQ(state.Take(),
            (Log{"ErrorLog(Tossick,l_tmp=,MYAPP)", "ErrorLog(Tossick,l_m_windowname=,OTHER)",
                 "ErrorLog(Tossick,ERROR,m_resinfo==NULL)"}));
}

TEST_F(NyCommonRenderWindowTest, ArrayTypeDecidesWhetherDataIsNeeded) {
  NyCommonRenderWindow window("main", 0, 0, 80, 24, "", &state, 0);
  EXPECT_FALSE(window.NeedArrayData());
  for (const auto& [type, needed] :
       {std::pair{"input", true}, {"display", false}, {"other", true}}) {
    window.Array(Arg(type), 10);
    EXPECT_EQ(window.NeedArrayData(), needed) << type;
  }
  window.AddArrayData(Arg("v"), Arg("col"), Arg("string"));
  EXPECT_TRUE(window.ClearAllArrayData());
  EXPECT_FALSE(window.NeedArrayData());
  EXPECT_EQ(window.GetArrayInfo()->GetLength(), 1);
  EXPECT_EQ(window.GetArrayInfo()->GetMaxLength(), 10);
  window.RemoveArrayData();
  EXPECT_EQ(window.GetArrayInfo()->GetLength(), 0);
}

TEST_F(NyCommonRenderWindowTest, CopiesOwnTheirQueriesAndDieInAnyOrder) {
  LoadResources();
  for (bool originalFirst : {true, false}) {
    auto original = std::make_unique<NyCommonRenderWindow>("main", 0, 0, 80, 24, "", &state, 0);
    original->SetFormName(Arg("orders"));
    auto copy = std::make_unique<NyCommonRenderWindow>(*original);
    EXPECT_NE(copy->GetWindowResInfo(), original->GetWindowResInfo());
    EXPECT_NE(copy->GetFormResInfo(), original->GetFormResInfo());
    EXPECT_EQ(Value(copy->GetFormResInfo(), "rows"), "12");

    NyCommonRenderWindow assigned;
    assigned = *original;
    EXPECT_EQ(Value(assigned.GetWindowResInfo(), "title"), "Main window");
    if (originalFirst) original.reset();
    copy.reset();
    original.reset();
  }
}

}  // namespace
}  // namespace nycl::test
