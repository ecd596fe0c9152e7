// Path splitting shared by the resource classes (not part of the public interface).
#ifndef NYCL_SRC_RES_ATOMPATH_H
#define NYCL_SRC_RES_ATOMPATH_H

#include <atomic>
#include <cstddef>

namespace nycl {

constexpr int kMaxPathComponents = 256;

// Splits `path` as Atom::AtomizeString does into `atoms` and, when not null, `bindings`
// (each with room for kMaxPathComponents entries; no terminators are written) and returns
// the number of components. With `upper`, each component is interned as its upper-cased
// text, exactly as if the path had been upper-cased first. A null path has no components.
int SplitPathAtoms(const char* path, bool upper, unsigned int* atoms, char* bindings);

// Makes room in the atom table's index for `names` more names, so that interning them grows it
// once at most instead of doubling it step by step. A hint: it changes no atom.
void ReserveAtoms(size_t names);

// Counts Destroy calls, as Atom::Generation does, for callers that ask on every lookup.
extern std::atomic<unsigned int> g_atom_generation;

}  // namespace nycl

#endif  // NYCL_SRC_RES_ATOMPATH_H
