#include "command/LogonSession.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace nycl {

namespace {

constexpr unsigned long kUnsetAuditSession = 4294967295UL;

// The audit session id in `path`, or false when the file is missing, unreadable, not a
// number, out of 32 bits or holds the unset value.
bool ReadAuditSession(const char* path, uint32_t* id) {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  char text[32];
  ssize_t length;
  do {
    length = ::read(fd, text, sizeof text - 1);
  } while (length < 0 && errno == EINTR);
  ::close(fd);
  if (length <= 0) return false;
  text[length] = '\0';
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || errno == ERANGE || (*end != '\0' && *end != '\n')) return false;
  if (value >= kUnsetAuditSession || text[0] == '-') return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

std::string LogonSessionIdentifier(const char* sessionFile) {
  uint32_t low;
  if (!ReadAuditSession(sessionFile, &low)) {
    const pid_t session = ::getsid(0);
    if (session < 0) return std::string();
    low = static_cast<uint32_t>(session);
  }
  const int32_t high = 0;
  char text[100];
  std::snprintf(text, sizeof text, "%d%d", static_cast<int>(high),
                static_cast<int>(static_cast<int32_t>(low)));
  return text;
}

}  // namespace nycl
