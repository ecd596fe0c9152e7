#include "res/ResChildIndex.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "nycl/res/ResNodePool.h"

namespace nycl {

namespace {

// An index is made for the second child (the first is held in the node): room for two.
constexpr unsigned int kInitialBits = 2;

}  // namespace

ResChildIndex* ResChildIndex::Create(unsigned int bits) {
  size_t size = size_t{1} << bits;
  void* memory = ResNodePool::Allocate(sizeof(ResChildIndex) + size * sizeof(Entry));
  ResChildIndex* index = new (memory) ResChildIndex();
  index->used_ = 0;
  index->shift_ = 64 - bits;
  std::memset(static_cast<void*>(index->Slots()), 0, size * sizeof(Entry));
  return index;
}

void ResChildIndex::Release(ResChildIndex* index) {
  if (index == nullptr) return;
  size_t bytes = sizeof(ResChildIndex) + (index->Mask() + 1) * sizeof(Entry);
  index->~ResChildIndex();
  ResNodePool::Free(index, bytes);
}

void ResChildIndex::Store(unsigned int name, ResData* child) {
  Entry* slots = Slots();
  const size_t mask = Mask();
  for (size_t i = Slot(name);; i = (i + 1) & mask) {
    if (slots[i].child == nullptr) {
      slots[i] = Entry{name, child};
      ++used_;
      return;
    }
    if (slots[i].name == name) {
      slots[i].child = child;
      return;
    }
  }
}

ResChildIndex* ResChildIndex::Put(ResChildIndex* index, unsigned int name, ResData* child) {
  if (index == nullptr) index = Create(kInitialBits);
  if ((index->used_ + 1) * 2 > index->Mask() + 1) {
    ResChildIndex* grown = Create(64 - index->shift_ + 1);
    const Entry* slots = index->Slots();
    for (size_t i = 0; i <= index->Mask(); ++i) {
      if (slots[i].child != nullptr) grown->Store(slots[i].name, slots[i].child);
    }
    Release(index);
    index = grown;
  }
  index->Store(name, child);
  return index;
}

}  // namespace nycl
