// The cache table and its lock as the cache tests see them, beside the shared file verbs.
#ifndef NYCL_TESTS_CACHE_CACHETESTSUPPORT_H
#define NYCL_TESTS_CACHE_CACHETESTSUPPORT_H

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/cache/CFileSystemOperations.h"
#include "support/TempFiles.h"

namespace nycl {
namespace testing_cache {

// TempTree, ReadFile and the other file verbs, under the names the tests use.
using namespace test_files;  // NOLINT(build/namespaces)

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
