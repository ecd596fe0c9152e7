// ResInfo: a query handle on a resource tree.
#ifndef NYCL_RES_RESINFO_H
#define NYCL_RES_RESINFO_H

#include <list>
#include <memory>

#include "nycl/res/ResData.h"
#include "nycl/res/ResDataListEnum.h"
#include "nycl/res/ResSmallVector.h"

namespace nycl {

// The nodes a path leads to from a parent handle (in the order found, duplicates possible),
// the nodes whose loose children may still match further down (the wild list), and the whole
// path as name atoms. Handles are narrowed step by step: the loader's root handle, then a
// form, then a widget.
//
// A handle borrows the nodes of its tree and must not outlive it or see it change. Values are
// atoms (see Atom); lookups that find nothing give 0 or the caller's default.
//
// Threads: a handle belongs to one thread at a time.
class ResInfo {
 public:
  // An empty handle: no nodes, no path.
  ResInfo();
  // Copies the lists; the copy computes its own name when asked.
  ResInfo(const ResInfo& other);
  ResInfo& operator=(const ResInfo& other);
  // The handles below narrow `parent` by a path; a null parent gives an empty handle.
  // `path` is upper-cased and split at "." and "*" (bindings do not matter here).
  ResInfo(ResInfo* parent, const char* path);
  ResInfo(ResInfo* parent, unsigned int atom);
  ResInfo(ResInfo* parent, const std::list<unsigned int>& atoms);
  // A path given inline: `first`, `second` and further atoms, ended by a 0 atom (which may be
  // `second` itself).
  ResInfo(ResInfo* parent, unsigned int first, unsigned int second, ...);
  explicit ResInfo(ResInfo* parent);
  virtual ~ResInfo();

  // The value of the first matched node that has one; 0 when none has.
  unsigned int GetValue() const;
  // The value of the child `name` of the matched nodes, or `fallback` when there is none.
  // Upper-cases the interned text of `name`.
  unsigned int FindResourceA(unsigned int name, unsigned int fallback);
  unsigned int FindResourceA(const char* name, const char* fallback);
  unsigned int FindResourceW(unsigned int name, unsigned int fallback);
  unsigned int FindResourceW(const char* name, const char* fallback);
  // The value of the first matched node named `name`; failing that, of the first tight
  // descendant named `name` found by RecursiveFindRes from the first matched node.
  unsigned int FindResourceSubA(unsigned int name, unsigned int fallback) const;
  unsigned int FindResourceSub(const char* name, const char* fallback) const;
  // The value of a tight child of `node` named `name`; else the same search from the child
  // with the lowest atom, and so on downward; `fallback` at a node without children.
  unsigned int RecursiveFindRes(const ResData* node, unsigned int name,
                                unsigned int fallback) const;

  // The path as text, each name followed by "." (such as "A.B."). Owned by the handle.
  const char* GetResinfoName();

  // Appends the nodes and the wild list of `other` (the path stays).
  void Add(const ResInfo* other);

  // Filtered enumeration of the matched nodes' children (see ResDataListEnum).
  ResDataListEnum begin() const;
  ResDataListEnum GetFirst() const { return begin(); }
  ResDataListEnum end() const;
  // Every child, unfiltered.
  ResDataListEnum abegin() const;
  ResDataListEnum aend() const { return end(); }
  ResDataListEnum GetNextItem(const ResDataListEnum& position) const;
  // The wild list.
  AResDataListEnum wbegin() const;
  AResDataListEnum wend() const;

  const ResDataList& GetNodes() const { return nodes_; }
  // The wild list and the path as lists, built on first use (a handle keeps them in place).
  // Valid while the handle lives unchanged.
  const ResDataList& GetWild() const;
  const ResAtomList& GetPath() const;

 protected:
  // Narrows `parent` by `atoms` into this handle (which must be empty).
  void LoadData(ResInfo* parent, const std::list<unsigned int>& atoms);
  void LoadData(ResInfo* parent, const unsigned int* atoms, int count);

  ResDataList nodes_;

 private:
  // In place for the few entries they have in almost every query: narrowing a handle then
  // allocates nothing for them.
  ResSmallVector<ResData*, 16> wild_;
  ResSmallVector<unsigned int, 16> path_;
  // GetWild and GetPath: the lists, once asked for.
  mutable std::unique_ptr<ResDataList> wild_list_;
  mutable std::unique_ptr<ResAtomList> path_list_;
  char* name_;
};

}  // namespace nycl

#endif  // NYCL_RES_RESINFO_H
