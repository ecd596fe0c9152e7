// Where a virtual operation sits in its class's virtual table, for tests of the host-facing
// layouts that hosts call by position.
#ifndef NYCL_TESTS_SUPPORT_VTABLEENTRY_H
#define NYCL_TESTS_SUPPORT_VTABLEENTRY_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace nycl::test {

// Whether VtableEntry can read member pointers on this platform (the x86 C++ ABI).
#if defined(__x86_64__) || defined(__i386__)
constexpr bool kVtableLayoutKnown = true;
#else
constexpr bool kVtableLayoutKnown = false;
#endif

// The vtable entry a pointer to a virtual member designates: under the x86 C++ ABI such a
// pointer holds 1 + the entry's byte offset. -1 for anything else. A destructor fills two
// entries (complete and deleting).
template <class MemberFunction>
long VtableEntry(MemberFunction function) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adjust;
  } raw;
  static_assert(sizeof(function) == sizeof(raw), "unexpected member pointer size");
  memcpy(&raw, &function, sizeof(raw));
  if ((raw.ptr & 1) == 0) return -1;
  return static_cast<long>((raw.ptr - 1) / sizeof(void*));
}

}  // namespace nycl::test

#endif  // NYCL_TESTS_SUPPORT_VTABLEENTRY_H
