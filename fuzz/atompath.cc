// Resource paths split into atoms, against a byte-by-byte reading of the path rules. Input:
// paths separated by NUL bytes, split in order (names met earlier are found in the table and
// in the thread's cache of recent names). Each path is copied into a buffer of exactly its
// size, so the sanitizer sees any read past its NUL.
//
// Checked for every path: AtomizeString gives one component per name the reference finds,
// with its binding, and for each the atom the name interns to alone, whose text is the name
// up to letter case; both arrays end with their terminator; AtomizeVector gives the same
// atoms. The splitter looks for separators and hashes names eight bytes at a time and keeps
// names of up to 16 bytes in its cache: names on either side of those lengths count.
#include <cstdint>
#include <cstdio>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/res/Atom.h"

namespace {

using nycl::Atom;

constexpr size_t kMostComponents = 256;

struct Component {
  char binding;  // '.', '*' or 0
  std::string name;
};

// The path rules read one byte at a time: a leading separator binds the first name, each
// later separator the name after it; a trailing separator adds nothing, two in a row hold an
// empty name; no more than kMostComponents names count. `path` holds no NUL.
std::vector<Component> Reference(const std::string& path) {
  std::vector<Component> components;
  size_t at = 0;
  char binding = 0;
  if (at < path.size() && (path[at] == '.' || path[at] == '*')) binding = path[at++];
  while (at < path.size() && components.size() < kMostComponents) {
    std::string name;
    while (at < path.size() && path[at] != '.' && path[at] != '*') name += path[at++];
    components.push_back({binding, name});
    if (at == path.size()) break;
    binding = path[at++];
  }
  return components;
}

// Components as bindings and atoms.
using AtomList = std::vector<std::pair<char, unsigned int>>;

std::string Upper(const char* text) {
  std::string upper = text != nullptr ? text : "(no name)";
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper;
}

// `split` as "<binding>NAME" per component, a binding of 0 shown as '0'.
std::string Shown(const AtomList& split) {
  std::string shown;
  for (const auto& [binding, atom] : split) {
    shown += " " + std::string(1, binding != 0 ? binding : '0');
    shown += nycl::fuzz::Printable(Upper(Atom::DeAtomize(atom)));
  }
  return shown;
}

void ExpectRules(const std::string& path) {
  std::vector<char> copy(path.c_str(), path.c_str() + path.size() + 1);
  const std::vector<Component> components = Reference(path);
  AtomList expected;
  for (const Component& component : components) {
    const int length = static_cast<int>(component.name.size());
    expected.emplace_back(component.binding, Atom::Atomize(component.name.data(), length));
  }

  unsigned int* atoms = nullptr;
  char* bindings = nullptr;
  const int count = Atom::AtomizeString(copy.data(), &atoms, &bindings);
  AtomList got;
  for (int i = 0; i < count; ++i) got.emplace_back(bindings[i], atoms[i]);
  if (got != expected) {
    std::fprintf(stderr, "AtomizeString of %s\n  gives:%s\n  rules:%s\n",
                 nycl::fuzz::Printable(path).c_str(), Shown(got).c_str(), Shown(expected).c_str());
  }
  FUZZ_CHECK(got == expected);
  FUZZ_CHECK(atoms[count] == 0 && bindings[count] == '\0');
  for (size_t i = 0; i < components.size(); ++i) {
    FUZZ_CHECK(Upper(Atom::DeAtomize(atoms[i])) == Upper(components[i].name.c_str()));
  }
  FUZZ_CHECK(Atom::AtomizeVector(copy.data()) == std::list<unsigned int>(atoms, atoms + count));
  Atom::FreeAtomizedString(&atoms, &bindings);
  FUZZ_CHECK(atoms == nullptr && bindings == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const std::string& path : nycl::fuzz::Split(data, size, '\0')) ExpectRules(path);
  Atom::Destroy();  // names interned by this input, so that memory stays bounded
  return 0;
}
