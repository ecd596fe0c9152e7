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
#include <vector>

#include "nycl/res/Atom.h"
#include "res/AtomPath.h"
#include "res/ResSearch.h"

namespace nycl {

namespace {

// Nodes added by one chain of templates, the node itself included.
constexpr int kTemplateLevels = 9;

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

template <typename Container>
void AppendWithTemplates(Container& out, ResData* node, int level) {
  if (level >= kTemplateLevels) return;
  out.push_back(node);
  for (ResData* templ : node->GetTemplates()) AppendWithTemplates(out, templ, level + 1);
}

// True when a "?" child may stand for `name`. Asked only when a map holds a "?" child.
bool WildcardMatches(unsigned int name) {
  const char* text = Atom::DeAtomize(name);
  return text != nullptr && text[0] != '!';
}

template <typename Container>
void FindInMap(const ResData* self, const ResDataMap& map, unsigned int name, Container& out,
               Container* wild, unsigned int query) {
  if (!map.empty()) {
    auto found = map.find(name);
    if (found != map.end()) AppendWithTemplates(out, found->second, 1);
    if (query != 0) {
      auto any = map.find(query);
      if (any != map.end() && WildcardMatches(name)) AppendWithTemplates(out, any->second, 1);
    }
  }
  if (wild != nullptr && !self->GetLoose().empty()) wild->push_back(const_cast<ResData*>(self));
}

template <typename Container>
void SearchOne(const Container& current, unsigned int name, const Container& wild, Container& next,
               Container& next_wild, unsigned int query) {
  for (ResData* node : current) {
    FindInMap(node, node->GetTight(), name, next, static_cast<Container*>(nullptr), query);
    FindInMap(node, node->GetLoose(), name, next, &next_wild, query);
  }
  for (ResData* node : wild) {
    FindInMap(node, node->GetLoose(), name, next, static_cast<Container*>(nullptr), query);
    next_wild.push_back(node);
  }
}

}  // namespace

void SearchPath(std::vector<ResData*>& current, const unsigned int* names, int count,
                std::vector<ResData*>& wild, std::vector<ResData*>& next,
                std::vector<ResData*>& next_wild) {
  unsigned int query = Statics().query;
  for (int i = 0; i < count; ++i) {
    next.clear();
    next_wild.clear();
    SearchOne(current, names[i], wild, next, next_wild, query);
    current.swap(next);
    wild.swap(next_wild);
  }
}

ResData::ResData() : parent_(nullptr), value_(0), name_(0), is_loose_(false) {}

ResData::ResData(ResData* parent, unsigned int name, unsigned int value, bool loose)
    : parent_(parent), value_(value), name_(name), is_loose_(loose) {}

ResData::~ResData() {
  for (auto& entry : tight_) delete entry.second;
  for (auto& entry : loose_) delete entry.second;
}

RDIterator ResData::begin() const {
  return RDIterator(this, tight_.begin());
}
RDIterator ResData::end() const {
  return RDIterator(this, tight_.end());
}

namespace {

void PutChild(ResDataMap& map, ResData* node) {
  auto result = map.emplace(node->GetName(), node);
  if (!result.second) {
    if (result.first->second == node) return;
    delete result.first->second;
    result.first->second = node;
  }
}

}  // namespace

void ResData::AddSubInfo(ResData* node) {
  PutChild(tight_, node);
}
void ResData::AddSubWeak(ResData* node) {
  PutChild(loose_, node);
}
void ResData::AddTemplate(ResData* node) {
  templates_.push_back(node);
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
    ResDataMap& map = loose ? node->loose_ : node->tight_;
    auto found = map.find(atoms[i]);
    ResData* child;
    if (found != map.end()) {
      child = found->second;
    } else {
      child = new ResData(node, atoms[i], null_value, loose);
      map.emplace(atoms[i], child);
    }
    if (i == count - 1) child->value_ = value;
    node = child;
  }
}

void ResData::FindAtomA(unsigned int name, ResDataList& out, ResDataList& wild, ResDataList&) {
  DoFindAtom(tight_, name, out, nullptr, false);
  DoFindAtom(loose_, name, out, &wild, true);
}

void ResData::DoFindAtom(const ResDataMap& map, unsigned int name, ResDataList& out,
                         ResDataList* wild, bool) {
  FindInMap(this, map, name, out, wild, Statics().query);
}

void ResData::DoFindAtomWild(unsigned int name, ResDataList& out, ResDataList& wild) {
  DoFindAtom(loose_, name, out, &wild, true);
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
    SearchOne(now, name, wild, next, next_wild, query);
    now.swap(next);
    wild.swap(next_wild);
  }
  return now;
}

void ResData::ResolveTemplates(ResData* root) {
  templates_.clear();
  DoResolveTemplates(root, tight_);
  DoResolveTemplates(root, loose_);
}

void ResData::DoResolveTemplates(ResData* root, const ResDataMap& map) {
  unsigned int tmpl = Statics().tmpl;
  for (const auto& entry : map) {
    ResData* child = entry.second;
    if (child->name_ != tmpl) {
      child->ResolveTemplates(root);
      continue;
    }
    const char* text = Atom::DeAtomize(child->value_);
    std::string name = text ? text : "";
    if (name.empty() || name[0] != '!') name.insert(0, 1, '!');
    ResDataList wild;
    ResDataList found = FindList(ResDataList(1, root), Atom::AtomizeVector(name.c_str()), wild);
    templates_.splice(templates_.end(), found);
  }
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
