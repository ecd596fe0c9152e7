// The logon-session identifier the client states in its handshake options.
#ifndef NYCL_SRC_COMMAND_LOGONSESSION_H
#define NYCL_SRC_COMMAND_LOGONSESSION_H

#include <string>

namespace nycl {

// Where the kernel publishes the audit (login) session of the calling process.
constexpr char kAuditSessionFile[] = "/proc/self/sessionid";

// The identifier of the login session this process runs in, as "fgl_options" carries it: a
// high part and a low part, each a signed decimal, written one after the other ("%d%d"). The
// high part is 0. The low part is the audit session id read from `sessionFile` when the
// kernel has set one (an unset id reads as 4294967295), else the process's session id
// (getsid). A low part above 2^31 - 1 is written as the negative number of the same 32 bits.
// Empty when neither can be read.
std::string LogonSessionIdentifier(const char* sessionFile = kAuditSessionFile);

}  // namespace nycl

#endif  // NYCL_SRC_COMMAND_LOGONSESSION_H
