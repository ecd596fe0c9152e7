// NyCommandTypes: one entry of the command registry, a keyword with its prototype command.
//
// The registry is a process-wide singly linked list of entries, filled once before the first
// lookup and read-only afterwards; entries live until the process ends. Walked from First(), the
// library's entries come in the reverse of the protocol's registration order ("nyinetif_full:"
// first, "fgl_Blob" last), followed by any entries the host linked before the first lookup; an
// entry linked later stands in front. NyCommand::Create
// clones the prototype of the entry whose keyword equals a line's first token.
//
// Lookups take constant time: they go through an index of the list, which is rebuilt at the
// first lookup after an entry was linked or unlinked.
//
// Threads: the registry fills itself exactly once, safely from any thread; lookups only read
// and may run on several threads at once. Linking or unlinking an entry after the first lookup
// must not overlap with lookups on other threads.
#ifndef NYCL_COMMAND_NYCOMMANDTYPES_H
#define NYCL_COMMAND_NYCOMMANDTYPES_H

namespace nycl {

class NyCommand;

class NyCommandTypes {
 public:
  // Links a new entry at the head of the registry. Takes ownership of `prototype`;
  // `keyword` must have static lifetime and, like `next`, is not changed while the entry is
  // linked.
  NyCommandTypes(NyCommand* prototype, const char* keyword);
  NyCommandTypes(const NyCommandTypes&) = delete;
  NyCommandTypes& operator=(const NyCommandTypes&) = delete;
  // Unlinks the entry and deletes the prototype.
  ~NyCommandTypes();

  // The entry whose keyword equals `keyword` byte for byte, or null.
  static NyCommandTypes* Find(const char* keyword);
  // The head of the registry, to walk it with `next`.
  static NyCommandTypes* First();

  NyCommand* prototype;
  const char* keyword;
  NyCommandTypes* next;
};

}  // namespace nycl

#endif  // NYCL_COMMAND_NYCOMMANDTYPES_H
