#include "nycl/net/TcpHostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nycl/net/SocketException.h"
#include "nycl/net/SocketSelector.h"

namespace nycl {

namespace {

constexpr int32_t kNameToAddress = 1;
constexpr int32_t kAddressToText = 2;
constexpr int32_t kFailed = 3;
constexpr int kMaxName = 122;

struct Record {
  int32_t type;
  int32_t id;
  char data[124];
};
static_assert(sizeof(Record) == 132, "the pipe record is 132 bytes");

// Whole-record transfer; false on end of file or an error. The pipes are socket pairs, so a
// write to a closed end reports EPIPE instead of raising SIGPIPE.
bool WriteRecord(int fd, const Record& record) {
  const char* p = reinterpret_cast<const char*>(&record);
  size_t left = sizeof record;
  while (left > 0) {
    ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadRecord(int fd, Record* record) {
  char* p = reinterpret_cast<char*>(record);
  size_t left = sizeof *record;
  while (left > 0) {
    ssize_t n = ::recv(fd, p, left, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// The first IPv4 address of `name`, in network order.
bool ResolveName(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr) return false;
  *address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(result);
  return true;
}

// "%d.%d.%d.%d" into four numbers; the parts are not range checked.
bool ParseDotted(const char* text, uint32_t* address) {
  int a, b, c, d;
  if (std::sscanf(text, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return false;
  uint32_t host = ((static_cast<uint32_t>(a) * 256 + static_cast<uint32_t>(b)) * 256 +
                   static_cast<uint32_t>(c)) *
                      256 +
                  static_cast<uint32_t>(d);
  *address = htonl(host);
  return true;
}

void CompleteAddress(TcpHostLookupSink* sink, uint32_t address) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = 0;
  in.sin_addr.s_addr = address;
  sink->Complete(reinterpret_cast<sockaddr&>(in));
}

}  // namespace

// The answer pipe's read end, watched for answers.
class TcpHostLookupIn final : public SocketSelectData {
 public:
  explicit TcpHostLookupIn(TcpHostLookup* lookup) : lookup_(lookup) {}
  int FD() override { return lookup_->m_answers; }
  bool WantInput() override { return true; }
  bool WantOutput() override { return false; }
  bool WantException() override { return true; }
  void Input() override { lookup_->HandleInput(); }
  void Output() override {}
  void Exception() override { lookup_->HandleException(); }

 private:
  TcpHostLookup* lookup_;
};

// The request pipe's write end, watched while a request waits to be written.
class TcpHostLookupOut final : public SocketSelectData {
 public:
  explicit TcpHostLookupOut(TcpHostLookup* lookup) : lookup_(lookup) {}
  int FD() override { return lookup_->m_requests; }
  bool WantInput() override { return false; }
  bool WantOutput() override { return lookup_->WantsOutput(); }
  bool WantException() override { return true; }
  void Input() override {}
  void Output() override { lookup_->HandleOutput(); }
  void Exception() override { lookup_->HandleException(); }

 private:
  TcpHostLookup* lookup_;
};

TcpHostLookup::TcpHostLookup(SocketSelector* selector) : m_selector(selector) {
  CreateSubprocess();
}

TcpHostLookup::~TcpHostLookup() {
  TerminateProc();
  if (m_worker.joinable()) m_worker.join();
}

void TcpHostLookup::CreateSubprocess() {
  int answers[2], requests[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, answers) != 0) std::exit(0);
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, requests) != 0) std::exit(0);
  m_answers = answers[0];
  m_requests = requests[1];
  // The worker owns its two ends and closes them when it ends.
  m_worker = std::thread(ChildThread, requests[0], answers[1]);
  m_running = true;
  m_in = new TcpHostLookupIn(this);
  m_out = new TcpHostLookupOut(this);
  m_selector->Add(m_in);
  m_selector->Add(m_out);
}

void TcpHostLookup::ChildThread(int requests, int answers) {
  Record record;
  while (ReadRecord(requests, &record)) {
    if (record.type == kNameToAddress) {
      record.data[sizeof record.data - 1] = 0;
      uint32_t address;
      if (ResolveName(record.data, &address)) {
        std::memcpy(record.data, &address, sizeof address);
      } else {
        record.type = kFailed;
      }
    } else if (record.type == kAddressToText) {
      sockaddr_in in{};
      in.sin_family = AF_INET;
      std::memcpy(&in.sin_addr.s_addr, record.data, 4);
      char host[NI_MAXHOST];
      if (::getnameinfo(reinterpret_cast<sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0,
                        NI_NAMEREQD) == 0) {
        std::memset(record.data, 0, sizeof record.data);
        std::memcpy(record.data, host, std::min(std::strlen(host), sizeof record.data));
      } else {
        record.type = kFailed;
      }
    } else {
      record.type = kFailed;
    }
    if (!WriteRecord(answers, record)) break;
  }
  ::close(requests);
  ::close(answers);
}

void TcpHostLookup::Lookup(sockaddr& address, TcpHostLookupSink* sink) {
  uint32_t host = ntohl(reinterpret_cast<sockaddr_in&>(address).sin_addr.s_addr);
  char text[128];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(host >> 24),
                static_cast<int>((host >> 16) & 255), static_cast<int>((host >> 8) & 255),
                static_cast<int>(host & 255));
  sink->Complete(XString(text));
}

void TcpHostLookup::Lookup(XString name, TcpHostLookupSink* sink) {
  uint32_t address = 0;
  if (name.empty() || ParseDotted(name.c_str(), &address)) {
    CompleteAddress(sink, address);  // the empty host is any local address
    return;
  }
  if (!m_running) {
    ResolveNow(name, sink);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back({0, ++m_lastId, false, name, 0, sink});
  }
  m_selector->Wake();
}

void TcpHostLookup::ResolveNow(const XString& name, TcpHostLookupSink* sink) {
  uint32_t address;
  if (ResolveName(name.c_str(), &address)) {
    CompleteAddress(sink, address);
  } else {
    sink->Failed();
  }
}

void TcpHostLookup::DestructNotify(TcpHostLookupSink* sink) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pending.remove_if([sink](const Request& request) { return request.sink == sink; });
}

bool TcpHostLookup::WantsOutput() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const Request& request : m_pending) {
    if (!request.written) return true;
  }
  return false;
}

void TcpHostLookup::HandleOutput() {
  Record record{};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_pending.begin();
    while (it != m_pending.end() && it->written) ++it;
    if (it == m_pending.end()) return;
    record.id = it->id;
    if (it->kind == 0) {
      record.type = kNameToAddress;
      std::strncpy(record.data, it->name.c_str(), kMaxName);
    } else if (it->kind == 1) {
      record.type = kAddressToText;
      std::memcpy(record.data, &it->address, sizeof it->address);
    } else {
      throw SocketException("Invalid type code in TcpHostLookup::HandleOutput?");
    }
    // Marked before the write, under the lock: the answer cannot come before the mark.
    it->written = true;
  }
  if (!WriteRecord(m_requests, record)) TerminateProc();
}

void TcpHostLookup::HandleInput() {
  Record record;
  if (!ReadRecord(m_answers, &record)) {
    TerminateProc();
    return;
  }
  TcpHostLookupSink* sink = nullptr;
  {
    // The request goes before its sink is called: the sink may start or cancel lookups.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
      if (it->id != record.id) continue;
      sink = it->sink;
      m_pending.erase(it);
      break;
    }
  }
  // No pending request has this id when its sink went away meanwhile.
  if (sink != nullptr) {
    if (record.type == kNameToAddress) {
      uint32_t address;
      std::memcpy(&address, record.data, sizeof address);
      CompleteAddress(sink, address);
    } else if (record.type == kAddressToText) {
      int length = 0;
      while (length < 123 && record.data[length] != 0) ++length;
      if (length == 123 && record.data[length] != 0) length = 124;
      sink->Complete(XString(record.data, length));
    } else {
      sink->Failed();
    }
  }
}

void TcpHostLookup::HandleException() {
  TerminateProc();
}

void TcpHostLookup::TerminateProc() {
  if (!m_running) return;
  m_running = false;
  m_selector->Remove(m_in);
  m_selector->Remove(m_out);
  // One of the sources may be the caller; it touches nothing of itself once this returns.
  delete m_in;
  delete m_out;
  m_in = nullptr;
  m_out = nullptr;
  ::close(m_answers);
  ::close(m_requests);
  m_answers = m_requests = -1;
  // What the worker had not answered is answered here.
  std::list<Request> pending;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    pending.swap(m_pending);
  }
  for (const Request& request : pending) {
    if (request.kind == 0) ResolveNow(request.name, request.sink);
  }
}

}  // namespace nycl
