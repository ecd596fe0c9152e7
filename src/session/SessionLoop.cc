#include "session/SessionLoop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <utility>

#include "nycl/net/SocketException.h"
#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpSocket.h"

namespace nycl {

namespace {

// Set on the thread that runs our own loop.
thread_local bool t_ourLoopThread = false;

// One task's completion, shared by the waiting thread and the task.
class Completion {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    cv_.notify_all();
  }
  bool Wait(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, limit, [this] { return done_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

// Sets a completion however the task ends.
class SetOnExit {
 public:
  explicit SetOnExit(Completion* completion) : completion_(completion) {}
  ~SetOnExit() { completion_->Set(); }
  SetOnExit(const SetOnExit&) = delete;
  SetOnExit& operator=(const SetOnExit&) = delete;

 private:
  Completion* completion_;
};

}  // namespace

// The wake-up of the task queue: readable while tasks wait.
class SessionLoop::TaskSource final : public SocketSelectData {
 public:
  TaskSource(SessionLoop* owner, int fd) : owner_(owner), fd_(fd) {}

  void Signal() {
    uint64_t one = 1;
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  int FD() override { return fd_; }
  bool WantInput() override { return true; }
  bool WantOutput() override { return false; }
  bool WantException() override { return false; }
  void Input() override {
    uint64_t count;
    while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    owner_->RunTasks();
  }
  void Output() override {}
  void Exception() override {}

 private:
  SessionLoop* owner_;
  int fd_;
};

SessionLoop& SessionLoop::Get() {
  static std::mutex mutex;
  static SessionLoop* instance = nullptr;
  std::lock_guard<std::mutex> lock(mutex);
  if (instance == nullptr) {
    if (Socket::GetSocketSelect() == nullptr) TcpSocket::SetSocketSelect(new SocketSelector);
    instance = new SessionLoop(Socket::GetSocketSelect());
  }
  return *instance;
}

SessionLoop::SessionLoop(SocketSelector* selector) : selector_(selector) {
  int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw SocketException("SessionLoop: eventfd failed");
  source_ = new TaskSource(this, fd);
  selector_->Add(source_);
}

void SessionLoop::Post(Task task) {
  {
    std::lock_guard<std::mutex> lock(tasks_mutex_);
    tasks_.push_back(std::move(task));
  }
  source_->Signal();
}

bool SessionLoop::RunAndWait(Task task, std::chrono::milliseconds limit) {
  if (InLoopThread()) {
    task();
    return true;
  }
  auto done = std::make_shared<Completion>();
  Post([task = std::move(task), done] {
    SetOnExit set(done.get());
    task();
  });
  return done->Wait(limit);
}

void SessionLoop::RunTasks() {
  std::deque<Task> ready;
  {
    std::lock_guard<std::mutex> lock(tasks_mutex_);
    ready.swap(tasks_);
  }
  for (Task& task : ready) {
    try {
      task();
    } catch (const SocketException& e) {
      // A socket operation refused (wrong state): the task's caller sees its effect missing.
      std::fprintf(stderr, "Socket exception: %s\n", e.GetMessage().c_str());
      std::fflush(stderr);
    }
  }
}

bool SessionLoop::InLoopThread() const {
  if (t_ourLoopThread) return true;
  // A loop of the host's: the selector knows its thread.
  return !own_.load() && selector_->IsLoopThread() && SocketSelector::get_g_sockWnd() != nullptr;
}

void SessionLoop::Wake() {
  selector_->Wake();
}

void SessionLoop::OwnLoop() {
  t_ourLoopThread = true;
  try {
    selector_->MainLoop();
  } catch (const SocketException& e) {
    std::lock_guard<std::mutex> lock(error_mutex_);
    loop_error_ = e.GetMessage().c_str();
  }
  t_ourLoopThread = false;
}

bool SessionLoop::Acquire(std::chrono::milliseconds limit, std::string* error) {
  {
    std::lock_guard<std::mutex> lock(life_mutex_);
    // With no user our loop is not running; a socket window now means the host runs one.
    if (users_++ == 0 && SocketSelector::get_g_sockWnd() == nullptr) {
      std::lock_guard<std::mutex> error_lock(error_mutex_);
      loop_error_.clear();
      own_.store(true);
      thread_ = std::thread(&SessionLoop::OwnLoop, this);
    }
  }
  if (RunAndWait([] {}, limit)) return true;
  std::lock_guard<std::mutex> lock(error_mutex_);
  if (!loop_error_.empty()) {
    *error = "the event loop could not run: " + loop_error_;
  } else {
    *error = "the event loop did not answer within " + std::to_string(limit.count()) + " ms";
  }
  return false;
}

void SessionLoop::Release() {
  std::lock_guard<std::mutex> lock(life_mutex_);
  if (--users_ > 0 || !own_.load()) return;
  // Asked from inside the loop, the exit cannot be lost to a loop that has not begun yet
  // (MainLoop clears the exit flag when it starts).
  Post([this] { selector_->ExitMainLoop(); });
  thread_.join();
  own_.store(false);
  // No loop runs now: what was queued too late runs here.
  RunTasks();
}

}  // namespace nycl
