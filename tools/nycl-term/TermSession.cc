#include "TermSession.h"

#include <cstdio>
#include <thread>

#include "Front.h"

namespace nycl_term {

namespace {

using End = nycl::SessionResult::End;

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string Files(const std::vector<std::string>& names) {
  const std::string count = std::to_string(names.size()) + (names.size() == 1 ? " file" : " files");
  return names.empty() ? count : count + " (" + Joined(names) + ")";
}

}  // namespace

Outcome TermSession::Play(TermState* state, const nycl::SessionOptions& options) {
  state_ = state;
  outcome_ = Outcome();
  state->SetStopRequest([this] { Stop(); });
  state->SetActivity(&activity_);
  activity_.Mark();
  idle_stop_.store(false);
  done_ = false;
  std::thread watchdog;
  if (idle_limit_.count() > 0) watchdog = std::thread([this] { Watch(); });
  outcome_.result = Run(state, options);
  if (watchdog.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    watchdog.join();
  }
  state_ = nullptr;
  return outcome_;
}

void TermSession::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
    if (activity_.Idle() > idle_limit_) {
      idle_stop_.store(true);
      Stop();
      return;
    }
  }
}

void TermSession::OnLine(const std::string& line) {
  activity_.Mark();
  state_->ServerLineArrived(line);
}

void TermSession::OnUnknownLine(const std::string&) {
  state_->UnknownLine();
}

void TermSession::OnSessionEnd(nycl::NyCommonDataState*, const nycl::SessionResult& result) {
  const bool cut = state_->TransferInProgress();
  const std::string dropped = "; the partial copy of the file was dropped from the cache";
  switch (result.end) {
    case End::kOpenFailed:
      outcome_.failed = true;
      outcome_.why = "no connection to the server: " + result.error;
      outcome_.facts = state_->Facts();
      return;  // nothing was shown: there is no screen to keep
    case End::kStopped:
      outcome_.failed = true;
      if (state_->Halted()) {
        outcome_.why = state_->HaltReason();
      } else if (idle_stop_.load()) {
        outcome_.why = "the server sent nothing for " + std::to_string(idle_limit_.count()) +
                       " ms: session stopped (--idle-timeout)";
      } else {
        outcome_.why = "the session was stopped";
      }
      break;
    case End::kLost:
      outcome_.failed = true;
      outcome_.why = "the connection to the server was lost (" + result.error + ")";
      if (cut) outcome_.why += " in the middle of a file transfer" + dropped;
      break;
    case End::kServerClosed:
      if (cut) {
        outcome_.failed = true;
        outcome_.why =
            "the server closed the connection in the middle of a file transfer" + dropped;
      } else if (state_->Facts().wait_cut_off) {
        outcome_.failed = true;
        outcome_.why = "the server closed the connection during a wait for the user";
      } else {
        outcome_.why = "the server ended the session";
      }
      break;
  }
  outcome_.facts = state_->Facts();
  state_->SetNotice(outcome_.why);
  front_->SessionEnded(state_->Compose(), outcome_.why, outcome_.failed);
}

std::string Summary(const Options& options, const std::string& cache_dir, const Outcome& outcome) {
  const SessionFacts& facts = outcome.facts;
  const nycl::SessionResult& result = outcome.result;
  std::string tls;
  if (!options.tls) {
    tls = "off (--no-tls)";
  } else if (!facts.tls_on) {
    tls = "off (the server did not switch it on)";
  } else {
    tls = std::string("on, certificate ") +
          (facts.cert_valid ? "valid" : "NOT from the trusted authority") +
          " (authority: " + (options.authority.empty() ? "built in" : options.authority) + ")";
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f s", result.duration.count() / 1000.0);
  std::string text = "nycl-term: " + outcome.why + "\n";
  if (result.end == nycl::SessionResult::End::kOpenFailed) return text;
  auto fact = [&](const char* name, const std::string& value) {
    char line[32];
    std::snprintf(line, sizeof line, "  %-14s ", name);
    text += line + value + "\n";
  };
  fact("server", options.host + ":" + options.port +
                     (facts.server_version.empty() ? "" : ", version " + facts.server_version));
  fact("TLS", tls);
  fact("compression", facts.compression_on ? "on" : "off");
  fact("cache", cache_dir);
  fact("received", Files(facts.received));
  fact("found cached", Files(facts.cached));
  if (!facts.reports.empty()) fact("reports", Joined(facts.reports));
  fact("lines", std::to_string(result.linesReceived) + " from the server, " +
                    std::to_string(result.linesSent) + " to it" +
                    (facts.unknown_lines > 0
                         ? " (" + std::to_string(facts.unknown_lines) + " unknown to the client)"
                         : ""));
  fact("waits", std::to_string(facts.waits) + " for the user");
  fact("time", seconds);
  return text;
}

}  // namespace nycl_term
