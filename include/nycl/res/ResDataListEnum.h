// Enumerators over the children of a query's matched nodes and over its wild list.
#ifndef NYCL_RES_RESDATALISTENUM_H
#define NYCL_RES_RESDATALISTENUM_H

#include "nycl/res/ResData.h"

namespace nycl {

class ResInfo;

// One child of one matched node of a ResInfo: the position in the owner's node list and an
// RDIterator on that node's tight children. The end position is past the last node.
//
// The filtered steps (++, --) list only children that carry a value, skip "?" entries and
// list a name once: of several matched nodes holding the same child name, the child under the
// first of them. AllIncrement steps over every child. An enumerator borrows its owner and is
// valid while the owner lives unchanged.
class ResDataListEnum {
 public:
  // Belongs to no handle; equals only other enumerators without owner.
  ResDataListEnum();
  // The owner's first child; with `filtered`, the first child with a value that is not "?".
  ResDataListEnum(const ResInfo* owner, bool filtered);
  ResDataListEnum(const ResInfo* owner, ResDataList::const_iterator node, RDIterator child);

  // One filtered step forward or backward; backward steps stop at the first child of the
  // first node.
  void Increment(bool forward);
  // One unfiltered step.
  void DoIncrement(bool forward);

  ResDataListEnum& operator++() {
    Increment(true);
    return *this;
  }
  ResDataListEnum& operator--() {
    Increment(false);
    return *this;
  }
  ResDataListEnum operator++(int);
  ResDataListEnum operator--(int);
  // One unfiltered step forward; returns the enumerator as it was before the step.
  ResDataListEnum AllIncrement();

  // The current child, or null at an end.
  ResData* operator*() const;
  ResData* operator->() const { return **this; }

  bool operator==(const ResDataListEnum& other) const;
  bool operator!=(const ResDataListEnum& other) const { return !(*this == other); }

  // True when the enumerator has an owner and is not at its end.
  bool EnumValid() const;

 private:
  bool AtListEnd() const;
  bool Listable() const;

  const ResInfo* owner_;
  ResDataList::const_iterator node_;
  RDIterator child_;
};

// A plain position in a list of nodes (a query's wild list). Steps never move past the end or
// before the beginning. Borrows the list.
class AResDataListEnum {
 public:
  AResDataListEnum() : list_(nullptr) {}
  AResDataListEnum(const ResDataList* list, ResDataList::const_iterator position)
      : list_(list), position_(position) {}

  AResDataListEnum& operator++();
  AResDataListEnum& operator--();
  AResDataListEnum operator++(int);
  AResDataListEnum operator--(int);

  // The current node, or null at the end.
  ResData* operator*() const;
  ResData* operator->() const { return **this; }

  bool operator==(const AResDataListEnum& other) const {
    return list_ == other.list_ && (list_ == nullptr || position_ == other.position_);
  }
  bool operator!=(const AResDataListEnum& other) const { return !(*this == other); }

 private:
  const ResDataList* list_;
  ResDataList::const_iterator position_;
};

}  // namespace nycl

#endif  // NYCL_RES_RESDATALISTENUM_H
