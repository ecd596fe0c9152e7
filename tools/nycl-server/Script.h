// The session script of nycl-server: the steps that every accepted connection plays in order.
// The step language is described in README.md and at the top of Script.cc.
#ifndef NYCL_SERVER_SCRIPT_H
#define NYCL_SERVER_SCRIPT_H

#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace nycl_server {

enum class StepKind {
  // Lines.
  kSend,
  kExpect,
  kExpectRe,
  kExpectBlank,
  kExpectClose,
  kBlankLines,
  kTimeout,
  kSleep,
  // Switches of the server's own stream.
  kTlsAccept,
  kTlsDrop,
  kDeflateStart,
  kDeflatePause,
  kDeflateResume,
  kClose,
  kDrop,
  // Phases played with all their checks.
  kHandshake,
  kExpectAgreed,
  kStartSession,
  kStopSession,
  kResumeSession,
  kFilter,
  kFilterEnd,
  // Transfers.
  kFile,
  kFileData,
  kStore,
  kScript,
  kExpectRequests,
  kExpectCached,
  kUpload,
  kBlob,
  // Hostile steps: bytes outside the protocol's shape.
  kSendRaw,
  kSendRepeat,
  kSendCut,
  kTlsCut,
};

// The answer a "file" step requires to its offer.
enum class FileAnswer { kAny, kCached, kUpdate };

// One step. Which fields mean something depends on the kind; the comments name the kinds.
// A value type.
struct Step {
  StepKind kind = StepKind::kSend;
  int line = 0;        // line number in the script file, from 1
  std::string source;  // the step as written, for messages

  // send, expect, send-cut: the line; send-raw, send-repeat: the bytes (escapes decoded);
  // file, file-data, store, script, blob: the served name; upload: the client path;
  // handshake: the version.
  std::string text;
  // handshake: the feature arguments; expect-agreed: "compress", "tls";
  // expect-requests, expect-cached: the names.
  std::vector<std::string> words;
  std::shared_ptr<const std::regex> pattern;  // expect-re
  // sleep, timeout: milliseconds; filterend: the flag; file, file-data: the
  // number of bytes to send before breaking off (-1: all); upload: the expected size (-1: any);
  // send-repeat: the count; send-cut, tls-cut: the bytes sent before breaking off.
  long long value = -1;
  long long tag = -1;                    // file: the tag to offer (-1: from the contents)
  FileAnswer answer = FileAnswer::kAny;  // file
  std::string target;  // store: the client target; upload: the file to compare; blob: the type
  std::string path;    // store: the absolute path the client must report ("" = any)
  // blank-lines: skip; upload: expect the file to be missing; filterend: a flag is given.
  bool flag = false;
};

class Script {
 public:
  // Parses the file at `path`. On failure returns false with *error naming the line.
  bool Load(const std::string& path, std::string* error);
  // Parses `text`; `name` is used in messages.
  bool Parse(const std::string& name, const std::string& text, std::string* error);

  const std::string& name() const { return name_; }
  const std::vector<Step>& steps() const { return steps_; }

 private:
  bool ParseLine(int number, const std::string& line, std::string* error);

  std::string name_;
  std::vector<Step> steps_;
};

}  // namespace nycl_server

#endif  // NYCL_SERVER_SCRIPT_H
