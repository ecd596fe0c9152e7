// Helpers shared by the file transfer sources of the common data state.
#ifndef NYCL_SRC_STATE_TRANSFERIO_H
#define NYCL_SRC_STATE_TRANSFERIO_H

#include <cstdio>
#include <string>

#include "nycl/state/NyCommonDataState.h"

namespace nycl {
namespace transfer {

// Sends `text` as one answer line through the data state's (virtual) SendResponceString.
inline void Answer(NyCommonDataState* state, const std::string& text) {
  std::string line = text;
  state->SendResponceString(&line[0]);
}

enum class OpenFor { kReading, kWriting };

// Opens `path` in byte mode when it is a regular file (for writing: creates it, or empties an
// existing one). FIFOs, devices and directories are refused, and the open itself never
// blocks, so a server naming such a file can neither stall the command thread nor start an
// upload without end. With `followLinks` false a symbolic link in the last component is
// refused too. Null on failure; *special (when given) tells whether the path exists but is not
// a regular file. The descriptor is close-on-exec.
FILE* OpenRegular(const char* path, OpenFor mode, bool followLinks, bool* special = nullptr);

// Whether `path`, or `path` without a leading and a trailing double quote (the resource loader
// tries both), names something that exists and is not a regular file.
bool NamesSpecialFile(const char* path);

}  // namespace transfer
}  // namespace nycl

#endif  // NYCL_SRC_STATE_TRANSFERIO_H
