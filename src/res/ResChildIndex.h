// ResChildIndex: a hash index over the children of one map of a ResData node.
#ifndef NYCL_SRC_RES_RESCHILDINDEX_H
#define NYCL_SRC_RES_RESCHILDINDEX_H

#include <cstddef>
#include <cstdint>

namespace nycl {

class ResData;

// The ordered map stays authoritative (it gives the enumeration and dump order); beside it,
// every non-empty map has this open-addressing table, so a lookup costs one or two probes in
// one block of memory instead of a walk down the map's tree. It borrows the children.
//
// The slots follow the header in the same allocation; the table is at most half full.
class ResChildIndex {
 public:
  // Adds `child` under `name` or replaces the child held under that name, in `index` (null
  // for none yet), and returns the index to keep (the old one is released when it grew).
  static ResChildIndex* Put(ResChildIndex* index, unsigned int name, ResData* child);
  static void Release(ResChildIndex* index);

  ResData* Find(unsigned int name) const {
    const Entry* slots = Slots();
    for (size_t i = Slot(name);; i = (i + 1) & mask_) {
      if (slots[i].child == nullptr) return nullptr;
      if (slots[i].name == name) return slots[i].child;
    }
  }

 private:
  struct Entry {
    unsigned int name;
    ResData* child;
  };

  static ResChildIndex* Create(unsigned int bits);
  // Stores without growing; the table must have a free slot.
  void Store(unsigned int name, ResData* child);

  size_t Slot(unsigned int name) const {
    return static_cast<size_t>((static_cast<uint64_t>(name) * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  Entry* Slots() { return reinterpret_cast<Entry*>(this + 1); }
  const Entry* Slots() const { return reinterpret_cast<const Entry*>(this + 1); }

  size_t mask_;
  size_t used_;
  unsigned int shift_;
};

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESCHILDINDEX_H
