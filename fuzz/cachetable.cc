// The cache table reader. Input: the contents of the table file of a cache directory that
// also holds a few copies (and a directory where a copy is named, which pruning cannot
// delete); a file outside the cache is named by the seed tables too.
//
// The cache is opened three times in a row, each time loading, pruning and saving the table;
// then once more for the lookups a session makes, with names taken from the table's record
// lines. Checked: the third save writes what the second wrote (the first may still drop
// records whose copies pruning deleted for another record, the second the record lines
// left without copies); the file outside the cache survives pruning; a copy name the cache
// hands out for any remote name lies inside the cache directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/cache/CCorvathFileCache.h"

namespace {

using nycl::CCorvathFileCache;
using nycl::fuzz::ReadFile;
using nycl::fuzz::WriteFile;

constexpr char kTable[] = "cache/__Tamrel_Corvath_File_Cache";

void MakeCacheDirectory() {
  nycl::fuzz::ResetDirectory("cache");
  ::mkdir("cache/forms", 0777);
  ::mkdir("cache/held", 0777);
  for (const char* copy : {"cache/v1_a.frm", "cache/v2_a.frm", "cache/v1_main.nys",
                           "cache/forms/v1_main.frm", "cache/forms/v2_main.frm"}) {
    WriteFile(copy, "x");
  }
}

// The remote names of the record lines of `table`, and a few names of other shapes.
std::vector<std::string> NamesIn(const std::string& table) {
  std::vector<std::string> names = {"a.frm",       "forms/main.frm", "forms\\main.frm",
                                    "[file]A.FRM", "\"a.frm\" more", ""};
  for (size_t start = 0; start < table.size() && names.size() < 24;) {
    size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    if (table.compare(start, 3, "@ \"") == 0) {
      names.push_back(table.substr(start + 3, table.find('"', start + 3) - start - 3));
    }
    start = end + 1;
  }
  return names;
}

// Whether `path` lies inside the cache directory "cache": no component of what follows it is
// empty, "." or "..".
bool InsideCache(const std::string& path) {
  if (path.compare(0, 6, "cache/") != 0) return false;
  const std::string rest = path.substr(6) + "/";
  for (size_t start = 0, slash; (slash = rest.find('/', start)) != std::string::npos;
       start = slash + 1) {
    const std::string component = rest.substr(start, slash - start);
    if (component.empty() || component == "." || component == "..") return false;
  }
  return true;
}

void Lookups(const std::vector<std::string>& names) {
  CCorvathFileCache cache("settings");
  char small[6];
  std::vector<char> path(501);
  for (const std::string& name : names) {
    const char* remote = name.c_str();
    cache.GetFile(remote, small, 5);
    cache.GetFile(remote, path.data(), 500);
    cache.QueryCache(remote, 1);
    cache.does_remote_file_exist_in_cache(remote);
    cache.ReverseGetFile(("\"" + name + "\"").c_str(), path.data(), 500);
    cache.ReverseGetFile(remote, small, 5);
    cache.QueryForFilename(remote, path.data(), 500);
    if (std::strlen(path.data()) < 500) FUZZ_CHECK(InsideCache(path.data()));
  }
  cache.WaitLockAndSynchronize();
  cache.AddFile(names.back().c_str(), "cache/v1_a.frm", 7);
  cache.AddFile("new/file.frm", "cache/forms/v1_main.frm", 8);
  cache.UnlockAndSynchronize();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nycl::fuzz::EnterScratchDirectory("cachetable");
  WriteFile("settings", "CacheLocation=cache\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string table(reinterpret_cast<const char*>(data), size);
  MakeCacheDirectory();
  WriteFile("outside.txt", "keep");
  WriteFile(kTable, table);

  { CCorvathFileCache first("settings"); }
  { CCorvathFileCache second("settings"); }
  const std::string saved = ReadFile(kTable);
  { CCorvathFileCache third("settings"); }
  FUZZ_CHECK(ReadFile(kTable) == saved);
  FUZZ_CHECK(::access("outside.txt", F_OK) == 0);

  Lookups(NamesIn(table));
  return 0;
}
