// SocketException: the one error type the networking subsystem throws, always by value.
#ifndef NYCL_NET_SOCKETEXCEPTION_H
#define NYCL_NET_SOCKETEXCEPTION_H

#include "nycl/base/XString.h"

namespace nycl {

// A value type: copyable and assignable; the message is an XString of its own.
class SocketException {
 public:
  explicit SocketException(const XString& message) : message_(message) {}
  SocketException(const SocketException&) = default;
  SocketException& operator=(const SocketException&) = default;
  virtual ~SocketException() = default;

  // A copy of the message.
  virtual operator XString() const { return message_; }
  // The message text; valid while this exception lives and is not assigned to.
  virtual operator const char*() { return message_.c_str(); }

  XString GetMessage() const { return message_; }

 private:
  XString message_;
};

}  // namespace nycl

#endif  // NYCL_NET_SOCKETEXCEPTION_H
