#include "command/TlsWait.h"

#include <cstdio>
#include <string>
#include <thread>

#include "nycl/state/NyDataState.h"

namespace nycl {

bool WaitForTls(NyDataState* state, const char* keyword, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!state->is_ssl_running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      char text[96];
      std::snprintf(text, sizeof text, "TLS did not start within %lld ms; no longer waiting",
                    static_cast<long long>(limit.count()));
      std::string tag = "TOSSICK";
      std::string label = keyword;
      state->ErrorLog(&tag[0], &label[0], text);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace nycl
