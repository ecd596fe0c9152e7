#include "nycl/cache/CFileSystemOperations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CacheTestSupport.h"
#include "support/Processes.h"

namespace nycl {
namespace {

using Ops = CFileSystemOperations;
using testing_cache::IsDir;
using testing_cache::ListTree;
using testing_cache::TempTree;
using testing_cache::WriteFile;
using Tree = std::vector<std::string>;

std::string Dirname(const char* path) {
  char* result = Ops::dirname(path);
  std::string text = result;
  std::free(result);
  return text;
}

// The result and the whole size + 1 byte buffer (pre-filled with '#', NUL shown as '|').
std::string FullDirectory(const char* path, int size) {
  std::string out(static_cast<std::size_t>(size) + 1, '#');
  std::string rendered = std::to_string(Ops::GetFullDirectoryPath(path, out.data(), size)) + ":";
  for (char c : out) rendered += c == '\0' ? '|' : c;
  return rendered;
}

TEST(CFileSystemOperationsTest, DirnameAndFullDirectoryPathCutAtTheLaterSeparator) {
  EXPECT_EQ(Dirname(""), "");
  EXPECT_EQ(Dirname(nullptr), "");
  EXPECT_EQ(Dirname("\\\\/"), "\\");
  EXPECT_EQ(Dirname("name"), ".");
  EXPECT_EQ(Dirname("a/b"), "a/");
  EXPECT_EQ(Dirname("a/b\\/"), "a/");
  EXPECT_EQ(Dirname("/b"), "/");
  EXPECT_EQ(Dirname("C:\\dir\\file.txt"), "C:\\dir\\");

  EXPECT_EQ(FullDirectory("file.txt", 8), "0:#########");
  EXPECT_EQ(FullDirectory("C:\\dir\\file.txt", 8), "1:C:\\dir|##");
  EXPECT_EQ(FullDirectory("a/b\\c", 5), "1:a/b|##");
  EXPECT_EQ(FullDirectory("a\\b/c", 5), "1:a\\b|##");
  EXPECT_EQ(FullDirectory("/file", 2), "1:|##");
  EXPECT_EQ(FullDirectory("/long/directory/f", 6), "1:/long/|");
  EXPECT_EQ(Ops::GetFullDirectoryPath(nullptr, nullptr, 4), 0);
}

class FileSystemTreeTest : public ::testing::Test {
 protected:
  std::string At(const std::string& relative) const { return tree_ / relative; }
  TempTree tree_;
};

TEST_F(FileSystemTreeTest, FileExistsAndMkdirTakeEitherSeparator) {
  EXPECT_EQ(Ops::mkdir(At("a/b\\c").c_str()), 1);
  EXPECT_EQ(ListTree(tree_.path()), (Tree{"a/", "a/b/", "a/b/c/"}));
  EXPECT_EQ(Ops::file_exists((tree_.path() + "\\a\\b").c_str()), 1);
  EXPECT_EQ(Ops::mkdir(At("a/b").c_str()), 0);  // exists already
  EXPECT_EQ(Ops::mkdir("/"), 0);
  WriteFile(At("file"), "x");
  EXPECT_EQ(Ops::file_exists(At("file").c_str()), 1);
  EXPECT_EQ(Ops::mkdir(At("file/sub").c_str()), 0);
  EXPECT_EQ(Ops::file_exists(At("file/sub").c_str()), 0);
  EXPECT_EQ(Ops::file_exists(""), 0);
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsBuildsTheChainBelowTheDeepestAncestor) {
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  EXPECT_EQ(Ops::CreateDirectoryPaths(At("x\\y/z").c_str()), 1);
  EXPECT_EQ(Ops::CreateDirectoryPaths(At("x/y").c_str()), 1);
  EXPECT_EQ(Ops::CreateDirectoryPaths(At("new/dir/").c_str()), 1);  // trailing separator
  WriteFile(At("file"), "x");
  EXPECT_EQ(Ops::CreateDirectoryPaths(At("file/a/b").c_str()), 1);  // cannot be created
  EXPECT_EQ(ListTree(tree_.path()), (Tree{"file", "x/", "x/y/", "x/y/z/"}));
  char after[4096];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(after, before);
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsOfARelativePathStartsInTheWorkingDirectory) {
  // In a child: the test process keeps its working directory.
  const pid_t child = test_processes::Fork([this] {
    const bool ok = ::chdir(tree_.path().c_str()) == 0 && Ops::CreateDirectoryPaths("r1\\r2/r3") &&
                    Ops::CreateDirectoryPaths("solo") && IsDir("r1/r2/r3") && IsDir("solo");
    return ok ? 0 : 1;
  });
  ASSERT_GE(child, 0);
  EXPECT_EQ(test_processes::ReapOrKill(child, 10000), 0);
}

}  // namespace
}  // namespace nycl
