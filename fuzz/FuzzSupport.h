// What the fuzz targets share: the scratch directory they work in, small file helpers, a
// reader that takes an input apart, and the check that turns a broken property into a crash.
//
// Every target keeps its files inside its scratch directory and names them relative to it
// (it is the working directory), so an input means the same wherever the directory lies.
#ifndef NYCL_FUZZ_FUZZSUPPORT_H
#define NYCL_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nycl-server/Text.h"

namespace nycl::fuzz {

// Makes a fresh directory named after `target` under $NYCL_FUZZ_SCRATCH, else /dev/shm,
// else $TMPDIR, else /tmp, makes it the working directory of the process and removes it when
// the process exits normally. Returns its absolute path. Call once, from
// LLVMFuzzerInitialize.
const std::string& EnterScratchDirectory(const char* target);

// Removes `path` and everything below it, following no link; a missing path is fine.
void RemoveTree(const std::string& path);
// Makes `path` an empty directory.
void ResetDirectory(const std::string& path);
// Writes `contents` to `path`, replacing the file; false when it cannot.
bool WriteFile(const std::string& path, const std::string& contents);
// The contents of `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// The pieces of the input between `separator` bytes (one piece for an input without one).
std::vector<std::string> Split(const uint8_t* data, size_t size, char separator);

// Reads an input from the front. Past its end every read gives 0 or an empty piece.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Two bytes, low first.
  unsigned Short() { return Byte() | unsigned{Byte()} << 8; }
  // A piece of up to `limit` bytes, its length given by the next byte (or two bytes when
  // `limit` exceeds 255).
  std::string Piece(size_t limit);
  // Everything not read yet.
  std::string Rest();

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// `text` cut into pieces, all of it in order: one piece when `pattern` is 0, else pieces of
// `unit` times 1 to `pattern` bytes, their sizes pseudo-random, seeded by `pattern`. None is
// empty.
std::vector<std::string> Pieces(const std::string& text, uint8_t pattern, size_t unit = 1);

// `text` in double quotes with its unprintable bytes escaped, as nycl-server shows received
// bytes, cut after 4096 bytes: for reports.
inline std::string Printable(const std::string& text) {
  return nycl_server::Printable(text, 4096);
}

// Ends the run with a report when a property of the code under test does not hold; libFuzzer
// records the input as a crash, the regression replay fails.
[[noreturn]] void Fail(const char* file, int line, const char* what);

}  // namespace nycl::fuzz

#define FUZZ_CHECK(condition)                                             \
  do {                                                                    \
    if (!(condition)) ::nycl::fuzz::Fail(__FILE__, __LINE__, #condition); \
  } while (false)

#endif  // NYCL_FUZZ_FUZZSUPPORT_H
