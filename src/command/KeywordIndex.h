// KeywordIndex: the registry's lookup table, keyword to entry in constant time.
//
// An index is a snapshot of the registry list: it maps each keyword to the first entry in list
// order that has it, which is the entry a walk of the list would find. It is never changed once
// built, so any number of threads may look up in it at once; the registry builds a new one after
// entries are linked or unlinked.
#ifndef NYCL_SRC_COMMAND_KEYWORDINDEX_H
#define NYCL_SRC_COMMAND_KEYWORDINDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nycl {

class NyCommandTypes;

class KeywordIndex {
 public:
  // Indexes the list that starts at `head`. The entries must stay linked, with their keywords
  // unchanged, while the index is used.
  explicit KeywordIndex(NyCommandTypes* head);
  KeywordIndex(const KeywordIndex&) = delete;
  KeywordIndex& operator=(const KeywordIndex&) = delete;

  // The first entry whose keyword is the `length` bytes at `keyword`, or null.
  NyCommandTypes* Find(const char* keyword, size_t length) const;

 private:
  struct Slot {
    const char* keyword;  // null: free
    NyCommandTypes* entry;
    uint32_t hash;
    uint32_t length;
  };

  static uint32_t Hash(const char* keyword, size_t length);

  std::vector<Slot> slots_;
  size_t mask_ = 0;
};

}  // namespace nycl

#endif  // NYCL_SRC_COMMAND_KEYWORDINDEX_H
