// Temporary directory trees and small file verbs for the cache tests.
#ifndef NYCL_TESTS_CACHE_CACHETESTSUPPORT_H
#define NYCL_TESTS_CACHE_CACHETESTSUPPORT_H

#include <string>
#include <vector>

namespace nycl {
namespace testing_cache {

// A fresh directory under the system temporary directory, removed with everything in it
// when the object dies.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Sets an environment variable for the lifetime of the object and restores the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_value_;
  std::string old_value_;
};

bool IsDir(const std::string& path);
bool Exists(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
// Every entry below `root`, relative to it, sorted; directories end with "/".
std::vector<std::string> ListTree(const std::string& root);

}  // namespace testing_cache
}  // namespace nycl

#endif  // NYCL_TESTS_CACHE_CACHETESTSUPPORT_H
