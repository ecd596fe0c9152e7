// Runs in a program linked against the static archive: every command family must have reached
// the registry although nothing in this program names a family's object file.
#include <gtest/gtest.h>

#include "nycl/command/NyCommandTypes.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

TEST(StaticLinkTest, EveryFamilyIsRegistered) {
  RecordingHost host;
  for (const char* line : {"fgl_ident 4.3", "fgl_WindowOpen w1 1 2 3 4", "fgl_EntryState f 1",
                           "fgl_Bell", "fgl_StopSession", "fgl_FileSent x"}) {
    EXPECT_TRUE(host.Creates(line)) << line;
  }
  int entries = 0;
  for (NyCommandTypes* entry = NyCommandTypes::First(); entry != nullptr; entry = entry->next) {
    ++entries;
  }
  EXPECT_EQ(entries, 125);  // the library's 124 and the host entry of HostEntryStaticTest.cc
}

}  // namespace
}  // namespace nycl::test
