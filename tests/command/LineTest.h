// The fixture of the command tests that drive a recording host with protocol lines.
#ifndef NYCL_TESTS_COMMAND_LINETEST_H
#define NYCL_TESTS_COMMAND_LINETEST_H

#include <gtest/gtest.h>

#include <string>

#include "support/RecordingHost.h"

namespace nycl::test {

class LineTest : public ::testing::Test {
 protected:
  // Runs `line`, expecting Execute to return `result`, and returns the calls it made.
  CallLog Run(const std::string& line, bool result = false) {
    host_.ClearCalls();
    EXPECT_EQ(host_.Run(line.c_str()), result) << line;
    return host_.Calls();
  }

  RecordingHost host_;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_COMMAND_LINETEST_H
