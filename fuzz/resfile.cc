// The resource file loader, and its dump read back.
//
// Input, loader mode: files separated by the byte 0x1C, written as f0, f1, ... into the
// scratch directory (the working directory, so "%include f1" finds the second); f0 is loaded
// with a file cache that holds one remote file. Hand mode (the input starts with 0x1D):
// records separated by 0x1E, each a path and a value separated by the first 0x1F, added to
// an empty tree by hand, so paths and values may hold any byte.
//
// Then the tree is queried, dumped to a file and the dump loaded without a cache. Checked:
// no dump line begins with "%" (none can be a directive); every entry read back is an entry
// of the tree with the same value; and every entry of the tree is either read back or
// written as a comment line.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"
#include "nycl/res/ResDataListEnum.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"

namespace {

using namespace nycl;

constexpr size_t kMaxFiles = 12;

CCorvathFileCache* g_cache = nullptr;

// A node's place: the names from the root, each with its binding in the low bit.
using Place = std::vector<unsigned long long>;
using EntryMap = std::map<Place, unsigned int>;

void CollectEntries(const ResData* node, Place& place, EntryMap* entries) {
  if (node->GetValue() != 0 && node->GetValue() != ResData::GetResNull()) {
    (*entries)[place] = node->GetValue();
  }
  for (int loose = 0; loose < 2; ++loose) {
    for (const auto& child : loose ? node->GetLoose() : node->GetTight()) {
      place.push_back(static_cast<unsigned long long>(child.first) << 1 | loose);
      CollectEntries(child.second, place, entries);
      place.pop_back();
    }
  }
}

EntryMap Entries(ResFile& file) {
  EntryMap entries;
  Place place;
  CollectEntries(file.GetRoot(), place, &entries);
  return entries;
}

std::string Dump(ResFile& file) {
  FILE* stream = std::fopen("dump.r", "wbe");
  if (stream == nullptr) return std::string();
  file.Dump(stream);
  std::fclose(stream);
  return nycl::fuzz::ReadFile("dump.r");
}

// Queries of the kinds render windows make, on names the tree has and names it may have.
void Query(ResFile& file) {
  std::vector<std::string> names = {"form", "form.button", "form*color", "?", "!base"};
  for (const auto& child : file.GetRoot()->GetTight()) {
    const char* name = Atom::DeAtomize(child.first);
    if (name != nullptr && names.size() < 16) names.push_back(name);
  }
  for (const std::string& name : names) {
    std::unique_ptr<ResInfo> info(file.LocateResourceData(name.c_str()));
    info->FindResourceA("color", "none");
    info->FindResourceSub("template", nullptr);
    int steps = 0;
    for (ResDataListEnum it = info->begin(); it != info->end() && steps < 64; ++it, ++steps) {
      ResInfo below(info.get(), (*it)->GetName());
      below.GetValue();
    }
  }
}

// Whether the loader joins the next physical line to `line`: a final backslash that does
// not follow another one.
bool Continues(const std::string& line) {
  const size_t n = line.size();
  return n > 0 && line[n - 1] == '\\' && (n == 1 || line[n - 2] != '\\');
}

void CheckDumpReadsBack(ResFile& tree) {
  const EntryMap before = Entries(tree);
  const std::string dump = Dump(tree);
  size_t comments = 0;
  bool continued = false;
  for (size_t start = 0; start < dump.size();) {
    size_t end = dump.find('\n', start);
    if (end == std::string::npos) end = dump.size();
    const std::string line = dump.substr(start, end - start);
    start = end + 1;
    if (!continued) {
      FUZZ_CHECK(line.empty() || line[0] != '%');
      if (!line.empty() && line[0] == '#') {
        ++comments;
        continue;
      }
    }
    continued = Continues(line);
  }
  ResFile again("dump.r", nullptr);
  const EntryMap after = Entries(again);
  for (const auto& entry : after) {
    auto found = before.find(entry.first);
    FUZZ_CHECK(found != before.end() && found->second == entry.second);
  }
  FUZZ_CHECK(after.size() + comments == before.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nycl::fuzz::EnterScratchDirectory("resfile");
  nycl::fuzz::ResetDirectory("cache");
  nycl::fuzz::ResetDirectory("cache/img");
  nycl::fuzz::WriteFile("cache/img/v1_logo.bmp", "BM");
  nycl::fuzz::WriteFile("settings", "CacheLocation=cache\n");
  g_cache = new CCorvathFileCache("settings");
  g_cache->AddFile("img/logo.bmp", "cache/img/v1_logo.bmp", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> files;
  {
    std::unique_ptr<ResFile> tree;
    if (size > 0 && data[0] == 0x1D) {
      tree = std::make_unique<ResFile>();
      for (const std::string& record : nycl::fuzz::Split(data + 1, size - 1, '\x1E')) {
        const size_t separator = record.find('\x1F');
        const std::string path = record.substr(0, separator);
        const std::string value =
            separator == std::string::npos ? std::string() : record.substr(separator + 1);
        tree->AddResource(path.c_str(), value.c_str());
      }
      tree->PostAdd();
    } else {
      for (const std::string& contents : nycl::fuzz::Split(data, size, '\x1C')) {
        if (files.size() == kMaxFiles) break;
        files.push_back("f" + std::to_string(files.size()));
        nycl::fuzz::WriteFile(files.back(), contents);
      }
      tree = std::make_unique<ResFile>("f0", g_cache);
    }
    Query(*tree);
    CheckDumpReadsBack(*tree);
  }
  for (const std::string& file : files) nycl::fuzz::RemoveTree(file);
  nycl::fuzz::RemoveTree("dump.r");
  Atom::Destroy();
  return 0;
}
