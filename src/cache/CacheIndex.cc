#include "cache/CacheIndex.h"

#include <algorithm>
#include <cctype>

namespace nycl {

namespace {

// Beyond this many bytes, trying every prefix of a text costs more than walking the table.
constexpr std::size_t kLongestProbe = 256;

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

void CacheIndex::Clear() {
  records_.clear();
  exact_.clear();
  folded_.clear();
  longest_ = 0;
}

void CacheIndex::Add(tag_file_entry* record) {
  const std::size_t position = records_.size();
  records_.push_back(record);
  // emplace keeps an existing key: the first record of a name is the one found.
  exact_.emplace(record->remote_name, position);
  folded_.emplace(LowerCase(record->remote_name), position);
  longest_ = std::max(longest_, record->remote_name.size());
}

tag_file_entry* CacheIndex::FirstPrefixOf(std::string_view text) const {
  const std::size_t limit = std::min(text.size(), longest_);
  if (limit > kLongestProbe) {
    for (tag_file_entry* record : records_) {
      if (text.substr(0, record->remote_name.size()) == record->remote_name) return record;
    }
    return nullptr;
  }
  std::size_t best = records_.size();
  for (std::size_t length = 1; length <= limit; ++length) {
    const auto found = exact_.find(text.substr(0, length));
    if (found != exact_.end()) best = std::min(best, found->second);
  }
  return best < records_.size() ? records_[best] : nullptr;
}

tag_file_entry* CacheIndex::FirstEqualIgnoringCase(std::string_view text) const {
  const auto found = folded_.find(LowerCase(text));
  return found != folded_.end() ? records_[found->second] : nullptr;
}

}  // namespace nycl
