// Cache tables with hostile contents: random bytes, mutated valid tables and huge lines in
// the table file must load without crashing, and the cache must keep working afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cache/CacheTestSupport.h"

namespace nycl {
namespace {

using testing_cache::ScopedEnv;
using testing_cache::TempTree;
using testing_cache::WriteFile;

TEST(HostileCacheTest, RandomTableFilesLoadAndTheCacheKeepsWorking) {
  TempTree tree;
  ScopedEnv temp("TEMP", tree.path().c_str());
  ScopedEnv tmp("TMP", nullptr);
  const std::string dir = tree / "Corvath_cache";
  ::mkdir(dir.c_str(), 0777);
  const std::string copy = dir + "/c";
  WriteFile(copy, "x");
  const std::string valid = "@ \"a\"\n\"" + copy + "\" 1 1\n@ \"b/c\"\n\"" + copy + "\" 7 2\n";

  std::mt19937 rng(31);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 300; ++round) {
    std::string table;
    switch (below(3)) {
      case 0:
        for (int i = below(400); i > 0; --i)
          table += below(5) == 0 ? "\"@ \n"[below(4)] : static_cast<char>(below(256));
        break;
      case 1:
        table = valid;
        for (int i = 0; i < 1 + below(5); ++i) {
          size_t at = static_cast<size_t>(below(static_cast<int>(table.size())));
          if (below(2) == 0)
            table[at] = static_cast<char>(below(256));
          else
            table.erase(at, 1 + static_cast<size_t>(below(8)));
        }
        break;
      default:
        table = "@ \"" + std::string(20000 + below(10000), 'n') + "\"\n\"" + copy + "\" " +
                "99999999999999999999 -99999999999999\n" + valid;
        break;
    }
    WriteFile(dir + "/__Tamrel_Corvath_File_Cache", table);
    auto cache = std::make_unique<CCorvathFileCache>(tree / "no-settings");
    char out[501];
    cache->GetFile("a", out, 500);
    cache->GetFile("b/c", out, 500);
    cache->does_remote_file_exist_in_cache("b");
    if (round % 20 == 0) testing_cache::StoreCopy(cache.get(), "new/name", 3, "y");
  }
}

TEST(HostileCacheTest, HostileRemoteNamesAndShortBuffersStayInBounds) {
  TempTree tree;
  ScopedEnv temp("TEMP", tree.path().c_str());
  ScopedEnv tmp("TMP", nullptr);
  CCorvathFileCache cache(tree / "no-settings");
  std::mt19937 rng(32);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  static const char* const kPieces[] = {"/", "\\", "..", ".", "a", "%", "\"", " ", ":", "~"};
  for (int round = 0; round < 400; ++round) {
    std::string remote;
    for (int i = below(round % 40 == 0 ? 3000 : 30); i > 0; --i)
      remote +=
          below(6) == 0 ? std::string(1, static_cast<char>(1 + below(255))) : kPieces[below(10)];
    // Exactly size + 1 bytes on the heap, so that a write past the terminator is caught.
    int size = below(3) == 0 ? below(8) : 500;
    std::vector<char> out(static_cast<size_t>(size) + 1);
    cache.QueryForFilename(remote.c_str(), out.data(), size);
    const std::string local = out.data();
    if (size == 500 && !local.empty() && local.size() < 500) {
      // However the remote name climbs, its copy stays inside the cache directory.
      EXPECT_EQ(local.rfind(cache.CacheDirectory() + "/", 0), 0u) << local;
      EXPECT_EQ((local + "/").find("/../"), std::string::npos) << local;
    }
    cache.GetFile(remote.c_str(), out.data(), size);
    cache.ReverseGetFile(remote.c_str(), out.data(), size);
    cache.QueryCache(remote.c_str(), below(5));
    if (round % 25 == 0 && remote.size() < 200) testing_cache::StoreCopy(&cache, remote, 1, "z");
  }
}

}  // namespace
}  // namespace nycl
