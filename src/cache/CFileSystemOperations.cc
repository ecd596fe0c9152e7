#include "nycl/cache/CFileSystemOperations.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace nycl {

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// Index of the last separator in `path`, or npos.
std::string::size_type LastSeparator(const std::string& path) {
  return path.find_last_of("/\\");
}

// The path as the operating system understands it.
std::string NativePath(const char* path) {
  std::string native = path != nullptr ? path : "";
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

bool Exists(const std::string& native) {
  struct stat info;
  return !native.empty() && ::stat(native.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& native) {
  struct stat info;
  return !native.empty() && ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string& native) {
  return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

}  // namespace

int CFileSystemOperations::GetFullDirectoryPath(const char* path, char* out, int size) {
  if (path == nullptr || out == nullptr) return 0;
  const std::string copy = path;
  const std::string::size_type cut = LastSeparator(copy);
  if (cut == std::string::npos) return 0;
  const std::size_t count = std::min<std::size_t>(cut, static_cast<std::size_t>(std::max(size, 0)));
  std::memcpy(out, copy.data(), count);
  out[count] = '\0';
  return 1;
}

int CFileSystemOperations::file_exists(const char* path) {
  return Exists(NativePath(path)) ? 1 : 0;
}

char* CFileSystemOperations::dirname(const char* path) {
  std::string copy = path != nullptr ? path : "";
  std::string result;
  if (!copy.empty()) {
    while (!copy.empty() && IsSeparator(copy.back())) copy.pop_back();
    if (copy.empty()) {
      // Only separators: a single separator, which names the root once made native.
      result = "\\";
    } else {
      const std::string::size_type cut = LastSeparator(copy);
      result = cut == std::string::npos ? std::string(".") : copy.substr(0, cut + 1);
    }
  }
  char* allocated = static_cast<char*>(std::malloc(result.size() + 1));
  if (allocated == nullptr) return nullptr;
  std::memcpy(allocated, result.c_str(), result.size() + 1);
  return allocated;
}

int CFileSystemOperations::mkdir(const char* path) {
  const std::string native = NativePath(path);
  if (native.empty()) return 0;
  char* parent = dirname(native.c_str());
  if (parent == nullptr) return 0;
  const std::string parent_path = parent;
  std::free(parent);
  // dirname keeps the separator, so "a/" is the parent of "a/b"; a parent that does not
  // shorten the path is a root that cannot be created.
  if (!Exists(NativePath(parent_path.c_str()))) {
    if (parent_path.size() >= native.size() || mkdir(parent_path.c_str()) == 0) return 0;
  }
  return MakeDirectory(native) ? 1 : 0;
}

int CFileSystemOperations::CreateDirectoryPaths(const char* path) {
  std::string walk = path != nullptr ? path : "";
  if (walk.empty() || IsDirectory(NativePath(walk.c_str()))) return 1;

  // Cut components off the end until the remaining prefix is an existing directory. The
  // components are remembered nearest-to-the-end first.
  std::vector<std::string> missing;
  std::string ancestor;
  bool found = false;
  for (;;) {
    const std::string::size_type cut = LastSeparator(walk);
    if (cut == std::string::npos) {
      // No ancestor named in the path exists: the first component is missing too and is
      // created in the working directory.
      missing.push_back(walk);
      found = true;
      break;
    }
    if (cut + 1 == walk.size()) break;  // trailing separator: nothing behind the cut
    missing.push_back(walk.substr(cut + 1));
    walk.erase(cut);
    if (walk.empty()) {
      ancestor = "/";  // the path was absolute and only the root exists
      found = true;
      break;
    }
    if (IsDirectory(NativePath(walk.c_str()))) {
      ancestor = NativePath(walk.c_str()) + "/";
      found = true;
      break;
    }
  }
  if (!found) return 1;

  std::string current = ancestor;
  for (auto component = missing.rbegin(); component != missing.rend(); ++component) {
    current += *component;
    // A component that cannot be created (or already exists) is passed over; the ones
    // below it then fail as well.
    MakeDirectory(current);
    current += "/";
  }
  return 1;
}

}  // namespace nycl
