#include "RecordingHost.h"

namespace nycl::test {

RecordingHost::RecordingHost() : state_(new RecordingDataState(&log_, &destroyed_)) {
  holder_.PushDataState(state_);
}

RecordingHost::~RecordingHost() {
  if (destroyed_ == 0) {
    holder_.PopDataState();
    delete state_;
  }
}

bool RecordingHost::Run(const char* line) {
  NyCommand* command = NyCommand::Create(line, &holder_);
  return command != nullptr && command->Execute();
}

bool RecordingHost::Creates(const char* line) {
  NyCommand* command = NyCommand::Create(line, &holder_);
  delete command;
  return command != nullptr;
}

RecordingRenderWindow* RecordingHost::OpenWindow(const char* name) {
  RecordingRenderWindow* window = state_->AddWindow(name);
  log_.clear();
  return window;
}

}  // namespace nycl::test
