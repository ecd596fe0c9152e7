// ResData: one node of the resource tree; RDIterator: a walk over one node's tight children.
#ifndef NYCL_RES_RESDATA_H
#define NYCL_RES_RESDATA_H

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <utility>

#include "nycl/res/ResNodePool.h"

namespace nycl {

class ResData;
class RDIterator;
class ResChildIndex;

// Children keyed by name atom, in ascending atom order.
typedef std::map<unsigned int, ResData*, std::less<unsigned int>,
                 ResNodeAllocator<std::pair<const unsigned int, ResData*>>>
    ResDataMap;
typedef std::list<ResData*, ResNodeAllocator<ResData*>> ResDataList;
// A path as name atoms.
typedef std::list<unsigned int, ResNodeAllocator<unsigned int>> ResAtomList;

// A node has a name and a value (atoms), children bound tightly (".", direct children) and
// loosely ("*", matching at any depth below), and templates whose entries it inherits. A node
// that only carries children has the value GetResNull().
//
// Ownership: a node owns the nodes of both child maps and destroys them with itself; its
// parent and its templates are borrowed (templates are rebuilt by ResolveTemplates).
//
// Threads: a tree belongs to one thread at a time; reading it from several threads at once is
// safe while nobody changes it.
class ResData {
 public:
  // An empty root: no parent, value 0, name 0, not loose.
  ResData();
  ResData(ResData* parent, unsigned int name, unsigned int value, bool loose);
  ~ResData();

  ResData(const ResData&) = delete;
  ResData& operator=(const ResData&) = delete;

  // Nodes come from the resource node pools; allocate them with new and release them with
  // delete as usual.
  static void* operator new(size_t size) { return ResNodePool::Allocate(size); }
  static void operator delete(void* block, size_t size) { ResNodePool::Free(block, size); }

  unsigned int GetName() const { return name_; }
  unsigned int GetValue() const { return value_; }
  ResData* GetParent() const { return parent_; }
  bool IsLoose() const { return is_loose_; }
  // A copy of the tight children.
  ResDataMap GetSub() const { return GetTight(); }
  // The children in atom order. The ordered maps are built on first use (lookups do not
  // need them); the references stay valid as long as the node.
  const ResDataMap& GetTight() const { return Ordered(false); }
  const ResDataMap& GetLoose() const { return Ordered(true); }
  const ResDataList& GetTemplates() const {
    const Extras* extras = extras_.load(std::memory_order_acquire);
    return extras != nullptr ? extras->templates : EmptyList();
  }

  // The tight children, in ascending atom order.
  RDIterator begin() const;
  RDIterator end() const;

  // Takes ownership of `node` as the tight (AddSubInfo) or loose (AddSubWeak) child of its
  // name, destroying the node that held that name before.
  void AddSubInfo(ResData* node);
  void AddSubWeak(ResData* node);
  // Appends a borrowed template.
  void AddTemplate(ResData* node);

  // Adds the entry `path`: `value` below this node. Path names are upper-cased; the value
  // keeps the text with which it was first interned. A later entry for the same path
  // replaces the value.
  void AddResource(const char* path, const char* value);
  void DoAddResource(const unsigned int* atoms, const char* bindings, int count,
                     unsigned int value);

  // Appends to `out` the tight then the loose children named `name` (or "?" for a name that
  // does not begin with "!"), each followed by its templates, and appends this node to `wild`
  // when its loose map is not empty. `unused` is not read.
  void FindAtomA(unsigned int name, ResDataList& out, ResDataList& wild, ResDataList& unused);
  // The worker for one of this node's maps; `wild` may be null. `loose` is not read.
  void DoFindAtom(const ResDataMap& map, unsigned int name, ResDataList& out, ResDataList* wild,
                  bool loose);
  void DoFindAtomWild(unsigned int name, ResDataList& out, ResDataList& wild);
  // Appends `node` and, recursively, its templates; a chain of templates is followed to a
  // depth of 8 nodes (cycles included). Nothing more is added once `list` holds 4096 nodes.
  static void FindAddToList(ResDataList& list, ResData* node);
  // The nodes `names` leads to from `current`, in the order found (duplicates possible);
  // `wild` holds the nodes whose loose children may still match and is updated. Each step
  // keeps at most 4096 nodes in either list (only templates naming each other come near).
  static ResDataList FindList(const ResDataList& current, const std::list<unsigned int>& names,
                              ResDataList& wild);

  // Rebuilds the templates of this node and of every node below it: a child named TEMPLATE
  // with the value N makes its parent inherit from the nodes the path !N leads to from `root`
  // (each listed once, in the order first found).
  void ResolveTemplates(ResData* root);
  void DoResolveTemplates(ResData* root, const ResDataMap& map);

  // A deep copy of this node and all below it, without templates; the caller owns it.
  ResData* Clone(ResData* new_parent, bool loose) const;
  // Puts deep copies of the children of `source` into this node's maps.
  void CloneFrom(const ResData* source);

  // Writes this node and all below it as resource lines that the file loader reads back,
  // `prefix` (may be empty) being this node's path; entries the format cannot express are
  // written as comment lines (see ResFile::Dump).
  void Dump(FILE* stream, const char* prefix) const;
  // Writes one value and its line feed; 40 bytes or more go on continuation lines.
  static void DumpValue(FILE* stream, unsigned int value);
  // The node's path from the root, such as "A*B.C"; allocated with malloc, the caller frees.
  char* Describe() const;

  // The marker value of nodes that only carry children.
  static unsigned int GetResNull();
  // The names "TEMPLATE" and "?".
  static unsigned int GetAtomTemplate();
  static unsigned int GetAtomQuery();

 private:
  friend struct ResSearch;

  // Puts `child` into the tight or loose map, destroying a child it replaces.
  void PutChild(bool loose, ResData* child);
  // The same for a child whose name the map does not hold yet.
  void PutNewChild(bool loose, ResData* child);
  // Marks this node and its ancestors as having template work below them.
  void MarkResolveBelow();
  // The child of the tight or loose map named `name`, or null.
  ResData* FindChild(bool loose, unsigned int name) const;

  // The templates and the children in atom order, which few nodes need: only nodes with
  // templates, and nodes whose children are read in order (enumeration, dumps, template
  // resolution). The Children maps below hold the children; the ordered maps mirror them once
  // built (`*_ordered` set), which happens on the first ordered read, under a process-wide lock
  // so concurrent readers agree.
  struct Extras {
    mutable ResDataMap tight;
    ResDataList templates;
    mutable ResDataMap loose;
    mutable std::atomic<bool> tight_ordered{false};
    mutable std::atomic<bool> loose_ordered{false};

    static void* operator new(size_t size) { return ResNodePool::Allocate(size); }
    static void operator delete(void* block, size_t size) { ResNodePool::Free(block, size); }
  };

  static const ResDataMap& EmptyMap();
  static const ResDataList& EmptyList();
  Extras& MakeExtras() const;
  const ResDataMap& Ordered(bool loose) const;

  // One map of children by name, owned. Most nodes have one child: while a map holds at most
  // one, it sits here and a lookup reads no other block; from the second on, an index of
  // 2^bits slots holds them all (see ResChildIndex), its size kept here so a lookup reads the
  // node and then the one slot it needs.
  struct Children {
    union {
      ResData* one = nullptr;  // bits 0: the child, or null
      ResChildIndex* index;    // bits > 0
    };
    unsigned int one_name = 0;
    unsigned char bits = 0;
    bool query = false;  // a "?" child among them
    bool empty() const { return bits == 0 && one == nullptr; }
  };
  friend struct ResChildOps;

  ResData* parent_;
  unsigned int value_;
  unsigned int name_;
  bool is_loose_;
  bool has_templates_ = false;  // the template list is not empty
  // This node or one below it has templates or a TEMPLATE child, so ResolveTemplates has
  // work there; other subtrees are skipped. Set when such a node is added, never cleared.
  bool resolve_below_ = false;
  Children tight_;
  Children loose_;
  // Owned; allocated on first use, which may be an ordered read on any thread.
  mutable std::atomic<Extras*> extras_{nullptr};
};

// A position in one node's tight children. A default iterator has no node and equals only
// another default iterator. Steps never move past the end or before the beginning.
class RDIterator {
 public:
  RDIterator() : node_(nullptr) {}
  RDIterator(const ResData* node, ResDataMap::const_iterator position)
      : node_(node), position_(position) {}

  void Increment();
  void Decrement();
  RDIterator& operator++() {
    Increment();
    return *this;
  }
  RDIterator& operator--() {
    Decrement();
    return *this;
  }
  RDIterator operator++(int);
  RDIterator operator--(int);

  // The current child, or null at the end.
  ResData* operator*() const;
  ResData* operator->() const { return **this; }

  bool operator==(const RDIterator& other) const;
  bool operator!=(const RDIterator& other) const { return !(*this == other); }

  const ResData* GetNode() const { return node_; }
  bool AtBegin() const { return node_ == nullptr || position_ == node_->GetTight().begin(); }
  bool AtEnd() const { return node_ == nullptr || position_ == node_->GetTight().end(); }

 private:
  const ResData* node_;
  ResDataMap::const_iterator position_;
};

}  // namespace nycl

#endif  // NYCL_RES_RESDATA_H
