// Where the recording host sends what it records, one text per call (see RecordingFormat.h):
//   data state:     "SetTitle(a,b)"
//   render window:  "W1.AddText(10,5,abc,attr,0)" (the window's name, a dot, the call)
#ifndef NYCL_TOOLS_NYCL_TRACE_RECORDINGSINK_H
#define NYCL_TOOLS_NYCL_TRACE_RECORDINGSINK_H

#include <string>
#include <vector>

namespace nycl::recording {

using CallLog = std::vector<std::string>;

// Called on the thread that calls the host, in call order.
class CallSink {
 public:
  virtual ~CallSink() = default;
  // A call on the data state or on one of its windows.
  virtual void Call(const std::string& call) = 0;
  // An answer line sent to the server (`line` is never null); `call` is its record,
  // "SendResponceString(line)", which is what the default passes to Call.
  virtual void Answer(const std::string& call, const std::string& line) {
    (void)line;
    Call(call);
  }
  // A lookup in the window registry ("FindRenderWindow(w) -> W") or a change of the exit lock
  // ("LockExit()"). They happen around nearly every command, so the default drops them.
  virtual void Lookup(const std::string&) {}
};

// Appends every call and answer to a borrowed log, which must outlive the sink's users.
class LogSink : public CallSink {
 public:
  explicit LogSink(CallLog* log) : log_(log) {}
  void Call(const std::string& call) override { log_->push_back(call); }

 private:
  CallLog* log_;
};

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_RECORDINGSINK_H
