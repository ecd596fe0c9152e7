// TermSession: one session of nycl-term, run by the library's SessionRunner against the
// host's data state, and what it tells the user afterwards.
//
// It feeds the data state what only the runner sees (each line from the server, lines no
// command knows), decides at the end how the session went (a normal end, or one that failed:
// no connection, the connection lost, a transfer cut off, a certificate refused, the key
// script ended, the server silent for longer than the idle limit), shows the last screen with
// that on its status line, and writes the summary.
//
// Threads: Play runs on the calling thread, which becomes the command thread; with an idle
// limit a watchdog thread of its own stops the session (SessionRunner::Stop).
#ifndef NYCL_TERM_TERMSESSION_H
#define NYCL_TERM_TERMSESSION_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "Activity.h"

#include "Options.h"
#include "TermState.h"
#include "nycl/session/SessionRunner.h"

namespace nycl_term {

struct Outcome {
  bool failed = false;
  std::string why;  // how the session ended, in a sentence without a full stop
  nycl::SessionResult result;
  SessionFacts facts;
};

class TermSession : public nycl::SessionRunner {
 public:
  explicit TermSession(Front* front) : front_(front) {}
  // Stops the session when nothing happens for `limit` (0: no limit): no line from the server
  // and no dialog waiting for the user. Set before Play.
  void SetIdleLimit(std::chrono::milliseconds limit) { idle_limit_ = limit; }

  // Runs the session with `state` (taken over; deleted before Play returns).
  Outcome Play(TermState* state, const nycl::SessionOptions& options);

 protected:
  void OnLine(const std::string& line) override;
  void OnUnknownLine(const std::string& line) override;
  void OnSessionEnd(nycl::NyCommonDataState* state, const nycl::SessionResult& result) override;

 private:
  // Runs on the watchdog thread until `done_`.
  void Watch();

  Front* front_;
  std::chrono::milliseconds idle_limit_{0};
  Activity activity_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;  // guarded by mutex_
  std::atomic<bool> idle_stop_{false};
  TermState* state_ = nullptr;  // during Play
  Outcome outcome_;
};

// The summary of a session for standard error, one fact a line.
std::string Summary(const Options& options, const std::string& cache_dir, const Outcome& outcome);

}  // namespace nycl_term

#endif  // NYCL_TERM_TERMSESSION_H
