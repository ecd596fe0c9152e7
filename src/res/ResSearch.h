// The path search behind ResData::FindList, over small buffers (not part of the public
// interface).
#ifndef NYCL_SRC_RES_RESSEARCH_H
#define NYCL_SRC_RES_RESSEARCH_H

#include <cstddef>
#include <cstring>
#include <vector>

namespace nycl {

class ResData;

// A list of nodes that keeps its first entries in place, so a query of a few nodes allocates
// nothing. Not copyable.
class NodeBuffer {
 public:
  NodeBuffer() : data_(inline_), size_(0), capacity_(kInline) {}
  ~NodeBuffer() = default;
  NodeBuffer(const NodeBuffer&) = delete;
  NodeBuffer& operator=(const NodeBuffer&) = delete;

  void push_back(ResData* node) {
    if (size_ == capacity_) Grow();
    data_[size_++] = node;
  }
  void clear() { size_ = 0; }
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  ResData** begin() { return data_; }
  ResData** end() { return data_ + size_; }
  ResData* const* begin() const { return data_; }
  ResData* const* end() const { return data_ + size_; }
  template <typename Iterator>
  void assign(Iterator first, Iterator last) {
    clear();
    for (; first != last; ++first) push_back(*first);
  }

 private:
  static constexpr size_t kInline = 16;

  void Grow() {
    heap_.resize(capacity_ * 2);
    if (data_ == inline_) std::memcpy(heap_.data(), inline_, sizeof(inline_));
    data_ = heap_.data();
    capacity_ = heap_.size();
  }

  ResData* inline_[kInline];
  std::vector<ResData*> heap_;
  ResData** data_;
  size_t size_;
  size_t capacity_;
};

// Follows `count` names from the nodes in `current` with the wild list `wild`, exactly as
// ResData::FindList does, using `spare_current` and `spare_wild` as the other halves of
// each pair. Returns 0 when the result is in (current, wild), 1 when it is in the spares.
int SearchPath(NodeBuffer& current, NodeBuffer& spare_current, NodeBuffer& wild,
               NodeBuffer& spare_wild, const unsigned int* names, int count);

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESSEARCH_H
