// The directory whose files nycl-server sends to clients.
#ifndef NYCL_SERVER_SERVEDFILES_H
#define NYCL_SERVER_SERVEDFILES_H

#include <cstddef>
#include <string>

namespace nycl_server {

// Reads the whole regular file at `path` into *bytes. False with *why on failure, and for files
// larger than kMaxFileSize.
constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* why);

// Looks names that clients ask for up in one directory and never beyond it. Immutable after
// construction, so sessions on several threads may share one.
class ServedFiles {
 public:
  // `root` must be an absolute path without symbolic links (as realpath gives it).
  explicit ServedFiles(std::string root) : root_(std::move(root)) {}

  // The file `name` names below the root. Refused: an empty or absolute name, a ".." component,
  // and a name that resolves (through links) outside the root. False with *why then, or when
  // the file is missing or unreadable.
  bool Read(const std::string& name, std::string* bytes, std::string* why) const;

  // `path` made absolute against the root when it is relative. For files the script names
  // itself, which may lie anywhere.
  std::string Resolve(const std::string& path) const;

  // The version tag offered with a file: a positive decimal number that changes with the
  // contents (CRC-32 of the bytes, top bit cleared), so unchanged files hit the client's cache.
  static long long Tag(const std::string& bytes);

  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace nycl_server

#endif  // NYCL_SERVER_SERVEDFILES_H
