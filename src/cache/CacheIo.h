// Small POSIX file helpers shared by the cache sources: interrupted calls are retried here
// and nowhere else.
#ifndef NYCL_SRC_CACHE_CACHEIO_H
#define NYCL_SRC_CACHE_CACHEIO_H

#include <cerrno>
#include <string>

namespace nycl {
namespace cacheio {

// Repeats `call` while it fails with EINTR; returns its last result.
template <typename Call>
auto RetryOnInterrupt(Call call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// The whole contents of `fd` from offset 0. False on a read error.
bool ReadAll(int fd, std::string* contents);
// Writes all of `data` at the current offset. False on a write error.
bool WriteAll(int fd, const std::string& data);

}  // namespace cacheio
}  // namespace nycl

#endif  // NYCL_SRC_CACHE_CACHEIO_H
