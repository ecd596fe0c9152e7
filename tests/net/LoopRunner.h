// Runs a SocketSelector's MainLoop on its own thread for a test, and bounds every wait.
#ifndef NYCL_TESTS_NET_LOOPRUNNER_H
#define NYCL_TESTS_NET_LOOPRUNNER_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>

#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpSocket.h"
#include "support/WaitFor.h"

namespace nycl {

// The process has one selector for all sockets, installed by whichever test needs it first;
// sockets accept a selector only once per process.
inline SocketSelector& SharedSelector() {
  if (Socket::GetSocketSelect() == nullptr) TcpSocket::SetSocketSelect(new SocketSelector);
  return *Socket::GetSocketSelect();
}

// A one-shot timer that runs a function on the loop thread.
class CallTimer : public SocketTimer {
 public:
  explicit CallTimer(std::function<void()> work) : work_(std::move(work)) {}
  void OnTimer() override { work_(); }
  Interval GetInterval() override { return Interval(0, 0); }
  bool KeepRunning() override { return false; }

 private:
  std::function<void()> work_;
};

class LoopRunner {
 public:
  explicit LoopRunner(SocketSelector& selector) : selector_(selector) {}
  ~LoopRunner() { Stop(); }

  void Start() {
    finished_ = std::async(std::launch::async, [this] { selector_.MainLoop(); });
    // A loop may also have ended already, when its first events told it to.
    if (!WaitFor([this] {
          return SocketSelector::get_g_sockWnd() != nullptr ||
                 finished_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        })) {
      Die("the loop did not start");
    }
  }

  // Ends the loop from the test thread; a loop that does not end aborts the test program
  // rather than hang it.
  void Stop() {
    if (!finished_.valid()) return;
    for (int i = 0; i < 1000; ++i) {
      selector_.ExitMainLoop();
      if (Join(0.01)) return;
    }
    Die("the loop did not end");
  }

  // Waits until the loop ends by itself.
  bool Join(double seconds = 10) {
    const auto waited = finished_.wait_for(std::chrono::duration<double>(seconds));
    if (waited == std::future_status::ready) finished_.get();
    return waited == std::future_status::ready;
  }

  // Runs `work` on the loop thread (through a timer) and waits for it.
  void RunOnLoop(std::function<void()> work) {
    // The promise is shared with the timer: the loop may still be inside set_value when this
    // thread wakes and returns.
    auto done = std::make_shared<std::promise<void>>();
    auto ran = done->get_future();
    selector_.Add(new CallTimer([work = std::move(work), done] {
      work();
      done->set_value();
    }));
    if (ran.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      Die("the loop did not run the work");
    }
  }

 private:
  // Ends the test program rather than let it hang.
  [[noreturn]] static void Die(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }

  SocketSelector& selector_;
  std::future<void> finished_;
};

}  // namespace nycl

#endif  // NYCL_TESTS_NET_LOOPRUNNER_H
