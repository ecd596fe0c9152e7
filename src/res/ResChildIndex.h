// ResChildIndex: a hash index over the children of one map of a ResData node.
#ifndef NYCL_SRC_RES_RESCHILDINDEX_H
#define NYCL_SRC_RES_RESCHILDINDEX_H

#include <cstddef>
#include <cstdint>

namespace nycl {

class ResData;

// A node holds one child of a map itself; a map of two or more children has this
// open-addressing table, so a lookup costs one or two probes in one block of memory instead of
// a walk down an ordered map's tree (the ordered maps, built for enumeration and dumps only,
// mirror the tables). It borrows the children.
//
// The slots follow the header in the same allocation; the table is at most half full.
class ResChildIndex {
 public:
  // Adds `child` under `name` or replaces the child held under that name, in `index` (null
  // for none yet), and returns the index to keep (the old one is released when it grew).
  static ResChildIndex* Put(ResChildIndex* index, unsigned int name, ResData* child);
  static void Release(ResChildIndex* index);

  ResData* Find(unsigned int name) const { return Find(this, Bits(), name); }

  // Find for an owner that keeps Bits() beside its pointer to the index, so that a lookup
  // reads the one slot line it needs and not the header first.
  static ResData* Find(const ResChildIndex* index, unsigned int bits, unsigned int name) {
    const Entry* slots = index->Slots();
    size_t mask = (size_t{1} << bits) - 1;
    for (size_t i = Hash(name) >> (64 - bits);; i = (i + 1) & mask) {
      if (slots[i].child == nullptr) return nullptr;
      if (slots[i].name == name) return slots[i].child;
    }
  }

  // Where Find(index, bits, name) starts to look, for a prefetch.
  static const void* SlotFor(const ResChildIndex* index, unsigned int bits, unsigned int name) {
    return index->Slots() + (Hash(name) >> (64 - bits));
  }

  // Calls `visit(name, child)` for every child, in no particular order.
  // Children lie scattered, so each one a few slots ahead is fetched while the current one
  // is visited.
  template <typename Visit>
  void ForEach(Visit visit) const {
    constexpr size_t kAhead = 8;
    const Entry* slots = Slots();
    const size_t mask = Mask();
    for (size_t i = 0; i <= mask; ++i) {
      if (i + kAhead <= mask && slots[i + kAhead].child != nullptr) {
        __builtin_prefetch(slots[i + kAhead].child);
      }
      if (slots[i].child != nullptr) visit(slots[i].name, slots[i].child);
    }
  }

  // The table has 2^Bits() slots.
  unsigned int Bits() const { return 64 - shift_; }

 private:
  struct Entry {
    unsigned int name;
    ResData* child;
  };

  static ResChildIndex* Create(unsigned int bits);
  // Stores without growing; the table must have a free slot.
  void Store(unsigned int name, ResData* child);

  static uint64_t Hash(unsigned int name) {
    return static_cast<uint64_t>(name) * 0x9E3779B97F4A7C15ull;
  }
  size_t Slot(unsigned int name) const { return static_cast<size_t>(Hash(name) >> shift_); }
  size_t Mask() const { return (size_t{1} << (64 - shift_)) - 1; }
  Entry* Slots() { return reinterpret_cast<Entry*>(this + 1); }
  const Entry* Slots() const { return reinterpret_cast<const Entry*>(this + 1); }

  uint32_t used_;
  uint32_t shift_;
};

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESCHILDINDEX_H
