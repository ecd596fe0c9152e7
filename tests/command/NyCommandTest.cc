#include <gtest/gtest.h>

#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

TEST(NyCommandTest, UnknownKeywordCreatesNothing) {
  RecordingHost host;
  EXPECT_FALSE(host.Creates("fgl_NoSuchThing 1 2"));
  EXPECT_FALSE(host.Creates(""));
  EXPECT_TRUE(host.Calls().empty());
}

}  // namespace
}  // namespace nycl::test
