// Runs in a program linked against the static archive: every command family must have reached
// the registry although nothing in this program names a family's object file.
#include <gtest/gtest.h>

#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

TEST(StaticLinkTest, WindowFamilyIsRegistered) {
  RecordingHost host;
  EXPECT_TRUE(host.Creates("fgl_WindowOpen w1 1 2 3 4"));
}

}  // namespace
}  // namespace nycl::test
