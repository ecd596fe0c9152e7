// The whole keyword table reaches the registry of a statically linked program.
#include <gtest/gtest.h>

#include <memory>

#include "command/KeywordTable.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

TEST(RegistryStaticTest, EveryKeywordCreatesItsClass) {
  RecordingHost host;
  for (const KeywordClass& entry : kKeywordTable) {
    std::unique_ptr<NyCommand> command(
        NyCommand::Create(QuotedLine(entry.keyword).c_str(), &host.holder()));
    ASSERT_NE(command, nullptr) << entry.keyword;
    EXPECT_EQ(ClassNameOf(*command), entry.className) << entry.keyword;
  }
}

}  // namespace
}  // namespace nycl::test
