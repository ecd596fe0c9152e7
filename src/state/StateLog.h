// Log lines of the session state, handed to the data state's ErrorLog.
#ifndef NYCL_SRC_STATE_STATELOG_H
#define NYCL_SRC_STATE_STATELOG_H

#include <string>

#include "nycl/state/NyDataState.h"

namespace nycl {

// Calls state->ErrorLog(tag, label, text) with writable copies (the interface takes char*, and
// a host may write into them); a null text is handed over as an empty one, so a host never
// sees a null pointer there. Nothing happens without a data state.
inline void LogTo(NyDataState* state, const char* tag, const char* label, const char* text) {
  if (state == nullptr) return;
  std::string tagCopy = tag;
  std::string labelCopy = label;
  std::string textCopy = text != nullptr ? text : "";
  state->ErrorLog(&tagCopy[0], &labelCopy[0], &textCopy[0]);
}

}  // namespace nycl

#endif  // NYCL_SRC_STATE_STATELOG_H
