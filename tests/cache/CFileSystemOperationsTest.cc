#include "nycl/cache/CFileSystemOperations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CacheTestSupport.h"

namespace nycl {
namespace {

using testing_cache::IsDir;
using testing_cache::ListTree;
using testing_cache::TempTree;
using testing_cache::WriteFile;

std::string Dirname(const char* path) {
  char* result = CFileSystemOperations::dirname(path);
  std::string text = result;
  std::free(result);
  return text;
}

// Runs GetFullDirectoryPath into a buffer of size + 1 bytes pre-filled with '#'; renders the
// result and the whole buffer so truncation and the NUL position are both visible.
std::string FullDirectory(const char* path, int size) {
  std::vector<char> out(static_cast<std::size_t>(size) + 1, '#');
  const int result = CFileSystemOperations::GetFullDirectoryPath(path, out.data(), size);
  std::string rendered = std::to_string(result) + ":";
  for (char c : out) rendered += c == '\0' ? '|' : c;
  return rendered;
}

std::string WorkingDirectory() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TEST(CFileSystemOperationsTest, DirnameKeepsTheSeparatorAndHandlesDegenerateInputs) {
  EXPECT_EQ(Dirname(""), "");
  EXPECT_EQ(Dirname(nullptr), "");
  EXPECT_EQ(Dirname("///"), "/");
  EXPECT_EQ(Dirname("\\\\/"), "/");
  EXPECT_EQ(Dirname("name"), ".");
  EXPECT_EQ(Dirname("a/b"), "a/");
  EXPECT_EQ(Dirname("a/b/"), "a/");
  EXPECT_EQ(Dirname("a/b\\\\"), "a/");
  EXPECT_EQ(Dirname("/b"), "/");
  EXPECT_EQ(Dirname("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(Dirname("a\\b/c"), "a\\b/");
}

TEST(CFileSystemOperationsTest, GetFullDirectoryPathCutsAtTheLaterSeparator) {
  EXPECT_EQ(FullDirectory("file.txt", 8), "0:#########");
  EXPECT_EQ(FullDirectory("C:\\dir\\file.txt", 8), "1:C:\\dir|##");
  EXPECT_EQ(FullDirectory("a/b\\c", 8), "1:a/b|#####");
  EXPECT_EQ(FullDirectory("a\\b/c", 8), "1:a\\b|#####");
  EXPECT_EQ(FullDirectory("/file", 4), "1:|####");
  EXPECT_EQ(FullDirectory("/long/directory/f", 6), "1:/long/|");
  EXPECT_EQ(FullDirectory("ab/f", 0), "1:|");
  EXPECT_EQ(CFileSystemOperations::GetFullDirectoryPath(nullptr, nullptr, 4), 0);
}

class FileSystemTreeTest : public ::testing::Test {
 protected:
  std::string At(const std::string& relative) const { return tree_ / relative; }
  std::vector<std::string> Tree() const { return ListTree(tree_.path()); }

  TempTree tree_;
};

TEST_F(FileSystemTreeTest, FileExistsSeesFilesAndDirectoriesUnderEitherSeparator) {
  WriteFile(At("f"), "x");
  ASSERT_EQ(::mkdir(At("d").c_str(), 0777), 0);
  WriteFile(At("d/g"), "y");
  EXPECT_EQ(CFileSystemOperations::file_exists(At("f").c_str()), 1);
  EXPECT_EQ(CFileSystemOperations::file_exists(At("d").c_str()), 1);
  EXPECT_EQ(CFileSystemOperations::file_exists((tree_.path() + "\\d\\g").c_str()), 1);
  EXPECT_EQ(CFileSystemOperations::file_exists(At("missing").c_str()), 0);
  EXPECT_EQ(CFileSystemOperations::file_exists(""), 0);
  EXPECT_EQ(CFileSystemOperations::file_exists(nullptr), 0);
}

TEST_F(FileSystemTreeTest, MkdirCreatesMissingParentsAndReportsExistingAsZero) {
  EXPECT_EQ(CFileSystemOperations::mkdir(At("a/b\\c").c_str()), 1);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a/", "a/b/", "a/b/c/"}));
  EXPECT_EQ(CFileSystemOperations::mkdir(At("a/b").c_str()), 0);
  EXPECT_EQ(CFileSystemOperations::mkdir("/"), 0);
  EXPECT_EQ(CFileSystemOperations::mkdir(""), 0);

  WriteFile(At("file"), "x");
  EXPECT_EQ(CFileSystemOperations::mkdir(At("file/sub").c_str()), 0);
  EXPECT_FALSE(IsDir(At("file/sub")));
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsBuildsTheMissingChainBelowTheDeepestAncestor) {
  ASSERT_EQ(::mkdir(At("base").c_str(), 0777), 0);
  const std::string before = WorkingDirectory();
  EXPECT_EQ(CFileSystemOperations::CreateDirectoryPaths(At("base/x\\y/z").c_str()), 1);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"base/", "base/x/", "base/x/y/", "base/x/y/z/"}));
  EXPECT_EQ(WorkingDirectory(), before);

  // An existing directory needs nothing.
  EXPECT_EQ(CFileSystemOperations::CreateDirectoryPaths(At("base/x").c_str()), 1);
  EXPECT_EQ(Tree().size(), 4u);
  EXPECT_EQ(WorkingDirectory(), before);
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsWithATrailingSeparatorCreatesNothing) {
  EXPECT_EQ(CFileSystemOperations::CreateDirectoryPaths(At("new/dir/").c_str()), 1);
  EXPECT_EQ(Tree(), std::vector<std::string>{});
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsPassesOverComponentsItCannotCreate) {
  WriteFile(At("blocker"), "x");
  EXPECT_EQ(CFileSystemOperations::CreateDirectoryPaths(At("blocker/a/b").c_str()), 1);
  EXPECT_EQ(Tree(), std::vector<std::string>{"blocker"});
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsOfARelativePathStartsInTheWorkingDirectory) {
  // Run in a child so the test process's own working directory is never changed.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool ok = ::chdir(tree_.path().c_str()) == 0 &&
                    CFileSystemOperations::CreateDirectoryPaths("r1\\r2/r3") == 1 &&
                    IsDir("r1/r2/r3") && CFileSystemOperations::CreateDirectoryPaths("solo") == 1 &&
                    IsDir("solo");
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(FileSystemTreeTest, CreateDirectoryPathsIsSafeFromSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([this, i] {
      for (int j = 0; j < 20; ++j) {
        const std::string path = At("shared/t" + std::to_string(i) + "/d" + std::to_string(j));
        CFileSystemOperations::CreateDirectoryPaths(path.c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 20; ++j) {
      EXPECT_TRUE(IsDir(At("shared/t" + std::to_string(i) + "/d" + std::to_string(j))));
    }
  }
}

}  // namespace
}  // namespace nycl
