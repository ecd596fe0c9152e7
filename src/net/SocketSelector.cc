#include "nycl/net/SocketSelector.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <utility>
#include <vector>

#include "nycl/net/SocketException.h"

namespace nycl {

// The wake-up channel (an eventfd) with the queue of posted messages.
class SocketWindow {
 public:
  struct Message {
    unsigned int message;
    uintptr_t wParam;
    intptr_t lParam;
  };

  explicit SocketWindow(int fd) : fd_(fd) {}
  ~SocketWindow() { ::close(fd_); }

  int fd() const { return fd_; }

  // Wakes the loop; one pending wake-up is enough however many are asked for.
  void Signal() {
    if (signalled_.exchange(true)) return;
    uint64_t one = 1;
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  // Called by the loop before it looks at its state, so that a Signal that follows is seen.
  // `readable`: the last poll found the descriptor readable. Without that or a Signal since
  // the last call there is nothing to read, and the system call is saved. A Signal whose write
  // lands only after the read makes the next poll return, and the call after it reads.
  void Drain(bool readable) {
    if (!signalled_.exchange(false) && !readable) return;
    uint64_t count;
    while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }

  std::deque<Message> queue;  // guarded by g_windowMutex

 private:
  int fd_;
  std::atomic<bool> signalled_{false};
};

namespace {

// Guards g_sockWnd, its queue and the handshake hooks.
std::mutex g_windowMutex;
SocketWindow* g_sockWnd = nullptr;
HandshakeHooks g_hooks = {nullptr, nullptr};

constexpr std::chrono::milliseconds kMinimumPeriod{10};

void ReportSocketException(const SocketException& e) {
  std::fprintf(stderr, "Socket exception: %s\n", e.GetMessage().c_str());
  std::fflush(stderr);
}

}  // namespace

SocketSelector* SocketSelector::g_cursel = nullptr;

SocketSelector::SocketSelector() {
  g_cursel = nullptr;
}

SocketSelector::~SocketSelector() {
  if (g_cursel == this) g_cursel = nullptr;
}

void SocketSelector::Add(SocketSelectData* source) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sources.emplace_back(source);
  }
  Wake();
}

void SocketSelector::Remove(SocketSelectData* source) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (SelectorData& entry : m_sources) {
    if (entry.RawData() == source) entry.SetDeleted();
  }
}

void SocketSelector::Add(SocketTimer* timer) {
  std::chrono::milliseconds period{static_cast<long long>(timer->GetInterval())};
  // The platform timer this replaces never ran faster than every 10 ms.
  period = std::max(period, kMinimumPeriod);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timers.push_back({timer, std::chrono::steady_clock::now() + period, period});
  }
  Wake();
}

void SocketSelector::Remove(SocketTimer* timer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_timers.remove_if([timer](const TimerEntry& entry) { return entry.timer == timer; });
}

void SocketSelector::ExitMainLoop() {
  m_exit.store(true);
  std::lock_guard<std::mutex> lock(g_windowMutex);
  if (g_sockWnd != nullptr) g_sockWnd->Signal();
}

void SocketSelector::Wake() {
  if (IsLoopThread()) return;  // the loop looks at its state before it waits again
  std::lock_guard<std::mutex> lock(g_windowMutex);
  if (g_sockWnd != nullptr) g_sockWnd->Signal();
}

SocketWindow* SocketSelector::get_g_sockWnd() {
  std::lock_guard<std::mutex> lock(g_windowMutex);
  return g_sockWnd;
}

bool SocketSelector::PostSocketMessage(SocketWindow* window, unsigned int message, uintptr_t wParam,
                                       intptr_t lParam) {
  std::lock_guard<std::mutex> lock(g_windowMutex);
  if (window == nullptr || window != g_sockWnd) return false;
  window->queue.push_back({message, wParam, lParam});
  window->Signal();
  return true;
}

void SocketSelector::SetHandshakeHooks(const HandshakeHooks& hooks) {
  std::lock_guard<std::mutex> lock(g_windowMutex);
  g_hooks = hooks;
}

void SocketSelector::MainLoop() {
  // Cleared before the window appears: from then on another thread may call ExitMainLoop,
  // and that request must not be lost.
  m_exit.store(false);
  SocketWindow* window;
  {
    std::lock_guard<std::mutex> lock(g_windowMutex);
    if (g_sockWnd == nullptr) {
      int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      if (fd < 0) {
        throw SocketException(
            "Socket window not created.\nThis most probably happened because this "
            "application doesn't run in Windows 95/98");
      }
      g_sockWnd = new SocketWindow(fd);
    }
    window = g_sockWnd;
  }
  // The window and the owner go when the loop ends, however it ends. The owner is cleared
  // because thread ids are reused: a thread started later could otherwise pass for this one.
  struct LoopCloser {
    std::atomic<std::thread::id>& owner;
    ~LoopCloser() {
      owner.store(std::thread::id());
      std::lock_guard<std::mutex> lock(g_windowMutex);
      delete g_sockWnd;
      g_sockWnd = nullptr;
    }
  } closer{m_owner};

  m_owner.store(std::this_thread::get_id());
  std::vector<pollfd> fds;
  std::vector<SelectorData*> entries;
  // Per poll entry: whether its source holds buffered input.
  std::vector<bool> buffered;
  std::vector<std::pair<SelectorData*, SocketSelectData*>> active;
  bool woken = false;  // the last poll found the wake-up descriptor readable
  while (true) {
    window->Drain(woken);
    woken = false;
    if (!HandleMessages(window) || m_exit.load()) break;

    fds.assign(1, pollfd{window->fd(), POLLIN, 0});
    entries.assign(1, nullptr);
    buffered.assign(1, false);
    bool any_buffered = false;
    active.clear();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      for (auto it = m_sources.begin(); it != m_sources.end();) {
        it->ClearRecent();
        it = it->IsDeleted() ? m_sources.erase(it) : std::next(it);
      }
      for (SelectorData& entry : m_sources) active.emplace_back(&entry, entry.GetSelectData());
    }
    // The sources are asked outside the lock: they may add or remove sources themselves.
    for (const auto& [entry, source] : active) {
      short events = 0;
      if (source->WantInput()) events |= POLLIN;
      if (source->WantOutput()) events |= POLLOUT;
      if (source->WantException()) events |= POLLPRI;
      int fd = source->FD();
      if (events == 0 || fd < 0) continue;
      const bool holds = (events & POLLIN) != 0 && source->HasBufferedInput();
      any_buffered = any_buffered || holds;
      fds.push_back(pollfd{fd, events, 0});
      entries.push_back(entry);
      buffered.push_back(holds);
    }

    // Buffered input is served in this pass: the poll only gathers what else is ready.
    int ready = ::poll(fds.data(), fds.size(), any_buffered ? 0 : PollTimeout());
    if (ready < 0 && errno != EINTR) {
      std::perror("SocketSelector::MainLoop: poll");
      continue;
    }
    woken = ready > 0 && (fds[0].revents & POLLIN) != 0;
    RunDueTimers();
    if (m_exit.load()) break;
    if (ready <= 0 && !any_buffered) continue;
    // Entries stay in the list until the next clean-up pass, so the pointers hold; one
    // removed meanwhile is skipped by Live().
    for (size_t i = 1; i < fds.size() && !m_exit.load(); ++i) {
      const short revents = ready > 0 ? fds[i].revents : 0;
      if (buffered[i]) {
        DispatchReady(entries[i], static_cast<short>(revents | POLLIN));
      } else if (revents != 0) {
        DispatchReady(entries[i], revents);
      }
    }
    if (m_exit.load()) break;
  }
}

bool SocketSelector::HandleMessages(SocketWindow* window) {
  while (!m_exit.load()) {
    SocketWindow::Message message;
    {
      std::lock_guard<std::mutex> lock(g_windowMutex);
      if (window->queue.empty()) return true;
      message = window->queue.front();
      window->queue.pop_front();
    }
    if (message.message == WM_SOCKET_QUIT) return false;
    g_cursel = this;
    WndProc(window, message.message, message.wParam, message.lParam);
  }
  return true;
}

int SocketSelector::PollTimeout() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_timers.empty()) return -1;
  auto next = m_timers.front().due;
  for (const TimerEntry& entry : m_timers) next = std::min(next, entry.due);
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(wait.count(), 0, 60 * 60 * 1000));
}

void SocketSelector::RunDueTimers() {
  auto now = std::chrono::steady_clock::now();
  std::vector<SocketTimer*> due;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const TimerEntry& entry : m_timers) {
      if (entry.due <= now) due.push_back(entry.timer);
    }
  }
  for (SocketTimer* timer : due) {
    {
      // A tick before may have removed this timer, or removed it and added it (or another
      // at the same address) again, with a deadline still to come.
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = std::find_if(m_timers.begin(), m_timers.end(),
                             [timer](const TimerEntry& entry) { return entry.timer == timer; });
      if (it == m_timers.end() || it->due > now) continue;
      it->due += it->period;
      if (it->due <= now) it->due = now + it->period;  // no burst of missed ticks
    }
    g_cursel = this;
    WndProc(g_sockWnd, WM_SOCKET_TIMER, reinterpret_cast<uintptr_t>(timer), 0);
    if (m_exit.load()) return;
  }
}

SocketSelectData* SocketSelector::Live(SelectorData* entry) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return entry->GetSelectData();
}

SelectorData* SocketSelector::FindByFd(int fd, bool include_recent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (SelectorData& entry : m_sources) {
    SocketSelectData* source =
        include_recent && !entry.IsDeleted() ? entry.RawData() : entry.GetSelectData();
    if (source != nullptr && source->FD() == fd) return &entry;
  }
  return nullptr;
}

void SocketSelector::DispatchReady(SelectorData* entry, short revents) {
  constexpr short kInputEvents = POLLIN | POLLHUP | POLLERR | POLLNVAL;
  SocketSelectData* source = nullptr;
  try {
    bool input_served = false;
    if ((revents & POLLPRI) && (source = Live(entry)) != nullptr && source->WantException()) {
      source->Exception();
      if ((source = Live(entry)) != nullptr && source->WantInput()) {
        try {
          source->Input();
        } catch (int) {
        }
      }
      input_served = true;
    }
    if (!input_served && (revents & kInputEvents) && (source = Live(entry)) != nullptr) {
      if (source->WantInput()) {
        try {
          source->Input();
        } catch (int) {
        }
      } else if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && source->WantException()) {
        source->Exception();
      }
    }
    if ((revents & POLLOUT) && (source = Live(entry)) != nullptr && source->WantOutput()) {
      source->Output();
    }
  } catch (const SocketException& e) {
    ReportSocketException(e);
  } catch (int) {
  }
}

intptr_t SocketSelector::WndProc(SocketWindow* window, unsigned int message, uintptr_t wParam,
                                 intptr_t lParam) {
  switch (message) {
    case WM_SOCKET_DESTROY:
      PostSocketMessage(window, WM_SOCKET_QUIT, 0, 0);
      return 0;
    case WM_SOCKET_TIMER: {
      SocketTimer* timer = reinterpret_cast<SocketTimer*>(wParam);
      try {
        timer->OnTimer();
        if (!timer->KeepRunning()) {
          if (g_cursel != nullptr) g_cursel->Remove(timer);
          delete timer;
        }
      } catch (int) {
      }
      return 0;
    }
    case WM_SOCKET_NOTIFY:
      break;
    default:
      return 0;
  }

  SocketSelector* self = g_cursel;
  if (self == nullptr) return 0;
  int event = static_cast<int>(lParam & 0xFFFF);
  if (event == SOCKET_EVENT_HANDSHAKE) {
    self->RunHandshake(static_cast<int>(wParam));
    return 0;
  }
  SelectorData* entry = self->FindByFd(static_cast<int>(wParam), false);
  if (entry == nullptr) return 0;
  SocketSelectData* source;
  try {
    if (event == SOCKET_EVENT_READ || event == SOCKET_EVENT_ACCEPT || event == SOCKET_EVENT_CLOSE) {
      if ((source = self->Live(entry)) != nullptr && source->WantInput()) {
        try {
          source->Input();
        } catch (int) {
        }
      }
    }
    if (event == SOCKET_EVENT_WRITE && (source = self->Live(entry)) != nullptr &&
        source->WantOutput()) {
      source->Output();
    }
    if (event == SOCKET_EVENT_OOB && (source = self->Live(entry)) != nullptr &&
        source->WantException()) {
      source->Exception();
    }
  } catch (const SocketException& e) {
    ReportSocketException(e);
  } catch (int) {
  }
  return 0;
}

// A handshake request is not an event of the descriptor: the socket's owner asked for it and
// waits for it, so a socket added in this very pass (still recent) is served too.
void SocketSelector::RunHandshake(int fd) {
  HandshakeHooks hooks;
  {
    std::lock_guard<std::mutex> lock(g_windowMutex);
    hooks = g_hooks;
  }
  if (hooks.wants == nullptr || hooks.run == nullptr) return;
  SelectorData* entry = FindByFd(fd, true);
  if (entry == nullptr) return;
  auto addressed = [this, entry]() -> SocketSelectData* {
    std::lock_guard<std::mutex> lock(m_mutex);
    return entry->IsDeleted() ? nullptr : entry->RawData();
  };
  try {
    SocketSelectData* source = addressed();
    if (source == nullptr || !hooks.wants(source)) return;
    if (source->WantOutput()) source->Output();
    if ((source = addressed()) != nullptr) hooks.run(source);
  } catch (const SocketException& e) {
    ReportSocketException(e);
  } catch (int) {
  }
}

}  // namespace nycl
