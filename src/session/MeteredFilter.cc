#include "session/MeteredFilter.h"

#include <algorithm>

#include "session/ConnectionCore.h"

namespace nycl {

void MeteredFilter::ProcRecv(ProcessorIterator it, const unsigned char* data, int len) {
  position_ = it;
  if (len <= 0) {
    // An empty block carries nothing to hold back; it goes on in its place.
    if (held_.empty()) ZFilterProcessor::ProcRecv(it, data, len);
    return;
  }
  if (!held_.empty()) {
    // A transport may hand on what it had decrypted already; it comes after what is held.
    held_.append(reinterpret_cast<const char*>(data), static_cast<size_t>(len));
    return;
  }
  Feed(data, len);
}

void MeteredFilter::Resume() {
  if (held_.empty()) return;
  std::string held;
  held.swap(held_);
  Feed(reinterpret_cast<const unsigned char*>(held.data()), static_cast<int>(held.size()));
}

void MeteredFilter::Feed(const unsigned char* data, int len) {
  for (int done = 0; done < len;) {
    if (!core_->AcceptsInput()) {
      held_.assign(reinterpret_cast<const char*>(data + done), static_cast<size_t>(len - done));
      return;
    }
    const int slice = std::min(kSlice, len - done);
    ZFilterProcessor::ProcRecv(position_, data + done, slice);
    done += slice;
  }
}

}  // namespace nycl
