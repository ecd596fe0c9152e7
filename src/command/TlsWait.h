// The wait of the session commands for TLS to run after they resumed encryption.
#ifndef NYCL_SRC_COMMAND_TLSWAIT_H
#define NYCL_SRC_COMMAND_TLSWAIT_H

#include <chrono>

namespace nycl {

class NyDataState;

// How long a session command waits for TLS before it goes on without it.
constexpr std::chrono::milliseconds kTlsWaitLimit{30000};

// Polls state->is_ssl_running() until it reports true, suspending the calling thread for one
// millisecond between polls. The handshake runs on the event-loop thread, so the command
// thread really sleeps here; the data state's own Sleep is not used (the common data state's
// does nothing, which would turn the wait into a spin). Gives up after `limit`, logging
// through the data state's ErrorLog with `keyword` as the label, so that a server that never
// completes TLS cannot hang the command thread. Returns whether TLS runs.
// REQUIRES: called on the command thread, never on the event-loop thread.
bool WaitForTls(NyDataState* state, const char* keyword,
                std::chrono::milliseconds limit = kTlsWaitLimit);

}  // namespace nycl

#endif  // NYCL_SRC_COMMAND_TLSWAIT_H
