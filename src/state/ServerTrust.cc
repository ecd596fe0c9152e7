// Which local paths the server may store to or read from.
#include "nycl/state/ServerTrust.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <utility>

namespace nycl {

namespace {

// `path` made absolute against the working directory; empty when that cannot be done.
std::string Absolute(const char* path) {
  if (path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return std::string();
  std::string absolute = cwd;
  if (absolute.back() != '/') absolute += '/';
  return absolute + path;
}

// The physical path of an existing file or directory, or empty.
std::string Resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&free)> real(::realpath(path.c_str(), nullptr), &free);
  return real != nullptr ? std::string(real.get()) : std::string();
}

// Where `path` leads once the symbolic links and ".." of its existing part are followed. A
// part that does not exist yet (a store may create directories) must be plain names: "." or
// ".." there could not be judged before the directories exist, so such a path gives empty.
std::string ResolvedForCreation(const char* path) {
  std::string absolute = Absolute(path);
  if (absolute.empty()) return absolute;
  std::string existing = absolute;
  std::string missing;
  for (;;) {
    std::string resolved = Resolved(existing);
    if (!resolved.empty()) {
      if (missing.empty()) return resolved;
      return (resolved == "/" ? std::string() : resolved) + missing;
    }
    // Present but not resolvable (a dangling or looping link): where a file created through
    // it would end up cannot be judged by name.
    struct stat entry;
    if (::lstat(existing.c_str(), &entry) == 0) return std::string();
    size_t slash = existing.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    std::string name = existing.substr(slash + 1);
    if (name == "." || name == "..") return std::string();
    if (!name.empty()) missing = "/" + name + missing;
    existing = slash == 0 ? "/" : existing.substr(0, slash);
  }
}

bool Inside(const std::string& resolved, const std::vector<std::string>& directories) {
  if (resolved.empty()) return false;
  for (const std::string& directory : directories) {
    std::string root = Resolved(directory);
    if (root.empty()) continue;
    if (root == "/") return true;
    if (resolved == root) return true;
    if (resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
        resolved[root.size()] == '/') {
      return true;
    }
  }
  return false;
}

}  // namespace

void ServerTrust::ConfineStores(std::vector<std::string> directories) {
  stores_confined_ = true;
  store_dirs_ = std::move(directories);
}

void ServerTrust::ConfineUploads(std::vector<std::string> directories) {
  uploads_confined_ = true;
  upload_dirs_ = std::move(directories);
}

void ServerTrust::TrustFully() {
  *this = ServerTrust();
}

bool ServerTrust::MayStore(const char* path) const {
  if (!stores_confined_) return true;
  if (path == nullptr || path[0] == '\0') return false;
  return Inside(ResolvedForCreation(path), store_dirs_);
}

bool ServerTrust::MayUpload(const char* path) const {
  if (!uploads_confined_) return true;
  if (path == nullptr || path[0] == '\0') return false;
  std::string absolute = Absolute(path);
  return !absolute.empty() && Inside(Resolved(absolute), upload_dirs_);
}

}  // namespace nycl
