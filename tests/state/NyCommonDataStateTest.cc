// The common classes: the data state's answers, switches and session settings, and the render
// window's resource queries, log lines and screen array.
#include "nycl/state/NyCommonDataState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "net/NetFakes.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "nycl/state/NyRenderWindow.h"
#include "support/CommonStateHost.h"

namespace nycl::test {
namespace {

// A socket that only tells its transport by class name; it never connects.
class NamedSocket : public ChainSocket {
 public:
  explicit NamedSocket(const char* className) : ChainSocket(nullptr) {
    std::strncpy(m_runtimeClassName, className, sizeof m_runtimeClassName - 1);
  }
};

// The value of `key` in a resource query, or what stands in for a missing query or value.
std::string Value(ResInfo* info, const char* key) {
  if (info == nullptr) return "(no query)";
  const char* value = Atom::DeAtomize(info->FindResourceA(key, nullptr));
  return value != nullptr ? value : "(none)";
}

class NyCommonDataStateTest : public ::testing::Test {
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
using NyCommonRenderWindowTest = NyCommonDataStateTest;

TEST_F(NyCommonDataStateTest, SwitchesSendTheirLinesInProtocolOrder) {
  NamedSocket plain("TcpSocket");
  NamedSocket impostor("SSLTcpSocket");  // named like TLS but is none: treated as plain
  using State = NyCommonDataState;
  const std::pair<int (State::*)(), Log> cases[] = {
      {&State::PauseCompress, {"PauseZFilter()", "\n", "fgl_filter 2"}},
      {&State::NewPauseCompress, {"PauseZFilter()", "\n", "fgl_SessionStopped"}},
      {&State::CompressSocket, {"AddZFilter()", "fgl_filter"}},
      {&State::NewCompressSocket, {"AddZFilter()", "fgl_SessionReady", "Flush()"}},
      {&State::ReCompress, {"ResumeZFilter()", "fgl_filter"}},
      {&State::NewReCompress, {"ResumeZFilter()", "fgl_SessionReady"}},
      {&State::ResumeSSLEncrypt, {}},
  };
  for (Socket* socket : {static_cast<Socket*>(nullptr), static_cast<Socket*>(&plain),
                         static_cast<Socket*>(&impostor)}) {
    state.connection.socket = socket;
    for (size_t i = 0; i < std::size(cases); ++i) {
      const auto& [call, expected] = cases[i];
      SCOPED_TRACE("case " + std::to_string(i) + " on " +
                   (socket ? socket->GetRuntimeClassName() : "(null)"));
      EXPECT_EQ((state.*call)(), 1);
      EXPECT_EQ(state.Take(), expected);
    }
    EXPECT_FALSE(state.is_ssl_running());
    EXPECT_FALSE(state.is_this_a_ssl_connection());
    EXPECT_FALSE(state.is_cert_valid());
  }
}

TEST_F(NyCommonDataStateTest, MessageBoxGathersLinesUntilOneReadTakesThemAll) {
  char buffer[7000];
  state.AddMessageBoxLine(Arg("a"));
  state.AddMessageBoxLine(Arg("b"));
  EXPECT_EQ(state.GetMessageBoxLine(buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "\na\nb");
  EXPECT_EQ(state.GetMessageBoxLine(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");

  for (int length : {3000, 5000}) {
    state.AddMessageBoxLine(Arg(std::string(length, 'x')));
    EXPECT_EQ(state.GetMessageBoxLine(buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), "\n" + std::string(length, 'x'));
  }

  state.AddMessageBoxLine(Arg("abcdef"));
  char small[5] = "....";
  EXPECT_EQ(state.GetMessageBoxLine(small, 4), 1);
  EXPECT_STREQ(small, "\nab");
  EXPECT_EQ(small[4], '\0');
}

TEST_F(NyCommonDataStateTest, CaseTextsSetTheInputCase) {
  const std::pair<const char*, _caseEnum> cases[] = {
      {"UPPER", CASE_UPPER}, {"Lower", CASE_LOWER}, {"", CASE_NONE}, {"uppers", CASE_NONE}};
  for (const auto& [text, expected] : cases) {
    state.SetCase(CASE_LOWER);
    EXPECT_EQ(state.SetCase(Arg(text)), 1);
    EXPECT_EQ(state.GetCase(), expected) << text;
  }
  state.SetCase(static_cast<char*>(nullptr));
  EXPECT_EQ(state.GetCase(), CASE_NONE);
}

// A window that records the title and the blob it is given.
class RecordingWindow : public NyRenderWindow {
 public:
  RecordingWindow(const char* name, NyDataState* state)
      : NyRenderWindow(name, 0, 0, 0, 0, "", state, 0) {}
  int SetTitle(char* text) override {
    title = text != nullptr ? text : "(null)";
    return 1;
  }
  int AddToReceivedBlob(char* bytes, int count) override {
    blob += "[" + std::string(bytes, count) + "]";
    return 1;
  }
  int EndBlobReceive() override {
    blob += "end";
    return 1;
  }
  std::string title, blob;
};

TEST_F(NyCommonDataStateTest, TitleGoesToTheNamedOrTheCurrentWindow) {
  EXPECT_EQ(state.SetTitle(Arg(""), Arg("nobody")), 0);  // no window at all
  RecordingWindow first("first", &state);
  RecordingWindow second("second", &state);
  state.AddRenderWindow(&first);
  state.AddRenderWindow(&second);
  EXPECT_EQ(state.SetTitle(Arg("FIRST"), Arg("one")), 0);
  EXPECT_EQ(state.SetTitle(Arg(""), Arg("two")), 0);
  EXPECT_EQ(state.SetTitle(nullptr, Arg("three")), 0);
  EXPECT_EQ(state.SetTitle(Arg("unknown"), Arg("four")), 0);
  EXPECT_EQ(first.title, "one");
  EXPECT_EQ(second.title, "three");
}

TEST_F(NyCommonDataStateTest, BlobBytesReachTheCurrentWindowAndTheEndFlushesTheRest) {
  state.BlobData(Arg("YWJjZA"));  // no window: dropped, and nothing breaks
  state.BlobEnd();
  RecordingWindow window("blob", &state);
  state.AddRenderWindow(&window);
  state.BlobData(Arg("YWJjZA"));
  state.BlobData(Arg("=="));
  state.BlobData(Arg("eA"));
  state.BlobEnd();
  EXPECT_EQ(window.blob, "[abc][d][x]end");
}

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
