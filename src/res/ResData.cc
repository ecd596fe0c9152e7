// The resource tree: building it, path lookup and templates.
//
// Lookup of one name from a set of current nodes (FindList):
//   - a current node's tight child of that name, then its loose child of that name;
//   - a "?" child of either map matches any name that does not begin with "!" (template
//     names begin with "!", so a wildcard never reaches into a template);
//   - every node with loose children that the path has passed stays on the wild list, and its
//     loose children keep matching at every deeper level;
//   - each node found is followed by its templates, and theirs, up to 8 nodes deep.
#include "nycl/res/ResData.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "nycl/res/Atom.h"
#include "res/AtomPath.h"
#include "res/ResChildIndex.h"
#include "res/ResSearch.h"

namespace nycl {

namespace {

// The nesting level at which a chain of templates stops adding nodes: a node found and seven
// levels of its templates are added.
constexpr int kTemplateLevels = 9;
// Nodes one step of a path search may collect at most, in its result and in its wild list.
// Templates that name each other make the expansion grow as a power of 8 per step, and the
// next step multiplies it again; real files stay far below this.
constexpr size_t kMaxExpansion = 4096;

struct StaticAtoms {
  unsigned int tmpl;
  unsigned int query;
  unsigned int null;
};

// The class's atoms, interned once per generation of the atom table.
std::mutex g_statics_mutex;
std::atomic<unsigned int> g_statics_ready{0};  // the generation they were interned in, plus 1
StaticAtoms g_statics;

void InternStatics(unsigned int ready) {
  std::lock_guard<std::mutex> lock(g_statics_mutex);
  if (g_statics_ready.load(std::memory_order_relaxed) != ready) {
    g_statics.tmpl = Atom::Atomize("TEMPLATE");
    g_statics.query = Atom::Atomize("?");
    g_statics.null = Atom::Atomize("\x07-null");
    g_statics_ready.store(ready, std::memory_order_release);
  }
}

inline const StaticAtoms& Statics() {
  const unsigned int ready = g_atom_generation.load(std::memory_order_relaxed) + 1;
  if (__builtin_expect(g_statics_ready.load(std::memory_order_acquire) != ready, 0)) {
    InternStatics(ready);
  }
  return g_statics;
}

}  // namespace

// A node's map of children: one held in place, or an index.
struct ResChildOps {
  using Children = ResData::Children;

  static ResData* Find(const Children& map, unsigned int name) {
    if (map.bits == 0) return map.one_name == name ? map.one : nullptr;  // null when empty
    return ResChildIndex::Find(map.index, map.bits, name);
  }

  // Starts fetching the slot Find reads for `name` (nothing to fetch for a child in place).
  static void Prefetch(const Children& map, unsigned int name) {
    if (map.bits != 0) __builtin_prefetch(ResChildIndex::SlotFor(map.index, map.bits, name));
  }

  // Holds `child` under `name`, in place of a child of that name if there is one.
  static void Put(Children& map, unsigned int name, ResData* child) {
    if (map.bits == 0) {
      if (map.one == nullptr || map.one_name == name) {
        map.one = child;
        map.one_name = name;
        return;
      }
      map.index = ResChildIndex::Put(nullptr, map.one_name, map.one);
    }
    map.index = ResChildIndex::Put(map.index, name, child);
    map.bits = static_cast<unsigned char>(map.index->Bits());
  }

  template <typename Visit>
  static void ForEach(const Children& map, Visit visit) {
    if (map.bits != 0) {
      map.index->ForEach(visit);
    } else if (map.one != nullptr) {
      visit(map.one_name, map.one);
    }
  }

  static void Release(Children& map) {
    if (map.bits != 0) ResChildIndex::Release(map.index);
    map = Children();
  }
};

// The lookup of one name, with access to the nodes' lookup aids.
struct ResSearch {
  using Children = ResData::Children;

  static bool HasTemplates(const ResData* node) { return node->has_templates_; }

  static bool HasLoose(const ResData* node) { return !node->loose_.empty(); }

  // Starts fetching the slot of `name` in the tight or loose map of `self`.
  static void PrefetchSlot(const ResData* self, bool loose, unsigned int name) {
    ResChildOps::Prefetch(loose ? self->loose_ : self->tight_, name);
  }

  // Appends to `found` the child of `map` named `name`, then the map's "?" child when it may
  // stand for `name`, and starts fetching them.
  template <typename Found>
  static void Collect(const Children& map, unsigned int name, Found& found, unsigned int query);

  template <typename Container>
  static void FindIn(const ResData* self, bool loose, unsigned int name, Container& out,
                     Container* wild, unsigned int query);

  template <typename Container>
  static void Step(const Container& current, unsigned int name, const Container& wild,
                   Container& next, Container& next_wild, unsigned int query);
};

namespace {

template <typename Container>
void AppendWithTemplates(Container& out, ResData* node, int level, size_t* budget) {
  if (level >= kTemplateLevels || *budget == 0) return;
  --*budget;
  out.push_back(node);
  if (!ResSearch::HasTemplates(node)) return;
  for (ResData* templ : node->GetTemplates()) AppendWithTemplates(out, templ, level + 1, budget);
}

// A node, then its templates and theirs to a depth of 8 nodes, while `out` holds fewer than
// kMaxExpansion nodes.
template <typename Container>
void AppendWithTemplates(Container& out, ResData* node, int level) {
  size_t budget = out.size() < kMaxExpansion ? kMaxExpansion - out.size() : 0;
  AppendWithTemplates(out, node, level, &budget);
}

// AppendWithTemplates for every node of `found`, in order.
template <typename Container>
void AppendAllWithTemplates(Container& out, const NodeBuffer& found) {
  for (ResData* child : found) {
    if (ResSearch::HasTemplates(child)) {
      AppendWithTemplates(out, child, 1);
    } else if (out.size() < kMaxExpansion) {
      out.push_back(child);
    }
  }
}

template <typename Container>
void AppendWild(Container& wild, ResData* node) {
  if (wild.size() < kMaxExpansion) wild.push_back(node);
}

// True when a "?" child may stand for `name`. Asked only when a map holds a "?" child.
bool WildcardMatches(unsigned int name) {
  const char* text = Atom::DeAtomize(name);
  return text != nullptr && text[0] != '!';
}

}  // namespace

template <typename Found>
inline void ResSearch::Collect(const Children& map, unsigned int name, Found& found,
                               unsigned int query) {
  ResData* child = ResChildOps::Find(map, name);
  if (child != nullptr) {
    __builtin_prefetch(child);
    found.push_back(child);
  }
  if (__builtin_expect(map.query, 0)) {
    ResData* any = ResChildOps::Find(map, query);
    if (any != nullptr && WildcardMatches(name)) {
      __builtin_prefetch(any);
      found.push_back(any);
    }
  }
}

template <typename Container>
void ResSearch::FindIn(const ResData* self, bool loose, unsigned int name, Container& out,
                       Container* wild, unsigned int query) {
  NodeBuffer found;
  Collect(loose ? self->loose_ : self->tight_, name, found, query);
  AppendAllWithTemplates(out, found);
  if (wild != nullptr && HasLoose(self)) AppendWild(*wild, const_cast<ResData*>(self));
}

// One name from every current and wild node, in three passes so that the cache misses of a
// pass overlap rather than follow each other: fetch the slots the lookups read, look up
// (fetching the children found), then add the children with their templates in the order
// found.
template <typename Container>
void ResSearch::Step(const Container& current, unsigned int name, const Container& wild,
                     Container& next, Container& next_wild, unsigned int query) {
  for (const ResData* node : current) {
    PrefetchSlot(node, false, name);
    PrefetchSlot(node, true, name);
  }
  for (const ResData* node : wild) PrefetchSlot(node, true, name);

  NodeBuffer found;
  for (ResData* node : current) {
    Collect(node->tight_, name, found, query);
    if (HasLoose(node)) {
      Collect(node->loose_, name, found, query);
      AppendWild(next_wild, node);
    }
  }
  for (ResData* node : wild) {
    Collect(node->loose_, name, found, query);
    AppendWild(next_wild, node);
  }
  AppendAllWithTemplates(next, found);
}

int SearchPath(NodeBuffer& current, NodeBuffer& spare_current, NodeBuffer& wild,
               NodeBuffer& spare_wild, const unsigned int* names, int count) {
  unsigned int query = Statics().query;
  NodeBuffer* now[2] = {&current, &spare_current};
  NodeBuffer* now_wild[2] = {&wild, &spare_wild};
  int side = 0;
  for (int i = 0; i < count; ++i) {
    NodeBuffer& next = *now[1 - side];
    NodeBuffer& next_wild = *now_wild[1 - side];
    next.clear();
    next_wild.clear();
    ResSearch::Step(*now[side], names[i], *now_wild[side], next, next_wild, query);
    side = 1 - side;
  }
  return side;
}

ResData::ResData() : parent_(nullptr), value_(0), name_(0), is_loose_(false) {}

ResData::ResData(ResData* parent, unsigned int name, unsigned int value, bool loose)
    : parent_(parent), value_(value), name_(name), is_loose_(loose) {}

ResData::~ResData() {
  delete extras_.load(std::memory_order_relaxed);
  auto destroy = [](unsigned int, ResData* child) { delete child; };
  ResChildOps::ForEach(tight_, destroy);
  ResChildOps::ForEach(loose_, destroy);
  ResChildOps::Release(tight_);
  ResChildOps::Release(loose_);
}

RDIterator ResData::begin() const {
  return RDIterator(this, GetTight().begin());
}
RDIterator ResData::end() const {
  return RDIterator(this, GetTight().end());
}

void ResData::PutChild(bool loose, ResData* child) {
  ResData* previous = FindChild(loose, child->GetName());
  if (previous == child) return;
  delete previous;
  PutNewChild(loose, child);
}

void ResData::PutNewChild(bool loose, ResData* child) {
  Children& map = loose ? loose_ : tight_;
  unsigned int name = child->GetName();
  ResChildOps::Put(map, name, child);
  Extras* extras = extras_.load(std::memory_order_relaxed);
  if (extras != nullptr &&
      (loose ? extras->loose_ordered : extras->tight_ordered).load(std::memory_order_relaxed)) {
    (loose ? extras->loose : extras->tight)[name] = child;
  }
  const StaticAtoms& statics = Statics();
  if (name == statics.query) map.query = true;
  if (name == statics.tmpl || child->resolve_below_) MarkResolveBelow();
}

void ResData::MarkResolveBelow() {
  for (ResData* node = this; node != nullptr && !node->resolve_below_; node = node->parent_) {
    node->resolve_below_ = true;
  }
}

ResData* ResData::FindChild(bool loose, unsigned int name) const {
  return ResChildOps::Find(loose ? loose_ : tight_, name);
}

void ResData::AddSubInfo(ResData* node) {
  PutChild(false, node);
}
void ResData::AddSubWeak(ResData* node) {
  PutChild(true, node);
}
void ResData::AddTemplate(ResData* node) {
  MakeExtras().templates.push_back(node);
  has_templates_ = true;
  MarkResolveBelow();
}

void ResData::AddResource(const char* path, const char* value) {
  unsigned int value_atom = Atom::Atomize(value);
  unsigned int atoms[kMaxPathComponents];
  char bindings[kMaxPathComponents];
  int count = SplitPathAtoms(path, true, atoms, bindings);
  DoAddResource(atoms, bindings, count, value_atom);
}

void ResData::DoAddResource(const unsigned int* atoms, const char* bindings, int count,
                            unsigned int value) {
  unsigned int null_value = Statics().null;
  ResData* node = this;
  for (int i = 0; i < count; ++i) {
    bool loose = bindings[i] == '*';
    ResData* child = node->FindChild(loose, atoms[i]);
    if (child == nullptr) {
      child = new ResData(node, atoms[i], null_value, loose);
      node->PutNewChild(loose, child);
    }
    if (i == count - 1) child->value_ = value;
    node = child;
  }
}

void ResData::FindAtomA(unsigned int name, ResDataList& out, ResDataList& wild, ResDataList&) {
  DoFindAtom(GetTight(), name, out, nullptr, false);
  DoFindAtom(GetLoose(), name, out, &wild, true);
}

void ResData::DoFindAtom(const ResDataMap& map, unsigned int name, ResDataList& out,
                         ResDataList* wild, bool) {
  unsigned int query = Statics().query;
  const Extras* extras = extras_.load(std::memory_order_acquire);
  bool own_loose = extras != nullptr && &map == &extras->loose;
  if ((extras != nullptr && &map == &extras->tight) || own_loose) {
    ResSearch::FindIn(this, own_loose, name, out, wild, query);
    return;
  }
  // A map that is not one of this node's own (GetSub gives copies): searched directly.
  if (!map.empty()) {
    auto found = map.find(name);
    if (found != map.end()) AppendWithTemplates(out, found->second, 1);
    auto any = map.find(query);
    if (any != map.end() && WildcardMatches(name)) AppendWithTemplates(out, any->second, 1);
  }
  if (wild != nullptr && !loose_.empty()) AppendWild(*wild, this);
}

void ResData::DoFindAtomWild(unsigned int name, ResDataList& out, ResDataList& wild) {
  DoFindAtom(GetLoose(), name, out, &wild, true);
}

void ResData::FindAddToList(ResDataList& list, ResData* node) {
  AppendWithTemplates(list, node, 1);
}

ResDataList ResData::FindList(const ResDataList& current, const std::list<unsigned int>& names,
                              ResDataList& wild) {
  unsigned int query = Statics().query;
  ResDataList now = current;
  for (unsigned int name : names) {
    ResDataList next;
    ResDataList next_wild;
    ResSearch::Step(now, name, wild, next, next_wild, query);
    now.swap(next);
    wild.swap(next_wild);
  }
  return now;
}

void ResData::ResolveTemplates(ResData* root) {
  if (Extras* extras = extras_.load(std::memory_order_relaxed)) extras->templates.clear();
  has_templates_ = false;
  if (!tight_.empty() || !loose_.empty()) {
    DoResolveTemplates(root, GetTight());
    DoResolveTemplates(root, GetLoose());
  }
}

void ResData::DoResolveTemplates(ResData* root, const ResDataMap& map) {
  unsigned int tmpl = Statics().tmpl;
  for (const auto& entry : map) {
    ResData* child = entry.second;
    if (child->name_ != tmpl) {
      if (child->resolve_below_) child->ResolveTemplates(root);
      continue;
    }
    const char* text = Atom::DeAtomize(child->value_);
    std::string name = text ? text : "";
    if (name.empty() || name[0] != '!') name.insert(0, 1, '!');
    ResDataList wild;
    ResDataList found = FindList(ResDataList(1, root), Atom::AtomizeVector(name.c_str()), wild);
    ResDataList& templates = MakeExtras().templates;
    // A node listed again would only repeat, in every later search, the nodes its first
    // appearance already added; templates naming each other would otherwise fill every
    // list with thousands of repeats.
    std::unordered_set<const ResData*> listed(templates.begin(), templates.end());
    for (ResData* node : found) {
      if (listed.insert(node).second) templates.push_back(node);
    }
    has_templates_ = !templates.empty();
  }
}

const ResDataMap& ResData::EmptyMap() {
  static const ResDataMap empty;
  return empty;
}

const ResDataList& ResData::EmptyList() {
  static const ResDataList empty;
  return empty;
}

const ResDataMap& ResData::Ordered(bool loose) const {
  const Children& children = loose ? loose_ : tight_;
  if (children.empty()) return EmptyMap();
  static std::mutex mutex;
  Extras* extras = extras_.load(std::memory_order_acquire);
  if (extras == nullptr) {
    std::lock_guard<std::mutex> lock(mutex);
    extras = &MakeExtras();
  }
  std::atomic<bool>& ordered = loose ? extras->loose_ordered : extras->tight_ordered;
  ResDataMap& map = loose ? extras->loose : extras->tight;
  if (!ordered.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!ordered.load(std::memory_order_relaxed)) {
      ResChildOps::ForEach(children,
                           [&map](unsigned int name, ResData* child) { map.emplace(name, child); });
      ordered.store(true, std::memory_order_release);
    }
  }
  return map;
}

// Creating the block is not itself guarded: a tree being built has one thread, and the
// ordered reads of a finished tree create it under their lock.
ResData::Extras& ResData::MakeExtras() const {
  Extras* extras = extras_.load(std::memory_order_acquire);
  if (extras == nullptr) {
    extras = new Extras();
    extras_.store(extras, std::memory_order_release);
  }
  return *extras;
}

unsigned int ResData::GetResNull() {
  return Statics().null;
}
unsigned int ResData::GetAtomTemplate() {
  return Statics().tmpl;
}
unsigned int ResData::GetAtomQuery() {
  return Statics().query;
}

}  // namespace nycl
