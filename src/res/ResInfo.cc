// Query handles: narrowing a handle by a path and reading values.
#include "nycl/res/ResInfo.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "res/AtomPath.h"
#include "res/ResSearch.h"

namespace nycl {

ResInfo::ResInfo() : name_(nullptr) {}

ResInfo::ResInfo(const ResInfo& other)
    : nodes_(other.nodes_), wild_(other.wild_), path_(other.path_), name_(nullptr) {}

ResInfo& ResInfo::operator=(const ResInfo& other) {
  if (this != &other) {
    nodes_ = other.nodes_;
    wild_ = other.wild_;
    path_ = other.path_;
    wild_list_.reset();
    path_list_.reset();
    std::free(name_);
    name_ = nullptr;
  }
  return *this;
}

ResInfo::ResInfo(ResInfo* parent, const char* path) : name_(nullptr) {
  unsigned int atoms[kMaxPathComponents];
  int count = SplitPathAtoms(path, true, atoms, nullptr);
  LoadData(parent, atoms, count);
}

ResInfo::ResInfo(ResInfo* parent, unsigned int atom) : name_(nullptr) {
  LoadData(parent, &atom, 1);
}

ResInfo::ResInfo(ResInfo* parent, const std::list<unsigned int>& atoms) : name_(nullptr) {
  LoadData(parent, atoms);
}

ResInfo::ResInfo(ResInfo* parent, unsigned int first, unsigned int second, ...) : name_(nullptr) {
  std::vector<unsigned int> atoms;
  if (first != 0) {
    atoms.push_back(first);
    va_list args;
    va_start(args, second);
    for (unsigned int atom = second; atom != 0; atom = va_arg(args, unsigned int)) {
      atoms.push_back(atom);
    }
    va_end(args);
  }
  LoadData(parent, atoms.data(), static_cast<int>(atoms.size()));
}

ResInfo::ResInfo(ResInfo* parent) : name_(nullptr) {
  LoadData(parent, nullptr, 0);
}

ResInfo::~ResInfo() {
  std::free(name_);
}

void ResInfo::LoadData(ResInfo* parent, const std::list<unsigned int>& atoms) {
  std::vector<unsigned int> path(atoms.begin(), atoms.end());
  LoadData(parent, path.data(), static_cast<int>(path.size()));
}

void ResInfo::LoadData(ResInfo* parent, const unsigned int* atoms, int count) {
  if (parent == nullptr) return;
  wild_list_.reset();
  path_list_.reset();
  path_ = parent->path_;
  path_.append(atoms, atoms + count);
  if (count == 0) {
    nodes_ = parent->nodes_;
    wild_ = parent->wild_;
    return;
  }
  NodeBuffer current[2];
  NodeBuffer spare_wild;
  current[0].assign(parent->nodes_.begin(), parent->nodes_.end());
  wild_ = parent->wild_;
  int side = SearchPath(current[0], current[1], wild_, spare_wild, atoms, count);
  nodes_.assign(current[side].begin(), current[side].end());
  if (side == 1) wild_ = spare_wild;
}

const ResDataList& ResInfo::GetWild() const {
  if (!wild_list_) wild_list_.reset(new ResDataList(wild_.begin(), wild_.end()));
  return *wild_list_;
}

const ResAtomList& ResInfo::GetPath() const {
  if (!path_list_) path_list_.reset(new ResAtomList(path_.begin(), path_.end()));
  return *path_list_;
}

unsigned int ResInfo::GetValue() const {
  unsigned int null_value = ResData::GetResNull();
  for (const ResData* node : nodes_) {
    if (node->GetValue() != null_value) return node->GetValue();
  }
  return 0;
}

unsigned int ResInfo::FindResourceA(unsigned int name, unsigned int fallback) {
  Atom::ToUpperInPlace(name);
  unsigned int value = ResInfo(this, name).GetValue();
  return value != 0 ? value : fallback;
}

unsigned int ResInfo::FindResourceA(const char* name, const char* fallback) {
  return FindResourceA(Atom::Atomize(name), Atom::Atomize(fallback));
}

unsigned int ResInfo::FindResourceW(unsigned int name, unsigned int fallback) {
  return FindResourceA(name, fallback);
}

unsigned int ResInfo::FindResourceW(const char* name, const char* fallback) {
  return FindResourceA(name, fallback);
}

unsigned int ResInfo::FindResourceSubA(unsigned int name, unsigned int fallback) const {
  if (nodes_.empty()) return fallback;
  for (const ResData* node : nodes_) {
    if (node->GetName() == name) return node->GetValue();
  }
  return RecursiveFindRes(nodes_.front(), name, fallback);
}

unsigned int ResInfo::FindResourceSub(const char* name, const char* fallback) const {
  return FindResourceSubA(Atom::Atomize(name), Atom::Atomize(fallback));
}

unsigned int ResInfo::RecursiveFindRes(const ResData* node, unsigned int name,
                                       unsigned int fallback) const {
  while (node != nullptr && !node->GetTight().empty()) {
    auto found = node->GetTight().find(name);
    if (found != node->GetTight().end()) return found->second->GetValue();
    node = node->GetTight().begin()->second;
  }
  return fallback;
}

const char* ResInfo::GetResinfoName() {
  if (name_ == nullptr) {
    std::string text;
    for (unsigned int atom : path_) {
      const char* part = Atom::DeAtomize(atom);
      if (part != nullptr) text += part;
      text += '.';
    }
    name_ = strdup(text.c_str());
  }
  return name_;
}

void ResInfo::Add(const ResInfo* other) {
  if (other == nullptr) return;
  ResDataList nodes = other->nodes_;
  nodes_.splice(nodes_.end(), nodes);
  if (other == this) {
    ResSmallVector<ResData*, 16> wild = wild_;
    wild_.append(wild.begin(), wild.end());
  } else {
    wild_.append(other->wild_.begin(), other->wild_.end());
  }
  wild_list_.reset();
}

ResDataListEnum ResInfo::begin() const {
  return ResDataListEnum(this, true);
}

ResDataListEnum ResInfo::end() const {
  return ResDataListEnum(this, nodes_.end(), RDIterator());
}

ResDataListEnum ResInfo::abegin() const {
  return ResDataListEnum(this, false);
}

ResDataListEnum ResInfo::GetNextItem(const ResDataListEnum& position) const {
  ResDataListEnum next = position;
  ++next;
  return next;
}

AResDataListEnum ResInfo::wbegin() const {
  const ResDataList& wild = GetWild();
  return AResDataListEnum(&wild, wild.begin());
}

AResDataListEnum ResInfo::wend() const {
  const ResDataList& wild = GetWild();
  return AResDataListEnum(&wild, wild.end());
}

}  // namespace nycl
