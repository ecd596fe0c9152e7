// LiveTrace: nycl-trace's live mode. It runs a whole session with an application server
// through the library's SessionRunner and records what the session does to a host: each line
// from the server, the calls on the render windows, the dialogs and messages the data state
// is asked to show, and every answer line, into a sink (see RecordingSink.h).
//
// The host it plays answers like the library's defaults (a message box answers "key 1", a
// wait returns at once). What the server may reach outside the cache is confined as in
// nycl-term: stores and uploads only in the folder "exchange" of the cache, no launches.
//
// Threads: RunLiveTrace makes the calling thread the session's command thread; the sink is
// called on it.
#ifndef NYCL_TOOLS_NYCL_TRACE_LIVETRACE_H
#define NYCL_TOOLS_NYCL_TRACE_LIVETRACE_H

#include <string>

#include "RecordingSink.h"

namespace nycl::recording {

struct LiveTraceOptions {
  std::string host;
  std::string port;
  std::string application;  // the answer to "nyinetif:"
  bool tls = true;
  std::string cache;  // the client file cache directory (created when missing)
};

// Server lines go to `echo` as ">> line", lines no command knows as "!! ...", calls and
// answers to `sink`. Returns the exit status: 0 when the server ended the session, 1 when it
// could not be opened or was lost (the reason is written to standard error).
int RunLiveTrace(const LiveTraceOptions& options, CallSink* sink,
                 void (*echo)(void* context, const std::string& line), void* context);

}  // namespace nycl::recording

#endif  // NYCL_TOOLS_NYCL_TRACE_LIVETRACE_H
