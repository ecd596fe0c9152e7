// NyCommand: one protocol line turned into a command object.
//
// The host hands each line it receives to NyCommand::Create and, when a command comes back,
// calls its Execute once. Execute ends by deleting the command on every path; the caller must
// not touch the command afterwards. A command the host decides not to execute is deleted
// through its virtual destructor.
//
// A command owns its argument vector: C-heap strings, keyword first, terminated by a null entry
// at index argc. Create makes the vector and its strings one allocation; a vector handed to the
// protected constructor (or to Clone) by other code is taken as a malloc'd vector of malloc'd
// strings, each freed on its own. Either way an argument may be changed in place, within its
// length. It borrows the holder and the data state. While the command lives it holds an
// exit lock on its data state (taken in Create, released by the destructor, both only while the
// data state is not marked deleted), so a DeleteMe of the data state waits for it.
//
// The virtual operations are declared in their slot order, which hosts depend on.
//
// Threads: created, executed and destroyed on the host's command thread, never on the event-loop
// thread (some commands wait for work done there).
#ifndef NYCL_COMMAND_NYCOMMAND_H
#define NYCL_COMMAND_NYCOMMAND_H

namespace nycl {

class NyDataState;
class NyDataStateHolder;

class NyCommand {
 public:
  NyCommand(const NyCommand&) = delete;
  NyCommand& operator=(const NyCommand&) = delete;

  // Frees the arguments and releases the exit lock.
  virtual ~NyCommand();  // slot 0
  // Runs the command and deletes it. True only for "fgl_ident" and "fgl_Wait".
  virtual bool Execute() = 0;  // 1
  // The argument at `index` (0 is the keyword), or a shared read-only empty text when `index`
  // is outside 0..argc-1. Valid while the command lives.
  virtual char* GetArg(int index);  // 2
  // The data state bound at creation, unchecked: it may be null or marked deleted.
  virtual NyDataState* GetSafeDataState();  // 3
  // A new command of the same class that takes ownership of `argv` (nothing is copied).
  virtual NyCommand* Clone(int argc, char** argv) = 0;  // 4

  // Tokenises `line`, looks its keyword up (exact, case-sensitive) and creates the command bound
  // to the holder's top data state. Null when the line holds no token or the keyword is
  // unknown. `holder` must not be null and must outlive the command. Ends the process with
  // status 1 when memory runs out while tokenising.
  static NyCommand* Create(const char* line, NyDataStateHolder* holder);

 protected:
  // A registry prototype: no arguments, no data state.
  NyCommand();
  // Takes ownership of `argv` (a malloc'd vector of malloc'd strings); the data state is null
  // until Create binds it.
  NyCommand(int argc, char** argv);

  // Splits `line` into C-heap tokens (see ArgVector.cc for the quoting rules). `*argv` always
  // ends with a null entry, also for an empty line.
  static void BuildArgList(const char* line, int* argc, char*** argv);
  // Copies `len` raw bytes to `dst` (which holds len + 1 bytes) resolving backslash escapes.
  static void DeQuote(char* dst, const char* src, int len);

  // Whether argument `index` is on the line.
  bool HasArg(int index) const { return index >= 0 && index < argc; }
  // Argument `index` read as a decimal number like the C library's conversion; 0 when absent
  // or without digits. Values beyond the range of int are clamped.
  int IntArg(int index) const;

  char** argv;
  int argc;

 private:
  // Set by Create: argv and its strings are one allocation, freed as a whole. It sits in the
  // padding after argc, so the fields keep their places and the object its size.
  bool argsInOneBlock = false;

 protected:
  NyDataStateHolder* holder;  // borrowed
  NyDataState* dataState;     // borrowed, may be null
};

}  // namespace nycl

#endif  // NYCL_COMMAND_NYCOMMAND_H
