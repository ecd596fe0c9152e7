#include "nycl/cache/CCorvathFileCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "CacheTestSupport.h"

namespace nycl {
namespace {

using testing_cache::Exists;
using testing_cache::ReadFile;
using testing_cache::ScopedEnv;
using testing_cache::TempTree;
using testing_cache::WriteFile;

class CCorvathFileCacheTest : public ::testing::Test {
 protected:
  std::unique_ptr<CCorvathFileCache> Open() {
    return std::make_unique<CCorvathFileCache>(tree_ / "no-settings");
  }

  static std::string Store(CCorvathFileCache* cache, const std::string& remote, int tag) {
    return testing_cache::StoreCopy(cache, remote, tag, remote);
  }

  static std::string Get(CCorvathFileCache* cache, const std::string& remote) {
    char out[501] = "untouched";
    return cache->GetFile(remote.c_str(), out, 500) ? out : "<0:" + std::string(out) + ">";
  }

  static std::string NextName(CCorvathFileCache* cache, const std::string& remote) {
    char out[501];
    cache->QueryForFilename(remote.c_str(), out, 500);
    return out;
  }

  // The table file with `dir` (the cache directory by default) written as "$".
  std::string Table(std::string dir = "") const {
    if (dir.empty()) dir = dir_;
    std::string text = ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache");
    for (std::string::size_type at; (at = text.find(dir)) != std::string::npos;) {
      text.replace(at, dir.size(), "$");
    }
    return text;
  }

  TempTree tree_;
  ScopedEnv temp_{"TEMP", tree_.path().c_str()};
  ScopedEnv tmp_{"TMP", nullptr};
  const std::string dir_ = tree_ / "Corvath_cache";
};

TEST_F(CCorvathFileCacheTest, CopyNamesFollowTheRemoteNameAndMapBack) {
  auto cache = Open();
  EXPECT_EQ(NextName(cache.get(), "c.frm"), dir_ + "/v1_c.frm");
  EXPECT_EQ(NextName(cache.get(), "a/b/c.frm"), dir_ + "/a/b/v1_c.frm");
  EXPECT_EQ(NextName(cache.get(), "a\\b\\c.frm"), dir_ + "/a/b/v1_c.frm");
  EXPECT_EQ(NextName(cache.get(), "a\\b/c.frm"), dir_ + "/a/v1_b/c.frm");  // earlier cut
  EXPECT_EQ(NextName(cache.get(), "../../etc/passwd"), dir_ + "/%2E%2E/%2E%2E/etc/v1_passwd");
  EXPECT_EQ(NextName(cache.get(), "/etc/passwd"), dir_ + "/%2F/etc/v1_passwd");
  EXPECT_EQ(NextName(cache.get(), "x\\../../y"), dir_ + "/x/v1_../%2E%2E/y");
  EXPECT_EQ(NextName(cache.get(), "a/./b//c"), dir_ + "/a/%2E/b/%2F/v1_c");

  char out[8] = "#######";
  EXPECT_EQ(cache->QueryForFilename("c.frm", out, 3), 1);
  EXPECT_EQ(std::string(out, 5), dir_.substr(0, 3) + '\0' + '#');

  // A local name maps back to its record.
  const std::string two = Store(cache.get(), "sub/two.frm", 1);
  char remote[501] = "";
  EXPECT_EQ(cache->ReverseGetFile(two.c_str(), remote, 500), 1);
  EXPECT_STREQ(remote, "sub/two.frm");
  EXPECT_EQ(cache->ReverseGetFile(("\"" + dir_ + "/sub/v1_t\"").c_str(), remote, 3), 1);
  EXPECT_STREQ(remote, "sub");
  EXPECT_EQ(cache->ReverseGetFile((dir_ + "/sub/v1_t").c_str(), remote, 500), 0);
}

TEST_F(CCorvathFileCacheTest, EachAddGivesTheNextVersionAndGetFileTheNewest) {
  auto cache = Open();
  Store(cache.get(), "forms/main.frm", 10);
  const std::string v2 = Store(cache.get(), "forms/main.frm", 11);
  EXPECT_EQ(v2, dir_ + "/forms/v2_main.frm");
  EXPECT_EQ(Get(cache.get(), "forms/main.frm"), v2);
  EXPECT_EQ(cache->QueryCache("forms/main.frm", 10), 1);  // held by the older copy
  EXPECT_EQ(cache->QueryCache("forms/main.frm", 12), 0);
  EXPECT_EQ(cache->QueryCache("other.frm", 10), 0);
  EXPECT_EQ(Get(cache.get(), "other.frm"), "<0:untouched>");
  EXPECT_EQ(Table(),
            "@ \"forms/main.frm\"\n\"$/forms/v1_main.frm\" 10 1\n\"$/forms/v2_main.frm\" 11 2\n");

  // Names a table line cannot hold live in memory only and never break the table.
  Store(cache.get(), "line\nfeed", 1);
  cache->AddFile("", "ignored", 1);
  EXPECT_EQ(Get(cache.get(), "line\nfeed"), dir_ + "/v1_line\nfeed");
  EXPECT_EQ(Table().find("line"), std::string::npos);
}

TEST_F(CCorvathFileCacheTest, RestartKeepsOnlyTheNewestCopyAndDeletesOnlyInsideTheCache) {
  std::vector<std::string> copies;
  {
    auto cache = Open();
    for (int tag = 1; tag <= 3; ++tag) copies.push_back(Store(cache.get(), "r.per", tag));
    // An old copy that cannot be deleted (a directory) must not cost the newest one.
    ::mkdir((dir_ + "/busy").c_str(), 0777);
    cache->AddFile("b", (dir_ + "/busy").c_str(), 1);
    Store(cache.get(), "b", 2);
    WriteFile(tree_ / "outside", "mine");
    cache->AddFile("o", (tree_ / "outside").c_str(), 1);
    cache->AddFile("o", (dir_ + "/../outside").c_str(), 2);
    Store(cache.get(), "o", 3);
  }
  auto cache = Open();
  EXPECT_FALSE(Exists(copies[0]) || Exists(copies[1]));
  EXPECT_TRUE(Exists(tree_ / "outside"));
  EXPECT_EQ(Get(cache.get(), "r.per"), copies[2]);
  EXPECT_EQ(NextName(cache.get(), "r.per"), dir_ + "/v4_r.per");
  EXPECT_EQ(Table(),
            "@ \"r.per\"\n\"$/v3_r.per\" 3 3\n"
            "@ \"b\"\n\"$/busy\" 1 1\n\"$/v2_b\" 2 2\n"
            "@ \"o\"\n\"$/v3_o\" 3 3\n");
}

TEST_F(CCorvathFileCacheTest, LookupRulesApplyInOrder) {
  auto cache = Open();
  const std::string upper_ab = Store(cache.get(), "AB.x", 1);
  const std::string ab = Store(cache.get(), "ab", 1);
  const std::string logo = Store(cache.get(), "IMG/LOGO.BMP", 1);
  const std::string sub = Store(cache.get(), "Dir/Sub.per", 1);
  const std::string doc = Store(cache.get(), "My Doc.txt", 1);
  EXPECT_EQ(Get(cache.get(), "ab.X"), ab);                      // 1: prefix, before 3
  EXPECT_EQ(Get(cache.get(), "AB.x and more"), upper_ab);       // 1: prefix, table order
  EXPECT_EQ(Get(cache.get(), "pic [File]img/logo.bmp"), logo);  // 2: behind [file], upper-cased
  EXPECT_EQ(Get(cache.get(), "dir/sub.PER"), sub);              // 3: equal ignoring case
  EXPECT_EQ(Get(cache.get(), "\"my doc.txt\" 3 4"), doc);       // 4: first token
  EXPECT_EQ(Get(cache.get(), "DIR\\sub.per"), sub);             // 5: backslashes as slashes
  EXPECT_EQ(Get(cache.get(), "img/log"), "<0:untouched>");
  EXPECT_EQ(cache->does_remote_file_exist_in_cache(nullptr), nullptr);
  // A name that begins with a known one is taken for it, when adding too.
  EXPECT_EQ(Store(cache.get(), "abc", 1), dir_ + "/v2_abc");
  const std::string segment(100, 'L');
  const std::string long_name = segment + "/" + segment + "/" + segment;
  const std::string long_copy = Store(cache.get(), long_name, 1);
  EXPECT_EQ(Get(cache.get(), long_name + "/more"), long_copy);
}

// Each table is written by hand; the table a fresh cache saves shows what was read.
TEST_F(CCorvathFileCacheTest, LoadingKeepsWhatWasReadBeforeAFault) {
  const std::string f = tree_ / "f";
  WriteFile(f, "x");
  const std::string copy = "\"" + f + "\" 1 1\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {copy + "@ \"a\"\n" + copy, ""},                                   // copy before a record
      {"@ \"a\"\n" + copy + "@ \"\"\n" + copy, "@ \"a\"\n\"$\" 1 1\n"},  // empty record name
      {"@ \"a\"\n" + copy + "no quotes\n@ \"b\"\n", "@ \"a\"\n\"$\" 1 1\n"},  // broken copy line
      {"@ \"a\n\"" + f + "\"\n@ \"b\"\n\"" + f + "\" 5\n",  // unclosed name, missing numbers
       "@ \"a\"\n\"$\" 0 0\n@ \"b\"\n\"$\" 5 0\n"},
      {"@ \"a\"\n" + copy + "\n@ \"b\"\n" + copy, "@ \"a\"\n\"$\" 1 1\n"},        // empty line ends
      {"@ \"a\"\n\"" + f + "x\" 1 1\n" + copy + "@ \"b\"\n\"" + f + "x\" 3 3\n",  // vanished
       "@ \"a\"\n\"$\" 1 1\n"},
      {"@ \"x\"\n" + copy + "@ \"xy\"\n" + copy, "@ \"x\"\n\"$\" 1 1\n@ \"xy\"\n\"$\" 1 1\n"},
  };
  ::mkdir(dir_.c_str(), 0777);
  for (const auto& [table, loaded] : cases) {
    SCOPED_TRACE(table);
    WriteFile(dir_ + "/__Tamrel_Corvath_File_Cache", table);
    auto cache = Open();
    EXPECT_EQ(Table(f), loaded);
  }
  // The last table: the prefix rule takes the earliest record, not the longest name.
  auto cache = Open();
  EXPECT_EQ(cache->does_remote_file_exist_in_cache("xyz"),
            cache->does_remote_file_exist_in_cache("x"));
  EXPECT_NE(cache->does_remote_file_exist_in_cache("XY"),
            cache->does_remote_file_exist_in_cache("x"));
}

TEST_F(CCorvathFileCacheTest, ARecordWhoseCopiesVanishedIsKnownUntilTheNextLoad) {
  {
    auto cache = Open();
    ASSERT_EQ(::unlink(Store(cache.get(), "x.frm", 1).c_str()), 0);
    Store(cache.get(), "y.frm", 1);
    EXPECT_EQ(Table(), "@ \"x.frm\"\n@ \"y.frm\"\n\"$/v1_y.frm\" 1 1\n");
  }
  EXPECT_EQ(Get(Open().get(), "x.frm"), "");
  EXPECT_EQ(Get(Open().get(), "x.frm"), "<0:untouched>");
}

TEST_F(CCorvathFileCacheTest, HoldsNestAndOtherObjectsSeeEveryPublishedTable) {
  auto writer = Open();
  auto reader = Open();
  for (int i = 0; i < 20; ++i) {  // many publications within one clock tick
    const std::string name = "f" + std::to_string(i) + ".frm";
    ASSERT_EQ(Get(reader.get(), name), Store(writer.get(), name, i));
  }
  EXPECT_EQ(writer->WaitLockAndSynchronize(), 1);
  EXPECT_EQ(writer->WaitLockAndSynchronize(), 1);
  Store(writer.get(), "n.frm", 1);
  EXPECT_EQ(writer->UnlockAndSynchronize(), 1);
  EXPECT_EQ(Table().find("n.frm"), std::string::npos);  // saved with the last hold only
  EXPECT_EQ(writer->UnlockAndSynchronize(), 0);
  EXPECT_EQ(Get(reader.get(), "n.frm"), dir_ + "/v1_n.frm");
}

TEST_F(CCorvathFileCacheTest, LocationComesFromSettingsThenTempThenTmpAndMayBeMissing) {
  const std::string chosen = tree_ / "chosen";
  ::mkdir(chosen.c_str(), 0777);
  WriteFile(tree_ / "settings", "# comment\nCacheLocation=" + chosen + "\r\n");
  EXPECT_EQ(CCorvathFileCache(tree_ / "settings").TablePath(),
            chosen + "/__Tamrel_Corvath_File_Cache");
  ScopedEnv no_temp("TEMP", nullptr);
  ScopedEnv only_tmp("TMP", chosen.c_str());
  EXPECT_EQ(Open()->CacheDirectory(), chosen + "/Corvath_cache");
  EXPECT_TRUE(testing_cache::IsDir(chosen + "/Corvath_cache"));

  WriteFile(tree_ / "settings", "CacheLocation=" + (tree_ / "absent") + "\n");
  const auto start = std::chrono::steady_clock::now();
  CCorvathFileCache cache(tree_ / "settings");
  EXPECT_EQ(Get(&cache, "a"), "<0:untouched>");  // never loaded
  EXPECT_EQ(cache.AddFile("a", "/x/v1_a", 3), 1);
  EXPECT_EQ(Get(&cache, "a"), "/x/v1_a");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(Exists(tree_ / "absent"));
}

TEST_F(CCorvathFileCacheTest, InDirectoryIgnoresTheSettingsAndCreatesTheDirectory) {
  const std::string own = tree_ / "own";
  auto cache = CCorvathFileCache::InDirectory(own);
  EXPECT_EQ(cache->TablePath(), own + "/__Tamrel_Corvath_File_Cache");
  EXPECT_TRUE(testing_cache::IsDir(own));
  Store(cache.get(), "f.frm", 7);
  const std::string copy = Get(cache.get(), "f.frm");
  EXPECT_EQ(copy, own + "/v1_f.frm");
  cache.reset();
  EXPECT_EQ(Get(CCorvathFileCache::InDirectory(own).get(), "f.frm"), copy);

  // A relative directory is taken from the working directory, and the copies it records name
  // that place from anywhere.
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(tree_.path().c_str()), 0);
  auto relative = CCorvathFileCache::InDirectory("own");
  Store(relative.get(), "g.frm", 1);
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(Get(relative.get(), "g.frm"), own + "/v1_g.frm");
}

}  // namespace
}  // namespace nycl
