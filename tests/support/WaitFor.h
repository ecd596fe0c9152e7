// The bounded wait every test uses instead of sleeping for a guessed time.
#ifndef NYCL_TESTS_SUPPORT_WAITFOR_H
#define NYCL_TESTS_SUPPORT_WAITFOR_H

#include <chrono>
#include <functional>
#include <thread>

namespace nycl {

// Polls `done` until it holds or `seconds` pass; true when it held. `done` is asked at least
// once, so a bound of 0 asks exactly once.
inline bool WaitFor(const std::function<bool()>& done, double seconds = 10) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace nycl

#endif  // NYCL_TESTS_SUPPORT_WAITFOR_H
