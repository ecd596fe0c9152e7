#include "nycl/command/NyCommand.h"
#include "nycl/command/NyCommandTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/RecordingHost.h"
#include "support/VtableEntry.h"

namespace nycl::test {
namespace {

// Exposes the escape resolver.
class Tokens : public NyCommand {
 public:
  static std::string DeQuoted(const std::string& raw) {
    std::string out(raw.size() + 1, '\0');
    DeQuote(&out[0], raw.data(), static_cast<int>(raw.size()));
    return out.c_str();
  }
};

TEST(DeQuoteTest, ResolvesEscapesAndKeepsTrailingBackslash) {
  EXPECT_EQ(Tokens::DeQuoted("a\\\\b\\'c\\zd"), "a\\b'czd");
  EXPECT_EQ(Tokens::DeQuoted("end\\"), "end\\");
  EXPECT_EQ(Tokens::DeQuoted(""), "");
}

// A command of the test's own, to register under a keyword of its own.
class ProbeCommand : public NyCommand {
 public:
  ProbeCommand() = default;
  ProbeCommand(int count, char** vector) : NyCommand(count, vector) {}
  bool Execute() override {
    executed.push_back(std::string(GetArg(1)) + "/" + std::to_string(argc));
    delete this;
    return true;
  }
  NyCommand* Clone(int count, char** vector) override { return new ProbeCommand(count, vector); }
  inline static std::vector<std::string> executed;
};

// Lookups go through an index of the list; it must still answer what a walk of the list from
// its head would: the entry linked last stands in front of any other with its keyword, and an
// unlinked entry is gone at once.
TEST(NyCommandTypesTest, AnEntryLinkedLaterHidesTheSameKeywordUntilUnlinked) {
  RecordingHost host;
  NyCommandTypes* library = NyCommandTypes::Find("fgl_Bell");
  ASSERT_NE(library, nullptr);
  auto* first = new NyCommandTypes(new ProbeCommand(), "fgl_Bell");
  auto* second = new NyCommandTypes(new ProbeCommand(), "fgl_Bell");
  EXPECT_EQ(NyCommandTypes::First(), second);
  EXPECT_EQ(NyCommandTypes::Find("fgl_Bell"), second);
  delete second;
  EXPECT_EQ(NyCommandTypes::Find("fgl_Bell"), first);
  EXPECT_TRUE(host.Run("fgl_Bell 'a b' c"));
  EXPECT_EQ(ProbeCommand::executed, std::vector<std::string>{"a b/3"});
  delete first;
  EXPECT_EQ(NyCommandTypes::Find("fgl_Bell"), library);
  EXPECT_FALSE(host.Run("fgl_Bell"));  // the library's command again
}

TEST(NyCommandTypesTest, LookupsMayRunOnSeveralThreadsAtOnce) {
  NyCommandTypes entry(new ProbeCommand(), "x_threads");  // the next lookup builds the index
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&entry, &wrong] {
      for (int i = 0; i < 2000; ++i) {
        if (NyCommandTypes::Find("x_threads") != &entry) ++wrong;
        if (NyCommandTypes::Find("x_thread") != nullptr) ++wrong;
        if (NyCommandTypes::Find("fgl_WindowOpen") == nullptr) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// Hosts and command classes of their own call these by position: the destructor (two entries
// under this ABI), Execute, GetArg, GetSafeDataState, Clone.
TEST(NyCommandTest, OperationsKeepTheirPlaces) {
  if (!kVtableLayoutKnown) GTEST_SKIP() << "member pointer layout not known here";
  EXPECT_EQ(VtableEntry(static_cast<bool (NyCommand::*)()>(&NyCommand::Execute)), 2);
  EXPECT_EQ(VtableEntry(static_cast<char* (NyCommand::*)(int)>(&NyCommand::GetArg)), 3);
  EXPECT_EQ(VtableEntry(static_cast<NyDataState* (NyCommand::*)()>(&NyCommand::GetSafeDataState)),
            4);
  EXPECT_EQ(VtableEntry(static_cast<NyCommand* (NyCommand::*)(int, char**)>(&NyCommand::Clone)), 5);
}

TEST(CreateTest, GetArgReadsEmptyOutsideTheVector) {
  RecordingHost host;
  NyCommand* command = NyCommand::Create("fgl_Box 7 8", &host.holder());
  ASSERT_NE(command, nullptr);
  EXPECT_STREQ(command->GetArg(0), "fgl_Box");
  EXPECT_STREQ(command->GetArg(2), "8");
  for (int outside : {3, -1, 1000}) EXPECT_STREQ(command->GetArg(outside), "") << outside;
  delete command;
}

TEST(CreateTest, CommandBindsTheTopDataState) {
  RecordingHost host;
  CallLog otherLog;
  RecordingDataState other(&otherLog);
  host.holder().PushDataState(&other);
  NyCommand* command = NyCommand::Create("fgl_Box 1 2 3 4", &host.holder());
  EXPECT_EQ(command->GetSafeDataState(), &other);
  EXPECT_EQ(other.LockCount(), 1);
  EXPECT_EQ(host.state().LockCount(), 0);
  delete command;
  host.holder().PopDataState();
}

// Each live command holds an exit lock on its data state; DeleteMe waits for the last.
TEST(CreateTest, DeleteMeWaitsForTheLastCommand) {
  RecordingHost host;
  NyCommand* first = NyCommand::Create("fgl_Box 1 2 3 4", &host.holder());
  NyCommand* second = NyCommand::Create("fgl_Box 1 2 3 4", &host.holder());
  EXPECT_EQ(host.state().LockCount(), 2);
  host.holder().PopDataState();
  host.state().DeleteMe();
  EXPECT_EQ(host.Destroyed(), 0);
  first->Execute();
  EXPECT_EQ(host.Destroyed(), 0);
  delete second;
  EXPECT_EQ(host.Destroyed(), 1);
}

}  // namespace
}  // namespace nycl::test
