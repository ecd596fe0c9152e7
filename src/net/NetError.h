// Helpers shared by the socket sources: errno texts and the pipe records of the host lookup.
#ifndef NYCL_SRC_NET_NETERROR_H
#define NYCL_SRC_NET_NETERROR_H

#include <cstring>

#include "nycl/base/XString.h"

namespace nycl {

// The C library's text for `err`, safe to call from any thread.
inline XString ErrorText(int err) {
  char buffer[256];
  return XString(strerror_r(err, buffer, sizeof buffer));
}

}  // namespace nycl

#endif  // NYCL_SRC_NET_NETERROR_H
