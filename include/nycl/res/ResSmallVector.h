// ResSmallVector: a sequence that keeps its first elements in place.
#ifndef NYCL_RES_RESSMALLVECTOR_H
#define NYCL_RES_RESSMALLVECTOR_H

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace nycl {

// The lists a query works with (its path, the nodes whose loose children still match) hold a
// few entries almost always: up to `N` of them live inside the object, and only a longer list
// takes memory from the heap. `T` must be trivially copyable. A value type.
template <typename T, size_t N>
class ResSmallVector {
  static_assert(std::is_trivially_copyable<T>::value, "elements are copied as bytes");

 public:
  ResSmallVector() = default;
  ResSmallVector(const ResSmallVector& other) { assign(other.begin(), other.end()); }
  ResSmallVector& operator=(const ResSmallVector& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  ~ResSmallVector() {
    if (data_ != inline_) std::free(data_);
  }

  void push_back(const T& value) {
    if (size_ == capacity_) Reserve(capacity_ * 2);
    data_[size_++] = value;
  }
  // Appends the elements of [first, last).
  template <typename Iterator>
  void append(Iterator first, Iterator last) {
    for (; first != last; ++first) push_back(*first);
  }
  void append(const T* first, const T* last) {
    const size_t count = static_cast<size_t>(last - first);
    if (size_ + count > capacity_) Reserve(size_ + count);
    if (count != 0) std::memcpy(data_ + size_, first, count * sizeof(T));
    size_ += count;
  }
  template <typename Iterator>
  void assign(Iterator first, Iterator last) {
    size_ = 0;
    append(first, last);
  }
  void clear() { size_ = 0; }

  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  // Room for at least `wanted` elements. Throws std::bad_alloc when memory runs out.
  void Reserve(size_t wanted) {
    if (wanted <= capacity_) return;
    size_t capacity = capacity_;
    while (capacity < wanted) capacity *= 2;
    T* grown = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (grown == nullptr) throw std::bad_alloc();
    if (size_ != 0) std::memcpy(grown, data_, size_ * sizeof(T));
    if (data_ != inline_) std::free(data_);
    data_ = grown;
    capacity_ = capacity;
  }

  T* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = N;
  T inline_[N];
};

}  // namespace nycl

#endif  // NYCL_RES_RESSMALLVECTOR_H
