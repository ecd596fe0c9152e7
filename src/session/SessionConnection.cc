// SessionConnection: the socket with its chain on the loop thread, the line queue with the
// command thread. Everything that changes the socket (connecting, the filter, closing,
// deleting) runs as a task on the loop thread; what a task touches it shares (the core) or
// owns outright (the socket, in the task that deletes it), so a task that runs after its
// caller stopped waiting still finds everything alive. Tasks run in the order they were
// queued, so the socket is deleted after every task that uses it.
#include "nycl/session/SessionConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <utility>

#include "nycl/net/LineModeInput.h"
#include "nycl/net/LineModeOutput.h"
#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/SocketException.h"
#include "nycl/net/TcpSocket.h"
#include "session/ConnectionCore.h"
#include "session/MeteredFilter.h"
#include "session/SessionLoop.h"

namespace nycl {

namespace {

// How long a closing connection may take to send what is queued before it is cut.
constexpr std::chrono::milliseconds kCloseLinger{2000};

}  // namespace

class SessionConnection::Impl {
 public:
  explicit Impl(Transport transport) : loop(SessionLoop::Get()) {
    if (transport == Transport::kTls) {
      socket = new SessionSocket<SSLTcpSocket>(core.get());
    } else {
      socket = new SessionSocket<TcpSocket>(core.get());
    }
    socket->AddProcessor(new LineModeInput());
    socket->AddProcessor(new LineModeOutput());
  }

  // Runs `task` with the socket on the loop thread; false when the loop did not run it in time.
  bool OnLoop(std::function<void(TcpSocket*, ConnectionCore*)> task) {
    return loop.RunAndWait(
        [task = std::move(task), socket = socket, core = core] { task(socket, core.get()); },
        kLoopTaskLimit);
  }

  // Sends `code` down the chain, through the filter.
  int FilterMessage(int code) {
    return OnLoop([code](TcpSocket* socket, ConnectionCore* core) {
      std::lock_guard<std::mutex> lock(core->send_mutex);
      if (core->filter != nullptr) socket->SendMessage(code, nullptr);
    })
               ? 1
               : 0;
  }

  void Shutdown();

  SessionLoop& loop;
  std::shared_ptr<ConnectionCore> core = std::make_shared<ConnectionCore>();
  TcpSocket* socket = nullptr;  // owned; deleted on the loop thread
  bool started = false;         // Connect was asked for
  bool wantCompress = true;
  std::function<void(const std::string&)> onReceived;
  std::function<void(const std::string&)> onSent;
  std::atomic<long> received{0};
  std::atomic<long> sent{0};
};

void SessionConnection::Impl::Shutdown() {
  if (socket == nullptr) return;
  if (!started) {
    // Never opened: the loop has never seen it.
    delete socket;
    socket = nullptr;
    return;
  }
  if (!core->Ended()) {
    // An open connection sends what is queued first, for a while; one still being opened
    // has nothing to finish.
    auto draining = std::make_shared<std::atomic<bool>>(false);
    bool ran = OnLoop([draining](TcpSocket* socket, ConnectionCore*) {
      const int state = socket->GetState();
      if (state == 3) socket->Close();
      if (state == 1 || state == 2) socket->Destroy();
      draining->store(socket->GetState() == 4);
    });
    if (ran && draining->load()) core->WaitDestroyed(kCloseLinger);
  }
  loop.RunAndWait(
      [socket = socket, core = core] {
        core->filter = nullptr;  // goes with the socket's chain
        delete socket;
      },
      kLoopTaskLimit);
  socket = nullptr;
}

SessionConnection::SessionConnection(Transport transport)
    : impl_(std::make_unique<Impl>(transport)) {}

SessionConnection::~SessionConnection() {
  impl_->Shutdown();
}

void SessionConnection::Connect(const std::string& host, const std::string& port, int timeout_ms) {
  impl_->started = true;
  bool ran = impl_->OnLoop([host, port, timeout_ms](TcpSocket* socket, ConnectionCore* core) {
    if (timeout_ms > 0) socket->SetConnectTimeout(timeout_ms);
    try {
      socket->Connect(XString(host.c_str()), XString(port.c_str()));
    } catch (const SocketException& e) {
      core->EndWith(e.GetMessage().c_str());
    }
  });
  if (!ran) {
    impl_->core->EndWith("the event loop did not take the connection within " +
                         std::to_string(kLoopTaskLimit.count()) + " ms");
  }
}

bool SessionConnection::WaitConnected(std::chrono::milliseconds timeout) {
  if (!impl_->core->WaitConnected(timeout)) return false;
  // A line leaves as two blocks, its text and its line feed, and the loop may write the first
  // before the second is queued. Held back until the server acknowledges the first, the line
  // feed would wait for the server's delayed acknowledgement: some 40 ms for an answer the
  // server is waiting for. (The descriptor was set before the core learnt of the connection.)
  const int on = 1;
  const int fd = impl_->socket->FD();
  if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
}

SessionConnection::Next SessionConnection::NextLine(std::string* line,
                                                    std::chrono::milliseconds timeout) {
  bool wake = false;
  Next next = impl_->core->Take(line, timeout, &wake);
  if (wake) {
    // The queue has room again: what the filter held back is decompressed first, then the
    // socket is read (the task's wake-up makes the loop ask the socket again).
    impl_->loop.Post([core = impl_->core] {
      if (core->filter != nullptr) core->filter->Resume();
    });
  }
  if (next == Next::kLine) {
    ++impl_->received;
    if (impl_->onReceived) impl_->onReceived(*line);
  }
  return next;
}

void SessionConnection::Interrupt() {
  impl_->core->Interrupt();
}

std::string SessionConnection::EndReason() const {
  return impl_->core->EndReason();
}

bool SessionConnection::Ended() const {
  return impl_->core->Ended();
}

void SessionConnection::SetWantCompress(bool on) {
  impl_->wantCompress = on;
}

void SessionConnection::SetLineObservers(std::function<void(const std::string&)> received,
                                         std::function<void(const std::string&)> sent) {
  impl_->onReceived = std::move(received);
  impl_->onSent = std::move(sent);
}

long SessionConnection::LinesReceived() const {
  return impl_->received.load();
}

long SessionConnection::LinesSent() const {
  return impl_->sent.load();
}

int SessionConnection::PauseZFilter() {
  return impl_->FilterMessage(TSMSG_ZPAUSE);
}

int SessionConnection::ResumeZFilter() {
  return impl_->FilterMessage(TSMSG_ZRESUME);
}

// The filter lies at the transport end of the chain: it hands decompressed bytes up to the
// line splitter.
int SessionConnection::AddZFilter() {
  return impl_->OnLoop([](TcpSocket* socket, ConnectionCore* core) {
    std::lock_guard<std::mutex> lock(core->send_mutex);
    if (core->filter == nullptr) {
      core->filter = new MeteredFilter(core);
      socket->AddLastProcessor(core->filter);
    }
    socket->SendMessage(TSMSG_ZSTART, nullptr);
  })
             ? 1
             : 0;
}

Socket* SessionConnection::GetSocket() {
  return impl_->socket;
}

int SessionConnection::CloseConnection() {
  impl_->OnLoop([](TcpSocket* socket, ConnectionCore*) {
    if (socket->GetState() != 0 && socket->GetState() != 5) socket->Close();
  });
  return 1;
}

int SessionConnection::SendString(char* line) {
  if (impl_->socket == nullptr || line == nullptr || impl_->core->Ended()) return 0;
  // The loop thread must not wait for itself to write.
  if (!impl_->core->RoomToSend(!impl_->loop.InLoopThread())) return 0;
  const int length = static_cast<int>(std::strlen(line));
  {
    std::lock_guard<std::mutex> lock(impl_->core->send_mutex);
    impl_->core->Queued(length + 1L);  // and the line feed
    impl_->socket->Send(reinterpret_cast<const unsigned char*>(line), length);
  }
  ++impl_->sent;
  if (impl_->onSent) impl_->onSent(line);
  return 1;
}

int SessionConnection::wantcompress() {
  return impl_->wantCompress ? 1 : 0;
}

}  // namespace nycl
