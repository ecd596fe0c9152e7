// Activity: when the session last did something, for the idle limit of TermSession. A line
// from the server or an answer of the user counts; the time a dialog waits for the user does
// not.
//
// Threads: marked on the command thread, read by the session's watchdog thread.
#ifndef NYCL_TERM_ACTIVITY_H
#define NYCL_TERM_ACTIVITY_H

#include <atomic>
#include <chrono>
#include <cstdint>

namespace nycl_term {

class Activity {
 public:
  using Clock = std::chrono::steady_clock;

  Activity() { Mark(); }
  void Mark() { last_.store(Clock::now().time_since_epoch().count()); }
  // While a dialog waits for the user the session is never idle; its end counts as activity.
  void SetWaiting(bool waiting) {
    waiting_.store(waiting);
    Mark();
  }
  std::chrono::milliseconds Idle() const {
    if (waiting_.load()) return std::chrono::milliseconds(0);
    const Clock::duration since = Clock::now().time_since_epoch() - Clock::duration(last_.load());
    return std::chrono::duration_cast<std::chrono::milliseconds>(since);
  }

 private:
  std::atomic<int64_t> last_{0};
  std::atomic<bool> waiting_{false};
};

}  // namespace nycl_term

#endif  // NYCL_TERM_ACTIVITY_H
