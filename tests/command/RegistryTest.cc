// Every keyword of the protocol creates a command of its own class.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "command/KeywordTable.h"
#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

// Each entry is linked at the head, so the list holds the registration order reversed.
TEST(RegistryTest, RegistryHoldsExactlyTheTableInReverseOrder) {
  std::vector<std::string> expected;
  std::map<std::string, std::string> classes;
  for (const KeywordClass& entry : kKeywordTable) {
    expected.insert(expected.begin(), entry.keyword);
    classes[entry.keyword] = entry.className;
  }
  ASSERT_EQ(classes.size(), 124u);  // no keyword twice
  std::vector<std::string> walked;
  for (NyCommandTypes* entry = NyCommandTypes::First(); entry != nullptr; entry = entry->next) {
    ASSERT_NE(entry->prototype, nullptr) << entry->keyword;
    walked.push_back(entry->keyword);
    EXPECT_EQ(ClassNameOf(*entry->prototype), classes[entry->keyword]) << entry->keyword;
  }
  EXPECT_EQ(walked, expected);
}

TEST(RegistryTest, NearMissesOfEveryKeywordCreateNothing) {
  RecordingHost host;
  std::set<std::string> keywords;
  for (const KeywordClass& entry : kKeywordTable) keywords.insert(entry.keyword);
  for (const KeywordClass& entry : kKeywordTable) {
    std::string keyword = entry.keyword;
    std::string upper = keyword;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string shorter = keyword.substr(0, keyword.size() - 1);
    for (const std::string& miss : {upper, shorter, keyword + "x"}) {
      if (keywords.count(miss) != 0) continue;  // "fgl_WinPromptB" less its B, for one
      EXPECT_FALSE(host.Creates(QuotedLine(miss.c_str()).c_str())) << miss;
    }
  }
  EXPECT_FALSE(host.Creates(""));
  EXPECT_FALSE(host.Creates("   "));
  // A keyword with a blank matches only when the blank is quoted or escaped.
  EXPECT_FALSE(host.Creates("ProgressValue p1 bar 5"));
  EXPECT_TRUE(host.Creates("ProgressValue\\  p1 bar 5"));
}

// Every command survives missing and surplus arguments, releases its exit lock, and only
// "fgl_ident" and "fgl_Wait" return true. A holder without a data state gets commands that act
// on nothing.
TEST(RegistryTest, EveryCommandExecutesWithAnyNumberOfArguments) {
  for (const char* arguments : {"", " 1", " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16"}) {
    RecordingHost host;
    host.OpenWindow("w1");
    NyDataStateHolder empty;
    for (const KeywordClass& entry : kKeywordTable) {
      std::string keyword = entry.keyword;
      bool expected = keyword == "fgl_ident" || keyword == "fgl_Wait";
      std::string line = "\"" + keyword + "\"" + arguments;
      EXPECT_EQ(host.Run(line.c_str()), expected) << line;
      EXPECT_EQ(host.state().LockCount(), 0) << line;
      NyCommand* command = NyCommand::Create(line.c_str(), &empty);
      ASSERT_NE(command, nullptr) << line;
      EXPECT_EQ(command->Execute(), expected) << line;
    }
  }
}

// A recording data state whose destruction has begun.
class DeletingDataState : public RecordingDataState {
 public:
  explicit DeletingDataState(CallLog* log) : RecordingDataState(log) { deleted = 1; }
};

// The handshake and session commands act on a data state whose destruction has begun as on any
// other: its exit locks keep it alive, and the server still expects their answers. No other
// command touches it.
TEST(RegistryTest, DataStateWhoseDeletionBegunGetsOnlyTheHandshakeAndSessionCommands) {
  const std::set<std::string> bound = {"fgl_ident",         "fgl_auth",        "nyinetif:",
                                       "nyinetif_basic:",   "nyinetif_full:",  "fgl_filter",
                                       "fgl_filterend",     "fgl_StopSession", "fgl_StartSession",
                                       "fgl_ResumeSession", "fgl_AuthMenu",    "fgl_AuthMenuOption",
                                       "fgl_AuthMenuEnd",   "fgl_AuthMenuRun", "fgl_GetNysProg",
                                       "fgl_SessionExec",   "fgl_Exec",        "fgl_ShellExec"};
  for (bool window : {false, true}) {
    for (const char* arguments : {"", " success 1 2 3 4 5"}) {
      for (const KeywordClass& entry : kKeywordTable) {
        const std::string line = "\"" + std::string(entry.keyword) + "\"" + arguments;
        CallLog calls, deletingCalls;
        RecordingDataState normal(&calls);
        DeletingDataState deleting(&deletingCalls);
        const std::pair<RecordingDataState*, CallLog*> runs[] = {{&normal, &calls},
                                                                 {&deleting, &deletingCalls}};
        for (const auto& [state, log] : runs) {
          if (window) state->AddWindow("w1");
          state->set_using_compression(true);
          log->clear();
          NyDataStateHolder holder;
          holder.PushDataState(state);
          NyCommand::Create(line.c_str(), &holder)->Execute();
          holder.PopDataState();
        }
        EXPECT_EQ(deletingCalls, bound.count(entry.keyword) != 0 ? calls : CallLog{}) << line;
      }
    }
  }
}

}  // namespace
}  // namespace nycl::test
