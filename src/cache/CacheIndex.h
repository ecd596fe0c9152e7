// CacheIndex: finds the first record, in table order, that a lookup rule matches, without
// walking the table.
#ifndef NYCL_SRC_CACHE_CACHEINDEX_H
#define NYCL_SRC_CACHE_CACHEINDEX_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nycl/cache/CCorvathFileCache.h"

namespace nycl {

// Borrows the records it is given: they must stay at their address, unchanged in name, until
// Clear. Records are added in table order.
class CacheIndex {
 public:
  void Clear();
  void Add(tag_file_entry* record);

  // The first record whose name is a prefix of `text`, or null.
  tag_file_entry* FirstPrefixOf(std::string_view text) const;
  // The first record whose name equals `text` ignoring case, or null.
  tag_file_entry* FirstEqualIgnoringCase(std::string_view text) const;

 private:
  std::vector<tag_file_entry*> records_;                     // table order
  std::unordered_map<std::string_view, std::size_t> exact_;  // name -> first position
  std::unordered_map<std::string, std::size_t> folded_;      // lower-cased name -> first
  std::size_t longest_ = 0;                                  // longest name held
};

}  // namespace nycl

#endif  // NYCL_SRC_CACHE_CACHEINDEX_H
