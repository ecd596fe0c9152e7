#include "command/KeywordIndex.h"

#include <cstring>

#include "nycl/command/NyCommandTypes.h"

namespace nycl {

namespace {

uint64_t Load8(const char* p) {
  uint64_t word;
  memcpy(&word, p, sizeof word);
  return word;
}

}  // namespace

// The first and the last eight bytes with the length tell the keywords apart well enough (they
// share the "fgl_" prefix, not their ends); the slots keep the whole keyword to compare.
uint32_t KeywordIndex::Hash(const char* keyword, size_t length) {
  uint64_t first = 0;
  uint64_t last = 0;
  if (length >= 8) {
    first = Load8(keyword);
    last = Load8(keyword + length - 8);
  } else {
    memcpy(&first, keyword, length);
  }
  uint64_t h = (first ^ (last * 0x9E3779B97F4A7C15ull) ^ length) * 0xC2B2AE3D27D4EB4Full;
  return static_cast<uint32_t>(h >> 32);
}

KeywordIndex::KeywordIndex(NyCommandTypes* head) {
  size_t entries = 0;
  for (NyCommandTypes* entry = head; entry != nullptr; entry = entry->next) ++entries;
  size_t size = 16;
  while (size < 2 * entries) size *= 2;  // at most half full: probe runs stay short
  slots_.assign(size, Slot{nullptr, nullptr, 0, 0});
  mask_ = size - 1;
  for (NyCommandTypes* entry = head; entry != nullptr; entry = entry->next) {
    if (entry->keyword == nullptr) continue;
    const size_t length = strlen(entry->keyword);
    const uint32_t hash = Hash(entry->keyword, length);
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (slot.keyword == nullptr) {
        slot = Slot{entry->keyword, entry, hash, static_cast<uint32_t>(length)};
        break;
      }
      // A keyword met again later in the list is hidden by the first.
      if (slot.hash == hash && slot.length == length &&
          memcmp(slot.keyword, entry->keyword, length) == 0) {
        break;
      }
    }
  }
}

NyCommandTypes* KeywordIndex::Find(const char* keyword, size_t length) const {
  const uint32_t hash = Hash(keyword, length);
  for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (slot.keyword == nullptr) return nullptr;
    if (slot.hash == hash && slot.length == length && memcmp(slot.keyword, keyword, length) == 0) {
      return slot.entry;
    }
  }
}

}  // namespace nycl
