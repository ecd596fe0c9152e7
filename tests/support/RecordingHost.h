// The test side of the recording host (RecordingDataState, RecordingRenderWindow): every
// call the library makes on the host is appended, in order, to one log of texts such as
// "SetTitle(a,b)" or "W1.AddText(10,5,abc,attr,0)". Registry lookups and the exit lock are not
// logged; use LockCount() for the latter. Answer lines are logged as
// "SendResponceString(line)" and also kept in Sent().
#ifndef NYCL_TESTS_SUPPORT_RECORDINGHOST_H
#define NYCL_TESTS_SUPPORT_RECORDINGHOST_H

#include <string>
#include <vector>

#include "RecordingDataState.h"
#include "RecordingRenderWindow.h"
#include "nycl/command/NyCommand.h"
#include "nycl/state/NyDataStateHolder.h"

namespace nycl::test {

using recording::Answers;
using recording::CallLog;
using recording::RecordingDataState;
using recording::RecordingRenderWindow;

// A holder with one recording data state on it, and verbs to run protocol lines.
class RecordingHost {
 public:
  RecordingHost();
  ~RecordingHost();
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // Creates and executes `line`; returns Execute's result, false when no command was created.
  bool Run(const char* line);
  // Whether `line` creates a command (the command is deleted unexecuted).
  bool Creates(const char* line);

  // The calls logged so far, and a verb to forget them.
  const CallLog& Calls() const { return log_; }
  void ClearCalls() { log_.clear(); }
  // The answer lines sent so far.
  const std::vector<std::string>& Sent() const { return state_->SentLines(); }

  RecordingDataState& state() { return *state_; }
  NyDataStateHolder& holder() { return holder_; }
  // Opens a registered window named `name` (it becomes current) and forgets the calls.
  RecordingRenderWindow* OpenWindow(const char* name);
  // How many times the data state has been destroyed (it is destroyed by ~RecordingHost
  // unless a test made it delete itself).
  int Destroyed() const { return destroyed_; }

 private:
  CallLog log_;
  int destroyed_ = 0;
  NyDataStateHolder holder_;
  RecordingDataState* state_;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_SUPPORT_RECORDINGHOST_H
