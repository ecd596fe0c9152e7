// A program linked against the static archive, where nothing names a command family's object
// file: every keyword must still reach the registry and create its class. A host may link
// registry entries of its own from static initialisers, before the library's registry is first
// used; those entries must survive the library's registration, stand behind its entries, and
// create the host's commands.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "command/KeywordTable.h"
#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

class HostCommand : public NyCommand {
 public:
  HostCommand() = default;
  HostCommand(int count, char** vector) : NyCommand(count, vector) {}
  bool Execute() override {
    lastArgument = GetArg(1);
    delete this;
    return true;
  }
  NyCommand* Clone(int count, char** vector) override { return new HostCommand(count, vector); }
  inline static std::string lastArgument;
};

// Linked during static initialisation, before any lookup; lives until the process ends.
NyCommandTypes* const hostEntry = new NyCommandTypes(new HostCommand(), "x_host_static");

TEST(RegistryStaticTest, EveryKeywordCreatesItsClass) {
  RecordingHost host;
  for (const KeywordClass& entry : kKeywordTable) {
    std::unique_ptr<NyCommand> command(
        NyCommand::Create(QuotedLine(entry.keyword).c_str(), &host.holder()));
    ASSERT_NE(command, nullptr) << entry.keyword;
    EXPECT_EQ(ClassNameOf(*command), entry.className) << entry.keyword;
  }
}

TEST(HostEntryStaticTest, EarlyHostEntryStandsBehindTheLibrarysEntries) {
  std::vector<std::string> expected;
  for (const KeywordClass& entry : kKeywordTable) expected.insert(expected.begin(), entry.keyword);
  expected.push_back("x_host_static");
  std::vector<std::string> walked;
  for (NyCommandTypes* entry = NyCommandTypes::First(); entry != nullptr; entry = entry->next) {
    walked.push_back(entry->keyword);
  }
  EXPECT_EQ(walked, expected);
  EXPECT_EQ(NyCommandTypes::Find("x_host_static"), hostEntry);

  RecordingHost host;
  EXPECT_TRUE(host.Run("x_host_static 'its argument'"));
  EXPECT_EQ(HostCommand::lastArgument, "its argument");
  EXPECT_EQ(host.state().LockCount(), 0);
}

}  // namespace
}  // namespace nycl::test
