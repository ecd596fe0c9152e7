#include "cache/CacheIo.h"

#include <unistd.h>

namespace nycl {
namespace cacheio {

bool ReadAll(int fd, std::string* contents) {
  contents->clear();
  char buffer[65536];
  off_t offset = 0;
  for (;;) {
    const ssize_t got =
        RetryOnInterrupt([&] { return ::pread(fd, buffer, sizeof buffer, offset); });
    if (got < 0) return false;
    if (got == 0) return true;
    contents->append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote =
        RetryOnInterrupt([&] { return ::write(fd, data.data() + done, data.size() - done); });
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace cacheio
}  // namespace nycl
