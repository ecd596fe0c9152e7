// SocketSelector: the event loop of the networking subsystem, on poll().
//
// The loop waits on its event sources (SocketSelectData: sockets, the host lookup's pipes),
// its timers and its socket window: a wake-up channel with a small message queue through
// which other threads post socket notifications (the TLS handshake request) and the quit.
// Posted messages are handled first in each iteration, then due timers, then ready sources:
//   urgent data         -> Exception(), then Input() (the urgent byte is read on the input
//                          path; alone at the mark it does not make the socket readable)
//   readable, hang-up,
//   error               -> Input() when WantInput(), else Exception() for a hang-up or error
//   writable            -> Output() when WantOutput()
//   buffered input      -> Input(), in the next pass and without waiting (HasBufferedInput)
// A source added during an iteration takes part from the next one; a source removed is
// never called again, even when it is ready in the poll result being dispatched. The one
// exception is a handshake request: it is addressed to its socket by the socket's owner, so it
// reaches a socket added in the same iteration too and is never dropped for being early.
//
// Threads: MainLoop runs on one thread, the event-loop thread, which calls every source and
// timer. Add, Remove, ExitMainLoop and Wake may be called from any thread. A selector does not
// own its sources; it owns a timer whose KeepRunning() returned false (it deletes it).
#ifndef NYCL_NET_SOCKETSELECTOR_H
#define NYCL_NET_SOCKETSELECTOR_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

#include "nycl/net/Interval.h"

namespace nycl {

// An event source. Not owned by the selector.
class SocketSelectData {
 public:
  virtual int FD() = 0;
  virtual bool WantInput() = 0;
  virtual bool WantOutput() = 0;
  virtual bool WantException() = 0;
  virtual void Input() = 0;
  virtual void Output() = 0;
  virtual void Exception() = 0;
  virtual bool IsFileDescriptor() { return false; }
  // True while the source holds input it took off its descriptor and has not handed on yet
  // (decrypted bytes of a TLS record): the loop then calls Input() in its next pass without
  // waiting for the descriptor, so the bytes never wait for data that may not come.
  virtual bool HasBufferedInput() { return false; }

 protected:
  ~SocketSelectData() = default;
};

// A periodic timer, called on the event-loop thread.
class SocketTimer {
 public:
  virtual void OnTimer() = 0;
  // The period, taken as milliseconds.
  virtual Interval GetInterval() = 0;
  // Asked after each tick; false removes the timer and deletes it.
  virtual bool KeepRunning() = 0;
  virtual ~SocketTimer() = default;
};

// One entry of the selector's source list.
class SelectorData {
 public:
  SelectorData() = default;
  explicit SelectorData(SocketSelectData* data) : m_data(data) {}

  // The source, or null while the entry is recent or deleted.
  SocketSelectData* GetSelectData() const { return m_recent || m_deleted ? nullptr : m_data; }
  void SetSelectData(SocketSelectData* data) { m_data = data; }
  bool IsDeleted() const { return m_deleted || m_data == nullptr; }
  bool IsRecent() const { return m_recent; }
  void ClearRecent() { m_recent = false; }
  // Marks the entry deleted and forgets its source.
  void SetDeleted() {
    m_deleted = true;
    m_data = nullptr;
  }
  bool operator==(const SelectorData& other) const { return m_data == other.m_data; }
  bool operator!=(const SelectorData& other) const { return m_data != other.m_data; }
  SelectorData(const SelectorData& other) = default;
  // Copies the source and the deleted flag; the recent flag stays.
  SelectorData& operator=(const SelectorData& other) {
    m_data = other.m_data;
    m_deleted = other.m_deleted;
    return *this;
  }

  // The source whatever the flags; for the selector's own bookkeeping.
  SocketSelectData* RawData() const { return m_data; }

 private:
  SocketSelectData* m_data = nullptr;
  bool m_deleted = false;
  bool m_recent = true;
};

// Window messages of the socket window.
constexpr unsigned int WM_SOCKET_DESTROY = 0x0002;
constexpr unsigned int WM_SOCKET_QUIT = 0x0012;
constexpr unsigned int WM_SOCKET_TIMER = 0x0113;
// The socket notification: wParam the socket, low word of lParam the event.
constexpr unsigned int WM_SOCKET_NOTIFY = 0x0401;
// Events of a socket notification.
constexpr int SOCKET_EVENT_READ = 1;
constexpr int SOCKET_EVENT_WRITE = 2;
constexpr int SOCKET_EVENT_OOB = 4;
constexpr int SOCKET_EVENT_ACCEPT = 8;
constexpr int SOCKET_EVENT_CLOSE = 32;
// Asks a TLS socket for its handshake (posted by the socket's RequestHandShake).
constexpr int SOCKET_EVENT_HANDSHAKE = 0x414;

// The loop's wake-up channel and message queue; opaque to hosts.
class SocketWindow;

// How the loop reaches the handshake of a TLS socket; installed by the TLS socket class.
// `wants` tells whether the source is a TLS socket that wants a handshake; `run` performs it.
struct HandshakeHooks {
  bool (*wants)(SocketSelectData* source);
  void (*run)(SocketSelectData* source);
};

class SocketSelector {
 public:
  SocketSelector();
  SocketSelector(const SocketSelector&) = delete;
  SocketSelector& operator=(const SocketSelector&) = delete;
  ~SocketSelector();

  // `source` must stay alive until it is removed.
  void Add(SocketSelectData* source);
  void Remove(SocketSelectData* source);
  // Schedules `timer` every (long long) GetInterval() milliseconds (10 at least) from now.
  void Add(SocketTimer* timer);
  void Remove(SocketTimer* timer);

  // Runs the loop on the calling thread until ExitMainLoop or a quit message. Throws
  // SocketException "Socket window not created." when the wake-up channel cannot be made.
  void MainLoop();
  // Ends the loop after the event being handled; callable from any thread.
  void ExitMainLoop();
  // Makes a waiting loop look at its sources again (new output, new timers).
  void Wake();

  // The thread running MainLoop; empty (std::thread::id()) while no loop runs. A thread that
  // started after a loop ended may carry that loop's id, so a stale id would be mistaken for
  // the loop thread.
  std::thread::id GetOwnerThread() const { return m_owner.load(); }
  bool IsLoopThread() const { return m_owner.load() == std::this_thread::get_id(); }

  // The socket window while a loop runs, else null.
  static SocketWindow* get_g_sockWnd();
  // Posts a message to `window`; false when the window is null or no longer exists.
  // Callable from any thread.
  static bool PostSocketMessage(SocketWindow* window, unsigned int message, uintptr_t wParam,
                                intptr_t lParam);
  static void SetHandshakeHooks(const HandshakeHooks& hooks);

 protected:
  static intptr_t WndProc(SocketWindow* window, unsigned int message, uintptr_t wParam,
                          intptr_t lParam);

 private:
  struct TimerEntry {
    SocketTimer* timer;
    std::chrono::steady_clock::time_point due;
    std::chrono::milliseconds period;
  };

  // Returns false when a quit message ended the loop.
  bool HandleMessages(SocketWindow* window);
  void RunDueTimers();
  void DispatchReady(SelectorData* entry, short revents);
  // The live source of `entry`, or null once it is removed (checked under the lock).
  SocketSelectData* Live(SelectorData* entry);
  // Serves a handshake request for the socket `fd`.
  void RunHandshake(int fd);
  // The first entry not removed whose source's FD() is `fd`; a recent entry (added during the
  // current pass) only when `include_recent`.
  SelectorData* FindByFd(int fd, bool include_recent);
  int PollTimeout();

  std::atomic<std::thread::id> m_owner{};
  std::atomic<bool> m_exit{false};
  std::list<SelectorData> m_sources;
  std::list<TimerEntry> m_timers;
  // Guards m_sources and m_timers; never held while a source or timer is called.
  std::mutex m_mutex;

  static SocketSelector* g_cursel;
};

}  // namespace nycl

#endif  // NYCL_NET_SOCKETSELECTOR_H
