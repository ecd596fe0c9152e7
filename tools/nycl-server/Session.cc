#include "Session.h"

#include <thread>

#include "Text.h"
#include "Transcript.h"

namespace nycl_server {

Session::Session(const Script& script, const ServerSetup& setup, int number, int fd)
    : script_(script),
      setup_(setup),
      number_(number),
      transport_(fd, setup.tls),
      files_(setup.root),
      timeout_ms_(setup.timeout_ms) {}

bool Session::Play(std::string* failure) {
  for (const Step& step : script_.steps()) {
    if (!Run(step)) {
      *failure =
          script_.name() + ":" + std::to_string(step.line) + ": " + step.source + ": " + failure_;
      transport_.CloseAbrupt();
      return false;
    }
  }
  if (!closed_) {
    Note("the script ends: closing the connection");
    transport_.CloseOrderly(NextDeadline());
  }
  return true;
}

bool Session::Run(const Step& step) {
  failure_.clear();
  if (closed_ && step.kind != StepKind::kTimeout && step.kind != StepKind::kSleep &&
      step.kind != StepKind::kBlankLines) {
    return Fail("the connection is already closed");
  }
  switch (step.kind) {
    case StepKind::kSend:
      return Send(step.text);
    case StepKind::kExpect:
      return Expect(step.text);
    case StepKind::kExpectRe:
      return ExpectPattern(step);
    case StepKind::kExpectBlank:
      return ExpectBlank("an empty line");
    case StepKind::kExpectClose:
      return ExpectClose();
    case StepKind::kBlankLines:
      skip_blank_lines_ = step.flag;
      return true;
    case StepKind::kTimeout:
      timeout_ms_ = static_cast<int>(step.value > 86400000 ? 86400000 : step.value);
      return true;
    case StepKind::kSleep:
      std::this_thread::sleep_for(std::chrono::milliseconds(step.value));
      return true;
    case StepKind::kTlsAccept:
      return AcceptTls();
    case StepKind::kTlsDrop:
      DropTls();
      return true;
    case StepKind::kDeflateStart:
      StartDeflate();
      return true;
    case StepKind::kDeflatePause:
      PauseDeflate();
      return true;
    case StepKind::kDeflateResume:
      ResumeDeflate();
      return true;
    case StepKind::kClose:
      Note("closing the connection");
      transport_.CloseOrderly(NextDeadline());
      closed_ = true;
      return true;
    case StepKind::kDrop:
      Note("dropping the connection");
      transport_.CloseAbrupt();
      closed_ = true;
      return true;
    case StepKind::kHandshake:
      return Handshake(step);
    case StepKind::kExpectAgreed:
      return ExpectAgreed(step);
    case StepKind::kStartSession:
      return StartSession();
    case StepKind::kStopSession:
      return Pause("fgl_StopSession", "fgl_SessionStopped");
    case StepKind::kResumeSession:
      return ResumeSession();
    case StepKind::kFilter:
      return Pause("fgl_filter", "fgl_filter 2");
    case StepKind::kFilterEnd:
      return FilterEnd(step);
    case StepKind::kFile:
    case StepKind::kFileData:
      return PlayFile(step);
    case StepKind::kStore:
      return PlayStore(step);
    case StepKind::kScript:
      return PlayScript(step);
    case StepKind::kExpectRequests:
      return CheckNames(step, requests_, "requests");
    case StepKind::kExpectCached:
      return CheckNames(step, cached_, "cached files");
    case StepKind::kUpload:
      return PlayUpload(step);
    case StepKind::kBlob:
      return PlayBlob(step);
    case StepKind::kSendRaw:
      return SendRaw(step);
    case StepKind::kSendRepeat:
      return SendRepeat(step);
    case StepKind::kSendCut:
      return SendCut(step);
    case StepKind::kTlsCut:
      return CutTls(step);
  }
  return Fail("unknown step");
}

Deadline Session::NextDeadline() const {
  return Clock::now() + std::chrono::milliseconds(timeout_ms_);
}

bool Session::Fail(const std::string& what) {
  if (failure_.empty()) failure_ = what;
  return false;
}

void Session::Note(const std::string& text) {
  if (setup_.transcript != nullptr) setup_.transcript->Write(number_, "--", text);
}

bool Session::Send(const std::string& line) {
  if (setup_.transcript != nullptr) setup_.transcript->Write(number_, "S>", Printable(line, 160));
  if (transport_.WriteLine(line, NextDeadline())) return true;
  return Fail("sending " + Printable(line, 60) + " failed: " + transport_.error());
}

bool Session::Read(std::string* line, const std::string& awaited, bool exact) {
  // Empty lines are skipped only so often, so that a client cannot keep a step going forever.
  constexpr int kMostSkipped = 100000;
  for (int skipped = 0;; ++skipped) {
    if (skipped == kMostSkipped) {
      return Fail("expected " + awaited + ", but the client sent " + std::to_string(skipped) +
                  " empty lines");
    }
    if (!transport_.ReadLine(line, NextDeadline())) {
      std::string what = "expected " + awaited + ", but " + transport_.error();
      if (transport_.timed_out()) what += " (timeout " + std::to_string(timeout_ms_) + " ms)";
      return Fail(what);
    }
    if (setup_.transcript != nullptr) {
      setup_.transcript->Write(number_, "C<", Printable(*line, 160));
    }
    if (exact || !skip_blank_lines_ || !line->empty()) return true;
  }
}

bool Session::Expect(const std::string& line, bool exact) {
  std::string got;
  if (!Read(&got, Printable(line), exact)) return false;
  if (got == line) return true;
  return Fail("expected " + Printable(line) + ", received " + Printable(got));
}

bool Session::ExpectBlank(const std::string& which) {
  std::string got;
  if (!Read(&got, which, true)) return false;
  return got.empty() || Fail("expected " + which + ", received " + Printable(got));
}

bool Session::ExpectPattern(const Step& step) {
  std::string got;
  const std::string awaited = "a line matching /" + step.text + "/";
  if (!Read(&got, awaited)) return false;
  if (std::regex_match(got, *step.pattern)) return true;
  return Fail("expected " + awaited + ", received " + Printable(got));
}

bool Session::ExpectClose() {
  std::string got;
  if (transport_.ReadLine(&got, NextDeadline())) {
    return Fail("expected the client to close the connection, received " + Printable(got));
  }
  if (transport_.closed_by_client()) {
    Note("the client closed the connection");
    transport_.CloseAbrupt();
    closed_ = true;
    return true;
  }
  std::string what = "expected the client to close the connection, but " + transport_.error();
  if (transport_.timed_out()) what += " (timeout " + std::to_string(timeout_ms_) + " ms)";
  return Fail(what);
}

bool Session::SendRaw(const Step& step) {
  if (setup_.transcript != nullptr) {
    setup_.transcript->Write(number_, "S>", Printable(step.text, 160) + " (raw)");
  }
  if (transport_.WriteRaw(step.text, NextDeadline())) return true;
  return Fail("sending raw bytes failed: " + transport_.error());
}

bool Session::SendRepeat(const Step& step) {
  const std::string what = std::to_string(step.value) + " times " + Printable(step.text, 40);
  Note("sending " + what + (transport_.deflating() ? ", deflated" : ""));
  if (transport_.WriteRepeated(step.text, step.value, std::chrono::milliseconds(timeout_ms_))) {
    return true;
  }
  std::string why = "sending " + what + " failed: " + transport_.error();
  if (transport_.timed_out()) why += " (timeout " + std::to_string(timeout_ms_) + " ms)";
  return Fail(why);
}

bool Session::SendCut(const Step& step) {
  Note("sending the first " + std::to_string(step.value) + " bytes of " + Printable(step.text, 60) +
       (transport_.deflating() ? " deflated" : ""));
  if (transport_.WriteCut(step.text, static_cast<std::size_t>(step.value), NextDeadline())) {
    return true;
  }
  return Fail("sending failed: " + transport_.error());
}

bool Session::CutTls(const Step& step) {
  if (!transport_.CutTlsHandshake(static_cast<std::size_t>(step.value), NextDeadline())) {
    std::string what = "TLS handshake: " + transport_.error();
    if (transport_.timed_out()) what += " (timeout " + std::to_string(timeout_ms_) + " ms)";
    return Fail(what);
  }
  Note("answered the TLS handshake with " + std::to_string(step.value) + " bytes and left it");
  return true;
}

bool Session::AcceptTls() {
  if (!transport_.AcceptTls(NextDeadline())) {
    std::string what = "TLS handshake: " + transport_.error();
    if (transport_.timed_out()) what += " (timeout " + std::to_string(timeout_ms_) + " ms)";
    return Fail(what);
  }
  Note("TLS accepted (" + transport_.tls_version() + ")");
  return true;
}

void Session::DropTls() {
  if (!transport_.tls_running()) return;
  transport_.DropTls();
  Note("TLS dropped");
}

void Session::StartDeflate() {
  transport_.StartDeflate();
  Note("deflating a fresh stream");
}

void Session::PauseDeflate() {
  if (transport_.PauseDeflate()) Note("deflating paused");
}

void Session::ResumeDeflate() {
  if (transport_.ResumeDeflate()) Note("deflating resumed");
}

}  // namespace nycl_server
