// Atom: the process-wide table of interned resource names.
#ifndef NYCL_RES_ATOM_H
#define NYCL_RES_ATOM_H

#include <cstdio>
#include <list>

namespace nycl {

// Every distinct resource name is interned once and handled as a 32-bit atom. Interning
// ignores letter case (ASCII folding): names that differ only in case give the same atom, and
// the table keeps the text of the first one interned.
//
// An atom is ((index + 1) << 8) | bin: bits 0 to 7 hold one of 256 bins (the upper-cased byte
// sum of the name), bits 8 to 31 the 1-based position of the name in its bin. Atom 0 is the
// null atom and stands for no name. The empty name is a name of bin 0 with an atom of its own.
// Names are never removed one by one: an atom and the text DeAtomize returns for it stay valid
// until Destroy.
//
// An atomized string is two parallel heap arrays: the atoms of the path's components followed
// by a 0 atom, and one binding per component ("." or "*", the separator standing before the
// component, or 0 when there is none) followed by a NUL.
//
// Threads: every operation may be called from any thread. Finding a name already interned and
// DeAtomize take no lock; interning a new name takes the table's lock. Destroy must not run
// while another thread still uses atoms, nor ShiftBin while one uses atoms of that bin. A
// static Atom object destroys the table at the end of the process.
class Atom {
 public:
  ~Atom();

  // The atom of the first `length` bytes of `name` (up to an earlier NUL), interning them if
  // they are new. A null name gives 0; a negative length takes the name up to its NUL.
  static unsigned int Atomize(const char* name, int length);
  static unsigned int Atomize(const char* name);
  // The interned text of `atom`, owned by the table; null for atom 0 and, in builds without
  // assertions, for a value the table did not make (an assertion failure otherwise).
  static const char* DeAtomize(unsigned int atom);

  // Splits `path` at "." and "*" into at most 256 components and returns their number. Both
  // arrays are allocated with malloc; release them with FreeAtomizedString. A leading
  // separator is the first component's binding; a trailing one adds no component; two in a
  // row enclose an empty component.
  static int AtomizeString(const char* path, unsigned int** atoms, char** bindings);
  // Frees both arrays and sets both pointers to null.
  static void FreeAtomizedString(unsigned int** atoms, char** bindings);
  // The component atoms of `path`, in order, split as AtomizeString does (bindings dropped).
  static std::list<unsigned int> AtomizeVector(const char* path);

  // Prints `indent` spaces, then "<b> NAME " per component with its binding (a space for
  // none), or ". NAME " per component when `bindings` is null. No line feed.
  static void Display(FILE* stream, int indent, const unsigned int* atoms, const char* bindings);

  // True when the atom's text is "TRUE" or "YES" in any case, or a number atoi reads as
  // non-zero; false for atom 0.
  static bool IsTrueFalse(unsigned int atom);

  // Frees every name and bin; all atoms become invalid.
  static void Destroy();

  // The bin of a name: the sum of its upper-cased bytes modulo 256 (0 for an empty name).
  static int EvalBin(const char* name, int length);
  // Grows the bin by 256 slots. Exits the process with status 1 when memory runs out.
  static void ResizeBin(int bin);
  // Takes the next free slot of the bin (growing it when full) and returns its index. The
  // slot holds no name (it matches nothing) until the table fills it.
  static int AddBin(int bin);
  // Opens an empty slot at `index` by moving the entries from `index` on up by one; the atoms
  // of the moved names change accordingly, so no other thread may hold atoms of that bin.
  static void ShiftBin(int bin, int index);

  // Upper-cases the interned text of `atom` in place (the atom stays the same). A thread
  // reading that text at the same time may see either case.
  static void ToUpperInPlace(unsigned int atom);

  // Interning for a path that is to be upper-cased first: the atom of the upper-cased text,
  // found without copying. Used by the resource classes.
  static unsigned int AtomizeUpper(const char* name, int length);

  // A hint that `name` (length bytes) is about to be interned: starts fetching its place in
  // the table. Has no other effect.
  static void Prefetch(const char* name, int length);

  // Counts Destroy calls, so holders of cached atoms can tell that theirs went stale.
  static unsigned int Generation();
};

}  // namespace nycl

#endif  // NYCL_RES_ATOM_H
