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
const StaticAtoms& Statics() {
  static std::mutex mutex;
  static std::atomic<unsigned int> ready{0};
  static StaticAtoms atoms;
  unsigned int generation = Atom::Generation() + 1;
  if (ready.load(std::memory_order_acquire) != generation) {
    std::lock_guard<std::mutex> lock(mutex);
    if (ready.load(std::memory_order_relaxed) != generation) {
      atoms.tmpl = Atom::Atomize("TEMPLATE");
      atoms.query = Atom::Atomize("?");
      atoms.null = Atom::Atomize("\x07-null");
      ready.store(generation, std::memory_order_release);
    }
  }
  return atoms;
}

}  // namespace

// The lookup of one name, with access to the nodes' lookup aids.
struct ResSearch {
  static bool HasTemplates(const ResData* node) { return node->has_templates_; }

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

template <typename Container>
void ResSearch::FindIn(const ResData* self, bool loose, unsigned int name, Container& out,
                       Container* wild, unsigned int query) {
  if (loose && !self->has_loose_) return;
  const ResData::Extras* extras = loose ? self->extras_.get() : nullptr;
  const ResChildIndex* index = loose ? extras->loose_index : self->tight_index_;
  if (index != nullptr) {
    ResData* found =
        loose ? index->Find(name) : ResChildIndex::Find(index, self->tight_bits_, name);
    if (found != nullptr) AppendWithTemplates(out, found, 1);
    if (loose ? extras->loose_query : self->tight_query_) {
      ResData* any = index->Find(query);
      if (any != nullptr && WildcardMatches(name)) AppendWithTemplates(out, any, 1);
    }
  }
  if (wild != nullptr && self->has_loose_) AppendWild(*wild, const_cast<ResData*>(self));
}

template <typename Container>
void ResSearch::Step(const Container& current, unsigned int name, const Container& wild,
                     Container& next, Container& next_wild, unsigned int query) {
  for (ResData* node : current) {
    FindIn(node, false, name, next, static_cast<Container*>(nullptr), query);
    FindIn(node, true, name, next, &next_wild, query);
  }
  for (ResData* node : wild) {
    FindIn(node, true, name, next, static_cast<Container*>(nullptr), query);
    AppendWild(next_wild, node);
  }
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
  auto destroy = [](unsigned int, ResData* child) { delete child; };
  if (tight_index_ != nullptr) tight_index_->ForEach(destroy);
  if (extras_ && extras_->loose_index != nullptr) extras_->loose_index->ForEach(destroy);
  ResChildIndex::Release(tight_index_);
  if (extras_) ResChildIndex::Release(extras_->loose_index);
}

RDIterator ResData::begin() const {
  return RDIterator(this, GetTight().begin());
}
RDIterator ResData::end() const {
  return RDIterator(this, GetTight().end());
}

void ResData::PutChild(bool loose, ResData* child) {
  Extras& extras = MakeExtras();
  ResChildIndex*& index = loose ? extras.loose_index : tight_index_;
  unsigned int name = child->GetName();
  ResData* previous = FindChild(loose, name);
  if (previous == child) return;
  delete previous;
  index = ResChildIndex::Put(index, name, child);
  if (!loose) tight_bits_ = static_cast<unsigned char>(index->Bits());
  if (loose) has_loose_ = true;
  if ((loose ? extras.loose_ordered : extras.tight_ordered).load(std::memory_order_relaxed)) {
    (loose ? extras.loose : extras.tight)[name] = child;
  }
  const StaticAtoms& statics = Statics();
  if (name == statics.query) (loose ? extras.loose_query : tight_query_) = true;
  if (name == statics.tmpl || child->resolve_below_) MarkResolveBelow();
}

void ResData::MarkResolveBelow() {
  for (ResData* node = this; node != nullptr && !node->resolve_below_; node = node->parent_) {
    node->resolve_below_ = true;
  }
}

ResData* ResData::FindChild(bool loose, unsigned int name) const {
  const ResChildIndex* index = loose ? (extras_ ? extras_->loose_index : nullptr) : tight_index_;
  return index != nullptr ? index->Find(name) : nullptr;
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
      node->PutChild(loose, child);
    }
    if (i == count - 1) child->value_ = value;
    node = child;
  }
}

void ResData::FindAtomA(unsigned int name, ResDataList& out, ResDataList& wild, ResDataList&) {
  DoFindAtom(extras_ ? extras_->tight : EmptyMap(), name, out, nullptr, false);
  DoFindAtom(extras_ ? extras_->loose : EmptyMap(), name, out, &wild, true);
}

void ResData::DoFindAtom(const ResDataMap& map, unsigned int name, ResDataList& out,
                         ResDataList* wild, bool) {
  unsigned int query = Statics().query;
  bool own_loose = extras_ && &map == &extras_->loose;
  if ((extras_ && &map == &extras_->tight) || own_loose) {
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
  if (wild != nullptr && extras_ && extras_->loose_index != nullptr) AppendWild(*wild, this);
}

void ResData::DoFindAtomWild(unsigned int name, ResDataList& out, ResDataList& wild) {
  DoFindAtom(extras_ ? extras_->loose : EmptyMap(), name, out, &wild, true);
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
  if (extras_) extras_->templates.clear();
  has_templates_ = false;
  if (extras_) {
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
  if (!extras_) return EmptyMap();
  std::atomic<bool>& ordered = loose ? extras_->loose_ordered : extras_->tight_ordered;
  ResDataMap& map = loose ? extras_->loose : extras_->tight;
  if (!ordered.load(std::memory_order_acquire)) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    if (!ordered.load(std::memory_order_relaxed)) {
      const ResChildIndex* index = loose ? extras_->loose_index : tight_index_;
      if (index != nullptr) {
        index->ForEach([&map](unsigned int name, ResData* child) { map.emplace(name, child); });
      }
      ordered.store(true, std::memory_order_release);
    }
  }
  return map;
}

ResData::Extras& ResData::MakeExtras() {
  if (!extras_) extras_.reset(new Extras());
  return *extras_;
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
