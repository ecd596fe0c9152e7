#include "state/TransferIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace nycl {
namespace transfer {

FILE* OpenRegular(const char* path, OpenFor mode, bool followLinks, bool* special) {
  if (special != nullptr) *special = false;
  if (path == nullptr) return nullptr;
  const bool writing = mode == OpenFor::kWriting;
  // Non-blocking for the open only: a FIFO without a peer must not hold the thread.
  int flags = O_CLOEXEC | O_NONBLOCK | (writing ? O_WRONLY | O_CREAT : O_RDONLY);
  if (!followLinks) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (special != nullptr) *special = true;
    ::close(fd);
    return nullptr;
  }
  // Emptied only now that it is known to be a regular file.
  if (writing && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  FILE* file = ::fdopen(fd, writing ? "wb" : "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

bool NamesSpecialFile(const char* path) {
  if (path == nullptr) return false;
  struct stat info;
  if (::stat(path, &info) == 0) return !S_ISREG(info.st_mode);
  std::string unquoted = path;
  if (!unquoted.empty() && unquoted.front() == '"') unquoted.erase(0, 1);
  if (!unquoted.empty() && unquoted.back() == '"') unquoted.pop_back();
  return ::stat(unquoted.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace transfer
}  // namespace nycl
