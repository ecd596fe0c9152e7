// Enumeration of a query's children.
//
// Positions run through the owner's nodes in list order and, within a node, through its tight
// children in atom order. The end position is (end of the node list, default RDIterator).
#include "nycl/res/ResDataListEnum.h"

#include "nycl/res/ResInfo.h"

namespace nycl {

ResDataListEnum::ResDataListEnum() : owner_(nullptr) {}

ResDataListEnum::ResDataListEnum(const ResInfo* owner, ResDataList::const_iterator node,
                                 RDIterator child)
    : owner_(owner), node_(node), child_(child) {}

ResDataListEnum::ResDataListEnum(const ResInfo* owner, bool filtered) : owner_(owner) {
  const ResDataList& nodes = owner->GetNodes();
  node_ = nodes.begin();
  if (node_ == nodes.end()) return;
  child_ = (*node_)->begin();
  unsigned int null_value = ResData::GetResNull();
  unsigned int query = ResData::GetAtomQuery();
  while (!AtListEnd()) {
    const ResData* child = **this;
    if (child != nullptr &&
        (!filtered || (child->GetValue() != null_value && child->GetName() != query))) {
      break;
    }
    DoIncrement(true);
  }
}

bool ResDataListEnum::AtListEnd() const {
  return owner_ == nullptr || node_ == owner_->GetNodes().end();
}

void ResDataListEnum::DoIncrement(bool forward) {
  if (owner_ == nullptr) return;
  const ResDataList& nodes = owner_->GetNodes();
  if (forward) {
    if (node_ == nodes.end()) return;
    child_.Increment();
    while (child_.AtEnd()) {
      ++node_;
      if (node_ == nodes.end()) {
        child_ = RDIterator();
        return;
      }
      child_ = (*node_)->begin();
    }
    return;
  }
  if (node_ == nodes.end()) {
    if (nodes.empty()) return;
    --node_;
    child_ = (*node_)->end();
  }
  while (child_.AtBegin() && node_ != nodes.begin()) {
    --node_;
    child_ = (*node_)->end();
  }
  child_.Decrement();
}

bool ResDataListEnum::Listable() const {
  const ResData* child = **this;
  unsigned int null_value = ResData::GetResNull();
  if (child == nullptr || child->GetValue() == null_value) return false;
  if (child->GetName() == ResData::GetAtomQuery()) return false;
  // Listed already when an earlier matched node holds a listable child of the same name.
  for (auto it = owner_->GetNodes().begin(); it != node_; ++it) {
    const ResDataMap& earlier = (*it)->GetTight();
    auto same = earlier.find(child->GetName());
    if (same != earlier.end() && same->second->GetValue() != null_value) return false;
  }
  return true;
}

void ResDataListEnum::Increment(bool forward) {
  if (owner_ == nullptr) return;
  const ResDataList& nodes = owner_->GetNodes();
  for (;;) {
    DoIncrement(forward);
    if (AtListEnd()) return;
    if (!forward && node_ == nodes.begin() && child_.AtBegin()) return;
    if (Listable()) return;
  }
}

ResDataListEnum ResDataListEnum::operator++(int) {
  ResDataListEnum before = *this;
  Increment(true);
  return before;
}

ResDataListEnum ResDataListEnum::operator--(int) {
  ResDataListEnum before = *this;
  Increment(false);
  return before;
}

ResDataListEnum ResDataListEnum::AllIncrement() {
  ResDataListEnum before = *this;
  DoIncrement(true);
  return before;
}

ResData* ResDataListEnum::operator*() const {
  if (AtListEnd()) return nullptr;
  return *child_;
}

bool ResDataListEnum::operator==(const ResDataListEnum& other) const {
  if (owner_ != other.owner_) return false;
  return owner_ == nullptr || (node_ == other.node_ && child_ == other.child_);
}

bool ResDataListEnum::EnumValid() const {
  return owner_ != nullptr && *this != owner_->end();
}

AResDataListEnum& AResDataListEnum::operator++() {
  if (list_ != nullptr && position_ != list_->end()) ++position_;
  return *this;
}

AResDataListEnum& AResDataListEnum::operator--() {
  if (list_ != nullptr && position_ != list_->begin()) --position_;
  return *this;
}

AResDataListEnum AResDataListEnum::operator++(int) {
  AResDataListEnum before = *this;
  ++*this;
  return before;
}

AResDataListEnum AResDataListEnum::operator--(int) {
  AResDataListEnum before = *this;
  --*this;
  return before;
}

ResData* AResDataListEnum::operator*() const {
  if (list_ == nullptr || position_ == list_->end()) return nullptr;
  return *position_;
}

}  // namespace nycl
