#include "ServedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace nycl_server {

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* why) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    *why = "not a regular file";
  } else if (static_cast<unsigned long long>(status.st_size) > kMaxFileSize) {
    *why = "larger than " + std::to_string(kMaxFileSize) + " bytes";
  } else {
    bytes->clear();
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        if (got < 0) *why = std::strerror(errno);
        close(fd);
        return got == 0;
      }
      bytes->append(buffer, static_cast<std::size_t>(got));
      if (bytes->size() > kMaxFileSize) {
        *why = "larger than " + std::to_string(kMaxFileSize) + " bytes";
        break;
      }
    }
  }
  close(fd);
  return false;
}

bool ServedFiles::Read(const std::string& name, std::string* bytes, std::string* why) const {
  if (name.empty() || name[0] == '/') {
    *why = "only relative names are served";
    return false;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) {
      *why = "names with \"..\" are not served";
      return false;
    }
    start = end + 1;
  }
  char resolved[PATH_MAX];
  if (realpath((root_ + "/" + name).c_str(), resolved) == nullptr) {
    *why = std::strerror(errno);
    return false;
  }
  const std::string real = resolved;
  const std::string inside = root_ == "/" ? root_ : root_ + "/";
  if (real.compare(0, inside.size(), inside) != 0) {
    *why = "it lies outside the served directory";
    return false;
  }
  return ReadWholeFile(real, bytes, why);
}

std::string ServedFiles::Resolve(const std::string& path) const {
  return !path.empty() && path[0] == '/' ? path : root_ + "/" + path;
}

long long ServedFiles::Tag(const std::string& bytes) {
  const uLong crc =
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  return static_cast<long long>(crc & 0x7fffffffUL);
}

}  // namespace nycl_server
