#include "nycl/cache/CCorvathFileCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "CacheTestSupport.h"
#include "nycl/cache/CFileSystemOperations.h"

namespace nycl {
namespace {

using testing_cache::Exists;
using testing_cache::ReadFile;
using testing_cache::ScopedEnv;
using testing_cache::TempTree;
using testing_cache::WriteFile;

class CCorvathFileCacheTest : public ::testing::Test {
 protected:
  CCorvathFileCacheTest()
      : temp_("TEMP", tree_.path().c_str()), tmp_("TMP", nullptr), dir_(tree_ / "Corvath_cache") {}

  std::unique_ptr<CCorvathFileCache> Open() {
    return std::make_unique<CCorvathFileCache>(tree_ / "no-settings");
  }

  // Stores `contents` as the next copy of `remote`, the way the file transfer does.
  std::string Store(CCorvathFileCache* cache, const std::string& remote, int tag,
                    const std::string& contents = "data") {
    char local[501];
    cache->WaitLockAndSynchronize();
    cache->QueryForFilename(remote.c_str(), local, 500);
    char directory[401];
    if (CFileSystemOperations::GetFullDirectoryPath(local, directory, 400)) {
      CFileSystemOperations::CreateDirectoryPaths(directory);
    }
    WriteFile(local, contents);
    cache->AddFile(remote.c_str(), local, tag);
    cache->UnlockAndSynchronize();
    return local;
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

  // The table with the cache directory written as "$".
  std::string Table() const {
    std::string text = ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache");
    for (std::string::size_type at; (at = text.find(dir_)) != std::string::npos;) {
      text.replace(at, dir_.size(), "$");
    }
    return text;
  }

  void WriteTable(const std::string& text) {
    ASSERT_EQ(::mkdir(dir_.c_str(), 0777), 0);
    WriteFile(dir_ + "/__Tamrel_Corvath_File_Cache", text);
  }

  TempTree tree_;
  ScopedEnv temp_;
  ScopedEnv tmp_;
  const std::string dir_;
};

TEST_F(CCorvathFileCacheTest, CopiesAreNamedByVersionInTheRemoteNamesDirectory) {
  auto cache = Open();
  EXPECT_EQ(NextName(cache.get(), "c.frm"), dir_ + "/v1_c.frm");
  EXPECT_EQ(NextName(cache.get(), "a/b/c.frm"), dir_ + "/a/b/v1_c.frm");
  EXPECT_EQ(NextName(cache.get(), "a\\b\\c.frm"), dir_ + "/a/b/v1_c.frm");
  // With both separators the name is cut at the earlier of the two last ones.
  EXPECT_EQ(NextName(cache.get(), "a\\b/c.frm"), dir_ + "/a/v1_b/c.frm");

  char out[8] = "#######";
  EXPECT_EQ(cache->QueryForFilename("c.frm", out, 3), 1);
  EXPECT_EQ(std::string(out, 4), dir_.substr(0, 3) + '\0');
}

TEST_F(CCorvathFileCacheTest, EachAddGivesTheNextVersionAndGetFileTheNewest) {
  auto cache = Open();
  const std::string v1 = Store(cache.get(), "forms/main.frm", 10);
  EXPECT_EQ(NextName(cache.get(), "forms/main.frm"), dir_ + "/forms/v2_main.frm");
  const std::string v2 = Store(cache.get(), "forms/main.frm", 11);
  EXPECT_EQ(v2, dir_ + "/forms/v2_main.frm");
  EXPECT_EQ(Get(cache.get(), "forms/main.frm"), v2);

  EXPECT_EQ(cache->QueryCache("forms/main.frm", 10), 1);  // held by the older copy
  EXPECT_EQ(cache->QueryCache("forms/main.frm", 11), 1);
  EXPECT_EQ(cache->QueryCache("forms/main.frm", 12), 0);
  EXPECT_EQ(cache->QueryCache("other.frm", 10), 0);
  EXPECT_EQ(Get(cache.get(), "other.frm"), "<0:untouched>");

  EXPECT_EQ(Table(),
            "@ \"forms/main.frm\"\n"
            "\"$/forms/v1_main.frm\" 10 1\n"
            "\"$/forms/v2_main.frm\" 11 2\n");
}

TEST_F(CCorvathFileCacheTest, RestartKeepsOnlyTheNewestCopyOfEachFile) {
  std::vector<std::string> copies;
  {
    auto cache = Open();
    for (int tag = 1; tag <= 3; ++tag) copies.push_back(Store(cache.get(), "r.per", tag));
    Store(cache.get(), "single.per", 7);
  }
  auto cache = Open();
  EXPECT_FALSE(Exists(copies[0]));
  EXPECT_FALSE(Exists(copies[1]));
  EXPECT_TRUE(Exists(copies[2]));
  EXPECT_EQ(Get(cache.get(), "r.per"), copies[2]);
  EXPECT_EQ(NextName(cache.get(), "r.per"), dir_ + "/v4_r.per");
  EXPECT_EQ(Table(),
            "@ \"r.per\"\n\"$/v3_r.per\" 3 3\n"
            "@ \"single.per\"\n\"$/v1_single.per\" 7 1\n");
}

TEST_F(CCorvathFileCacheTest, PruningNeverTakesTheNewestNorFilesOutsideTheCache) {
  {
    auto cache = Open();
    // An undeletable old copy (a directory) must not cost the record its newest copy.
    ASSERT_EQ(::mkdir((dir_ + "/busy").c_str(), 0777), 0);
    cache->AddFile("r", (dir_ + "/busy").c_str(), 1);
    Store(cache.get(), "r", 2);
    // A copy recorded outside the cache directory is forgotten, never deleted.
    WriteFile(tree_ / "outside", "mine");
    cache->AddFile("o", (tree_ / "outside").c_str(), 1);
    cache->AddFile("o", (dir_ + "/../outside").c_str(), 2);
    Store(cache.get(), "o", 3);
  }
  auto cache = Open();
  EXPECT_TRUE(Exists(tree_ / "outside"));
  EXPECT_EQ(Table(),
            "@ \"r\"\n\"$/busy\" 1 1\n\"$/v2_r\" 2 2\n"
            "@ \"o\"\n\"$/v3_o\" 3 3\n");
}

TEST_F(CCorvathFileCacheTest, LookupRulesApplyInOrder) {
  auto cache = Open();
  // "AB.x" comes first, but the prefix rule finds "ab" before equality ignoring case runs.
  const std::string upper_ab = Store(cache.get(), "AB.x", 1);
  const std::string ab = Store(cache.get(), "ab", 1);
  const std::string logo = Store(cache.get(), "IMG/LOGO.BMP", 1);
  const std::string sub = Store(cache.get(), "Dir/Sub.per", 1);
  const std::string doc = Store(cache.get(), "My Doc.txt", 1);

  EXPECT_EQ(Get(cache.get(), "ab.X"), ab);                      // 1: prefix
  EXPECT_EQ(Get(cache.get(), "AB.x and more"), upper_ab);       // 1: prefix, table order
  EXPECT_EQ(Get(cache.get(), "pic [File]img/logo.bmp"), logo);  // 2: behind [file], upper-cased
  EXPECT_EQ(Get(cache.get(), "dir/sub.PER"), sub);              // 3: equal ignoring case
  EXPECT_EQ(Get(cache.get(), "\"my doc.txt\" 3 4"), doc);       // 4: first token
  EXPECT_EQ(Get(cache.get(), "DIR\\sub.per"), sub);             // 5: backslashes as slashes
  EXPECT_EQ(Get(cache.get(), "img/log"), "<0:untouched>");
  EXPECT_EQ(Get(cache.get(), ""), "<0:untouched>");
  EXPECT_EQ(cache->does_remote_file_exist_in_cache(nullptr), nullptr);

  // A name that begins with a known one is taken for it, when adding too.
  EXPECT_EQ(Store(cache.get(), "abc", 1), dir_ + "/v2_abc");
  EXPECT_EQ(Get(cache.get(), "ab"), dir_ + "/v2_abc");
  const std::string segment(100, 'L');
  const std::string long_name = segment + "/" + segment + "/" + segment;
  const std::string long_copy = Store(cache.get(), long_name, 1);
  EXPECT_EQ(Get(cache.get(), long_name + "/more"), long_copy);

  // A name matched by a rule gets its next copy in that record.
  Store(cache.get(), "dir\\sub.per", 2);
  EXPECT_EQ(cache->does_remote_file_exist_in_cache("Dir/Sub.per")->size(), 2u);
}

TEST_F(CCorvathFileCacheTest, PrefixRuleTakesTheEarliestRecordNotTheLongestName) {
  const std::string x = tree_ / "x";
  const std::string xy = tree_ / "xy";
  WriteFile(x, "x");
  WriteFile(xy, "xy");
  WriteTable("@ \"x\"\n\"" + x + "\" 1 1\n@ \"xy\"\n\"" + xy + "\" 1 1\n");
  auto cache = Open();
  EXPECT_EQ(Get(cache.get(), "xyz"), x);
  EXPECT_EQ(Get(cache.get(), "xy"), x);
  EXPECT_EQ(Get(cache.get(), "XY"), xy);
}

TEST_F(CCorvathFileCacheTest, ReverseGetFileFindsTheRecordOfALocalName) {
  auto cache = Open();
  Store(cache.get(), "one.frm", 1);
  const std::string two = Store(cache.get(), "sub/two.frm", 1);
  char out[501] = "untouched";
  EXPECT_EQ(cache->ReverseGetFile(two.c_str(), out, 500), 1);
  EXPECT_STREQ(out, "sub/two.frm");
  EXPECT_EQ(cache->ReverseGetFile(("\"" + dir_ + "/sub/v1_t\"").c_str(), out, 500), 1);
  EXPECT_STREQ(out, "sub/two.frm");
  EXPECT_EQ(cache->ReverseGetFile((dir_ + "/sub/v1_t").c_str(), out, 500), 0);
  EXPECT_EQ(cache->ReverseGetFile(two.c_str(), out, 3), 1);
  EXPECT_STREQ(out, "sub");
}

// Loading: each table below is written by hand; the table saved by a fresh cache shows
// what was read.
TEST_F(CCorvathFileCacheTest, CorruptTablesKeepWhatWasReadBeforeTheFault) {
  const std::string file = tree_ / "f";
  WriteFile(file, "x");
  struct Case {
    const char* name;
    std::string table;
    std::string loaded;
  };
  const std::vector<Case> cases = {
      {"copy line before any record", "\"" + file + "\" 1 1\n@ \"a\"\n\"" + file + "\" 1 1\n", ""},
      {"empty record name", "@ \"a\"\n\"" + file + "\" 1 1\n@ \"\"\n\"" + file + "\" 2 2\n",
       "@ \"a\"\n\"F\" 1 1\n"},
      {"copy line without quotes", "@ \"a\"\n\"" + file + "\" 1 1\nbroken 2 2\n@ \"b\"\n",
       "@ \"a\"\n\"F\" 1 1\n"},
      {"missing numbers and no closing quote on the record",
       "@ \"a\n\"" + file + "\"\n@ \"b\"\n\"" + file + "\" 5\n",
       "@ \"a\"\n\"F\" 0 0\n@ \"b\"\n\"F\" 5 0\n"},
      {"empty line ends the table",
       "@ \"a\"\n\"" + file + "\" 1 1\n\n@ \"b\"\n\"" + file + "\" 1 1\n", "@ \"a\"\n\"F\" 1 1\n"},
      {"vanished copies are dropped",
       "@ \"a\"\n\"" + file + ".gone\" 1 1\n\"" + file + "\" 2 2\n@ \"b\"\n\"" + file +
           ".gone\" 3 3\n",
       "@ \"a\"\n\"F\" 2 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    const std::string dir = tree / "Corvath_cache";
    ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
    WriteFile(dir + "/__Tamrel_Corvath_File_Cache", c.table);
    ScopedEnv temp("TEMP", tree.path().c_str());
    { CCorvathFileCache cache(tree / "no-settings"); }
    std::string saved = ReadFile(dir + "/__Tamrel_Corvath_File_Cache");
    for (std::string::size_type at; (at = saved.find(file)) != std::string::npos;) {
      saved.replace(at, file.size(), "F");
    }
    EXPECT_EQ(saved, c.loaded);
  }
}

TEST_F(CCorvathFileCacheTest, ARecordWhoseCopiesVanishedIsKnownUntilTheNextLoad) {
  std::string local;
  {
    auto cache = Open();
    local = Store(cache.get(), "x.frm", 1);
    ASSERT_EQ(::unlink(local.c_str()), 0);
    Store(cache.get(), "y.frm", 1);  // saves: the record stays, without its copy line
    EXPECT_EQ(Table(), "@ \"x.frm\"\n@ \"y.frm\"\n\"$/v1_y.frm\" 1 1\n");
  }
  auto second = Open();
  EXPECT_EQ(Get(second.get(), "x.frm"), "");
  EXPECT_EQ(Table(), "@ \"y.frm\"\n\"$/v1_y.frm\" 1 1\n");
  auto third = Open();
  EXPECT_EQ(Get(third.get(), "x.frm"), "<0:untouched>");
}

TEST_F(CCorvathFileCacheTest, HostileRemoteNamesStayInsideTheCache) {
  auto cache = Open();
  EXPECT_EQ(NextName(cache.get(), "../../etc/passwd"), dir_ + "/%2E%2E/%2E%2E/etc/v1_passwd");
  EXPECT_EQ(NextName(cache.get(), "/etc/passwd"), dir_ + "/%2F/etc/v1_passwd");
  EXPECT_EQ(NextName(cache.get(), "x\\../../y"), dir_ + "/x/v1_../%2E%2E/y");
  EXPECT_EQ(NextName(cache.get(), "a/./b//c"), dir_ + "/a/%2E/b/%2F/v1_c");
  EXPECT_EQ(NextName(cache.get(), ".."), dir_ + "/v1_..");

  // Names a table line cannot hold live in memory only and never break the table.
  Store(cache.get(), "quote\"d", 1);
  Store(cache.get(), "line\nfeed", 1);
  Store(cache.get(), "plain", 1);
  cache->AddFile("", "ignored", 1);
  cache->AddFile(nullptr, "ignored", 1);
  EXPECT_EQ(Get(cache.get(), "line\nfeed"), dir_ + "/v1_line\nfeed");
  EXPECT_EQ(Table(), "@ \"plain\"\n\"$/v1_plain\" 1 1\n");
}

TEST_F(CCorvathFileCacheTest, ChangesOfAnotherCacheObjectAreSeenAtOnce) {
  auto writer = Open();
  auto reader = Open();
  for (int i = 0; i < 30; ++i) {
    const std::string name = "f" + std::to_string(i) + ".frm";
    const std::string local = Store(writer.get(), name, i);
    ASSERT_EQ(Get(reader.get(), name), local);
    ASSERT_EQ(reader->QueryCache(name.c_str(), i), 1);
  }
}

TEST_F(CCorvathFileCacheTest, NestedHoldsSaveOnlyWhenTheLastIsGivenBack) {
  auto cache = Open();
  const std::string before = Table();
  EXPECT_EQ(cache->WaitLockAndSynchronize(), 1);
  EXPECT_EQ(cache->WaitLockAndSynchronize(), 1);
  Store(cache.get(), "n.frm", 1);
  EXPECT_EQ(cache->UnlockAndSynchronize(), 1);
  EXPECT_EQ(Table(), before);
  EXPECT_EQ(cache->UnlockAndSynchronize(), 0);
  EXPECT_EQ(Table(), "@ \"n.frm\"\n\"$/v1_n.frm\" 1 1\n");
}

TEST_F(CCorvathFileCacheTest, CacheLocationComesFromSettingsThenTempThenTmp) {
  const std::string chosen = tree_ / "chosen";
  ASSERT_EQ(::mkdir(chosen.c_str(), 0777), 0);
  WriteFile(tree_ / "settings", "# comment\nCacheLocation=" + chosen + "\r\n");
  EXPECT_EQ(CCorvathFileCache(tree_ / "settings").CacheDirectory(), chosen);

  const std::string tmp = tree_ / "tmp";
  ASSERT_EQ(::mkdir(tmp.c_str(), 0777), 0);
  ScopedEnv no_temp("TEMP", nullptr);
  ScopedEnv only_tmp("TMP", tmp.c_str());
  CCorvathFileCache from_tmp(tree_ / "no-settings");
  EXPECT_EQ(from_tmp.CacheDirectory(), tmp + "/Corvath_cache");
  EXPECT_EQ(from_tmp.TablePath(), tmp + "/Corvath_cache/__Tamrel_Corvath_File_Cache");
  EXPECT_TRUE(testing_cache::IsDir(tmp + "/Corvath_cache"));
}

TEST_F(CCorvathFileCacheTest, AMissingCacheDirectoryWorksInMemoryWithoutWaiting) {
  WriteFile(tree_ / "settings", "CacheLocation=" + (tree_ / "absent") + "\n");
  const auto start = std::chrono::steady_clock::now();
  CCorvathFileCache cache(tree_ / "settings");
  EXPECT_EQ(Get(&cache, "a"), "<0:untouched>");  // never loaded
  EXPECT_EQ(cache.AddFile("a", "/x/v1_a", 3), 1);
  EXPECT_EQ(Get(&cache, "a"), "/x/v1_a");
  EXPECT_EQ(cache.QueryCache("a", 3), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(Exists(tree_ / "absent"));
}

}  // namespace
}  // namespace nycl
