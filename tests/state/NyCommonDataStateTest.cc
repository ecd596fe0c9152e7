// The common data state's answers, switches and session settings.
#include "nycl/state/NyCommonDataState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "nycl/state/NyRenderWindow.h"
#include "support/CommonStateHost.h"

namespace nycl::test {
namespace {

// A socket that only tells its transport by class name; it never connects.
class NamedSocket : public Socket {
 public:
  explicit NamedSocket(const char* className) : Socket(nullptr) {
    std::strncpy(m_runtimeClassName, className, sizeof m_runtimeClassName - 1);
  }
  void Connect(XString, XString) override {}
  void Listen(XString, XString) override {}
  void Close() override {}
  void Destroy() override {}

 protected:
  void DoSend(const unsigned char*, int) override {}
  void DoSendMessage(int, void*) override {}
};

class NyCommonDataStateTest : public ::testing::Test {
 protected:
  CacheDirectory dir;
  CommonStateHost state{dir};
};

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

class TitledWindow : public NyRenderWindow {
 public:
  TitledWindow(const char* name, NyDataState* state)
      : NyRenderWindow(name, 0, 0, 0, 0, "", state, 0) {}
  int SetTitle(char* text) override {
    title = text != nullptr ? text : "(null)";
    return 1;
  }
  std::string title;
};

TEST_F(NyCommonDataStateTest, TitleGoesToTheNamedOrTheCurrentWindow) {
  EXPECT_EQ(state.SetTitle(Arg(""), Arg("nobody")), 0);  // no window at all
  TitledWindow first("first", &state);
  TitledWindow second("second", &state);
  state.AddRenderWindow(&first);
  state.AddRenderWindow(&second);
  EXPECT_EQ(state.SetTitle(Arg("FIRST"), Arg("one")), 0);
  EXPECT_EQ(state.SetTitle(Arg(""), Arg("two")), 0);
  EXPECT_EQ(state.SetTitle(nullptr, Arg("three")), 0);
  EXPECT_EQ(state.SetTitle(Arg("unknown"), Arg("four")), 0);
  EXPECT_EQ(first.title, "one");
  EXPECT_EQ(second.title, "three");
}

}  // namespace
}  // namespace nycl::test
