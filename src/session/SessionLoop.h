// SessionLoop: the process's event loop as the session subsystem uses it.
//
// The process has one SocketSelector (sockets accept a selector only once). SessionLoop
// installs one when the host has not, and runs its MainLoop on a thread of its own while at
// least one user holds it (Acquire/Release, counted): the first Acquire starts the thread, the
// last Release ends the loop and joins the thread, and a later Acquire starts a new one. When
// the host already runs MainLoop on a thread of its own, that loop is used and never stopped.
//
// Other threads hand work to the loop through a task queue with a wake-up: an eventfd
// registered with the selector as a source, whose Input runs the queued tasks in order
// (swapped out under the lock, run outside it). Tasks queued while no loop runs wait for the
// next one; those left when our loop ends run on the thread that ended it, which is then the
// only one touching the sockets.
//
// Threads: every operation may be called from any thread; Acquire and Release must not be
// called on the loop thread (Release joins it). The instance lives as long as the process.
#ifndef NYCL_SRC_SESSION_SESSIONLOOP_H
#define NYCL_SRC_SESSION_SESSIONLOOP_H

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace nycl {

class SocketSelector;

class SessionLoop {
 public:
  using Task = std::function<void()>;

  // The process's instance; installs the process's selector when there is none.
  static SessionLoop& Get();

  // Makes sure a loop runs: starts ours unless one already runs, then waits, at most `limit`,
  // until it has run a task. False when no loop answered; *error says why. Each Acquire,
  // successful or not, is balanced by one Release.
  bool Acquire(std::chrono::milliseconds limit, std::string* error);
  void Release();

  // Queues `task` for the loop thread.
  void Post(Task task);
  // Runs `task` on the loop thread and waits until it has run, at most `limit`; on the loop
  // thread runs it at once. False when the wait ran out (the task still runs later, so it
  // must own or share everything it touches).
  bool RunAndWait(Task task, std::chrono::milliseconds limit);
  // Whether the calling thread is the one running the loop.
  bool InLoopThread() const;
  // Wakes the loop so that it asks its sources again what they want.
  void Wake();

  SocketSelector* selector() const { return selector_; }

 private:
  class TaskSource;

  explicit SessionLoop(SocketSelector* selector);
  ~SessionLoop() = delete;  // lives as long as the process

  void RunTasks();
  void OwnLoop();

  SocketSelector* selector_;
  TaskSource* source_;  // registered with the selector for good

  std::mutex tasks_mutex_;
  std::deque<Task> tasks_;

  // Guards the users count and our loop thread; held while that thread is started or joined.
  std::mutex life_mutex_;
  int users_ = 0;
  std::thread thread_;            // our loop thread, joinable while it may run
  std::atomic<bool> own_{false};  // the loop running now is ours

  std::mutex error_mutex_;
  std::string loop_error_;  // why our last loop could not run
};

}  // namespace nycl

#endif  // NYCL_SRC_SESSION_SESSIONLOOP_H
