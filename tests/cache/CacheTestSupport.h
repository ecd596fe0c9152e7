// Temporary trees, environment overrides and file verbs for the cache tests.
#ifndef NYCL_TESTS_CACHE_CACHETESTSUPPORT_H
#define NYCL_TESTS_CACHE_CACHETESTSUPPORT_H

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/cache/CFileSystemOperations.h"

namespace nycl {
namespace testing_cache {

namespace fs = std::filesystem;

// A fresh directory under the system temporary directory, removed with its contents.
class TempTree {
 public:
  TempTree() {
    std::string pattern = (fs::temp_directory_path() / "nycl_cache_test_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempTree() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
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
    const char* old = ::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { had_ ? ::setenv(name_.c_str(), old_.c_str(), 1) : ::unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
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
inline std::string ReadFile(const std::string& path) {
  std::ostringstream contents;
  contents << std::ifstream(path, std::ios::binary).rdbuf();
  return contents.str();
}

// Whether another process could take the lock of the cache in `directory` now.
inline bool CacheLockFree(const std::string& directory) {
  const int fd = ::open((directory + "/__Tamrel_Corvath_File_Cache").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

struct Copy {
  std::string file;
  int tag = 0;
  int version = 0;
};

// The cache table `text` as remote name -> copies; a record seen twice is named in *twice.
inline std::map<std::string, std::vector<Copy>> ParseTable(const std::string& text,
                                                           std::set<std::string>* twice = nullptr) {
  std::map<std::string, std::vector<Copy>> records;
  std::istringstream lines(text);
  std::vector<Copy>* current = nullptr;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("@ \"", 0) == 0) {
      const std::string name = line.substr(3, line.size() - 4);
      if (records.count(name) && twice != nullptr) twice->insert(name);
      current = &records[name];
    } else if (current != nullptr && !line.empty()) {
      const std::string::size_type close = line.find('"', 1);
      Copy copy{line.substr(1, close - 1)};
      std::istringstream(line.substr(close + 1)) >> copy.tag >> copy.version;
      current->push_back(copy);
    }
  }
  return records;
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

// Stores the next copy of `remote` the way the file transfer does, under one hold of the table;
// returns the copy's name. *held receives whether the hold was taken.
inline std::string StoreCopy(CCorvathFileCache* cache, const std::string& remote, int tag,
                             const std::string& contents, int* held = nullptr) {
  char local[501];
  char directory[401];
  const int taken = cache->WaitLockAndSynchronize();
  if (held != nullptr) *held = taken;
  cache->QueryForFilename(remote.c_str(), local, 500);
  if (CFileSystemOperations::GetFullDirectoryPath(local, directory, 400)) {
    CFileSystemOperations::CreateDirectoryPaths(directory);
  }
  WriteFile(local, contents);
  cache->AddFile(remote.c_str(), local, tag);
  cache->UnlockAndSynchronize();
  return local;
}

}  // namespace testing_cache
}  // namespace nycl

#endif  // NYCL_TESTS_CACHE_CACHETESTSUPPORT_H
