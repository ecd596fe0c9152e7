// Hostile protocol lines: every keyword with random argument lists, mutated real lines and
// whole random lines must create and execute without crashing or touching memory it does not
// own. Run under the sanitizer build to catch overflows and undefined behaviour; the seeds are
// fixed, so a failure reproduces.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "KeywordTable.h"
#include "nycl/command/NyCommand.h"
#include "nycl/state/NyDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

class LineMaker {
 public:
  explicit LineMaker(unsigned seed) : rng_(seed) {}

  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // One argument of a kind servers send, or one they should not.
  std::string Token() {
    switch (Below(14)) {
      case 0:
        return std::to_string(Below(100));
      case 1:
        return std::to_string(-Below(100000));
      case 2:
        return "99999999999999999999999999";
      case 3:
        return "-2147483648";
      case 4:
        return "2147483647";
      case 5:
        return "\"\"";
      case 6:
        return "''";
      case 7:
        return "\"" + Word() + " " + Word() + "\"";
      case 8:
        return "'" + Word() + "\\\\\\'" + Word() + "'";
      case 9:
        return Word() + "\\";
      case 10:
        return Below(8) == 0 ? std::string(10000 + Below(10000), 'x') : Word();
      case 11:
        return Bytes(1 + Below(12));
      case 12:
        return "\"unterminated " + Word();
      default:
        return Word();
    }
  }

  std::string Word() {
    static const char* const kWords[] = {"w1",     "f1",       "a",  "0",     "1",   "-1", "x.frm",
                                         "%s%n%d", "c:/tmp/a", "||", "a|b|c", "1,2", "\t", "\\"};
    return kWords[Below(sizeof kWords / sizeof kWords[0])];
  }

  // Any bytes but the terminating null, control and high bytes included.
  std::string Bytes(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(1 + Below(255));
    return text;
  }

  std::string Line(const char* keyword) {
    std::string line = keyword;
    int count = Below(41);
    for (int i = 0; i < count; ++i) line += " " + Token();
    return line;
  }

  // Mostly small or extreme numbers, as counts and indexes that promise more than follows.
  std::string NumericLine(const char* keyword) {
    static const char* const kExtremes[] = {
        "-1", "0", "2147483647", "-2147483648", "4294967296", "1e9", "0x10", "+5", "07", ""};
    std::string line = keyword;
    int count = Below(12);
    for (int i = 0; i < count; ++i) {
      line += " ";
      int kind = Below(4);
      line += kind == 0 ? kExtremes[Below(10)] : kind == 1 ? Word() : std::to_string(Below(60));
    }
    return line;
  }

  // `line` with a few bytes replaced, inserted or removed.
  std::string Mutated(std::string line) {
    int edits = 1 + Below(4);
    for (int i = 0; i < edits && !line.empty(); ++i) {
      size_t at = static_cast<size_t>(Below(static_cast<int>(line.size())));
      switch (Below(3)) {
        case 0:
          line[at] = static_cast<char>(1 + Below(255));
          break;
        case 1:
          line.insert(at, 1, "\"'\\ 0-9"[Below(7)]);
          break;
        default:
          line.erase(at, 1 + Below(4));
          break;
      }
    }
    return line;
  }

 private:
  std::mt19937 rng_;
};

// Runs `line` on a fresh host, with a current window half of the time.
void RunOnFreshHost(LineMaker& maker, const std::string& line) {
  RecordingHost host;
  if (maker.Below(2) == 0) host.OpenWindow("w1");
  host.Run(line.c_str());
}

TEST(HostileCommandTest, EveryKeywordSurvivesRandomArgumentLists) {
  LineMaker maker(20261206);
  for (const KeywordClass& entry : kKeywordTable) {
    for (int i = 0; i < 24; ++i) {
      SCOPED_TRACE(entry.keyword);
      RunOnFreshHost(maker, maker.Line(entry.keyword));
    }
  }
}

TEST(HostileCommandTest, EveryKeywordSurvivesCountsThatPromiseMoreThanFollows) {
  LineMaker maker(1729);
  for (const KeywordClass& entry : kKeywordTable) {
    for (int i = 0; i < 24; ++i) {
      SCOPED_TRACE(entry.keyword);
      RunOnFreshHost(maker, maker.NumericLine(entry.keyword));
    }
  }
}

TEST(HostileCommandTest, SameHostSurvivesASequenceOfRandomCommands) {
  // Commands that leave state behind (menus, lists, reports, blobs, arrays) meet the next one.
  LineMaker maker(7);
  auto host = std::make_unique<RecordingHost>();
  host->OpenWindow("w1");
  constexpr int kCount = sizeof kKeywordTable / sizeof kKeywordTable[0];
  for (int i = 0; i < 4000; ++i) {
    const char* keyword = kKeywordTable[maker.Below(kCount)].keyword;
    std::string line = maker.Below(2) == 0 ? maker.NumericLine(keyword) : maker.Line(keyword);
    if (line.size() > 4000) continue;
    host->Run(line.c_str());
    host->ClearCalls();
    if (host->Destroyed() != 0) {  // a command ended the session: start another
      host = std::make_unique<RecordingHost>();
      host->OpenWindow("w1");
    }
  }
}

// A host that implements only what it must: every other operation keeps the library's
// default. Windows are the library's own plain ones; the state deletes those left at its end.
class BareDataState : public NyDataState {
 public:
  explicit BareDataState(bool* destroyed) : destroyed_(destroyed) {}
  ~BareDataState() override {
    *destroyed_ = true;
    while (!windows.empty()) delete windows.back();
  }
  int RestartApp() override { return 0; }
  int SetSize(int, int) override { return 0; }
  int SetTitle(char*, char*) override { return 0; }
  int Sleep(int) override { return 0; }
  int SetCase(_caseEnum) override { return 0; }
  using NyDataState::SetCase;

 private:
  bool* destroyed_;
};

TEST(HostileCommandTest, DefaultHostSurvivesRandomCommandSequences) {
  LineMaker maker(9);
  constexpr int kCount = sizeof kKeywordTable / sizeof kKeywordTable[0];
  for (int session = 0; session < 40; ++session) {
    bool destroyed = false;
    NyDataStateHolder holder;
    auto* state = new BareDataState(&destroyed);
    holder.PushDataState(state);
    for (int i = 0; i < 100 && !destroyed; ++i) {
      std::string line = maker.Below(3) == 0
                             ? "fgl_WindowOpen " + maker.Word() + " 1 1 10 10 t 0"
                             : maker.Line(kKeywordTable[maker.Below(kCount)].keyword);
      if (line.size() > 4000) continue;
      if (NyCommand* command = NyCommand::Create(line.c_str(), &holder)) command->Execute();
    }
    if (!destroyed) {
      holder.PopDataState();
      delete state;
    }
  }
}

TEST(HostileCommandTest, HugeLinesOfManyOrLongTokens) {
  static const char* const kKeywords[] = {"fgl_DisplayAt",   "fgl_MenuCreateV",  "fgl_Array",
                                          "fgl_WinQuestion", "fgl_EntryInclude", "fgl_FileData"};
  for (const char* keyword : kKeywords) {
    std::string many = keyword;
    for (int i = 0; i < 20000; ++i) many += " 7";
    std::string one = std::string(keyword) + " \"" + std::string(1 << 20, 'z');
    for (const std::string* line : {&many, &one}) {
      RecordingHost host;
      host.OpenWindow("w1");
      host.Run(line->c_str());
    }
  }
}

TEST(HostileCommandTest, TokenisingTakesTimeInProportionToTheTokenCount) {
  // A megabyte line of one-byte tokens: with a vector grown in fixed steps this took half a
  // minute under the sanitizers, a stall the server could cause with one line.
  std::string line = "fgl_Display";
  for (int i = 0; i < 500000; ++i) line += " 7";
  RecordingHost host;
  auto start = std::chrono::steady_clock::now();
  host.Run(line.c_str());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(HostileCommandTest, MutatedRealLinesAndRandomBytesAreHarmless) {
  static const char* const kReal[] = {
      "fgl_WindowOpen w1 1 1 20 10 \"Title\" 0",
      "fgl_DisplayAt 1 1 \"hello\" 0",
      "fgl_MenuCreateV m1 \"File\" 3",
      "fgl_ListCreate l1 1 1 10 5 3",
      "fgl_EntryCreate f1 1 1 10 0 0",
      "fgl_Array a1 3 1 2 3",
      "fgl_FileData \"a.txt\" SGVsbG8=",
      "fgl_BlobData b1 SGVsbG8gd29ybGQ=",
      "fgl_SetProperty w1 f1 color red",
      "fgl_Combo_Value c1 \"a|b|c\"",
      "fgl_ReportLine \"line of text\"",
      "fgl_auth user 'pass\\'word'",
      "fgl_WinQuestion \"t\" \"q?\" \"Yes\" \"Yes|No\" 1 0",
      "fgl_KeyMapping 1 2 3 4",
  };
  LineMaker maker(42);
  for (int i = 0; i < 2000; ++i) {
    std::string line = maker.Mutated(kReal[maker.Below(sizeof kReal / sizeof kReal[0])]);
    RunOnFreshHost(maker, line);
  }
  for (int i = 0; i < 500; ++i) RunOnFreshHost(maker, maker.Bytes(maker.Below(200)));
}

}  // namespace
}  // namespace nycl::test
