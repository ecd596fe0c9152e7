// Temporary trees, environment overrides and whole-file verbs for tests. Header-only, so that
// test programs built without the library (nycl-server's) can use it too.
#ifndef NYCL_TESTS_SUPPORT_TEMPFILES_H
#define NYCL_TESTS_SUPPORT_TEMPFILES_H

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace nycl {
namespace test_files {

namespace fs = std::filesystem;

// A fresh directory under the system temporary directory, removed with its contents.
class TempTree {
 public:
  TempTree() {
    std::string pattern = (fs::temp_directory_path() / "nycl_test_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempTree() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Sets (or, given null, removes) an environment variable until the object dies.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

inline bool IsDir(const std::string& path) {
  return fs::is_directory(path);
}
inline bool Exists(const std::string& path) {
  return fs::exists(fs::symlink_status(path));
}
inline void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}
// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ostringstream contents;
  contents << std::ifstream(path, std::ios::binary).rdbuf();
  return contents.str();
}

// Every entry below `root`, relative and sorted; directories end with "/".
inline std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    entries.push_back(fs::relative(entry.path(), root).string() +
                      (entry.is_directory() ? "/" : ""));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace test_files
}  // namespace nycl

#endif  // NYCL_TESTS_SUPPORT_TEMPFILES_H
