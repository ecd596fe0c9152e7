// Several client processes sharing one cache directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CacheTestSupport.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/cache/CFileSystemOperations.h"

namespace nycl {
namespace {

using Clock = std::chrono::steady_clock;
using testing_cache::ReadFile;
using testing_cache::ScopedEnv;
using testing_cache::TempTree;
using testing_cache::WriteFile;

constexpr int kProcesses = 4;
constexpr int kOwnFiles = 24;
constexpr int kSharedStores = 12;
constexpr int kSharedNames = 4;

// Child exit codes.
constexpr int kChildOk = 0;
constexpr int kChildNoStart = 2;
constexpr int kChildLockNotTaken = 3;

struct Copy {
  std::string file;
  int tag;
  int version;
};
using Table = std::vector<std::pair<std::string, std::vector<Copy>>>;

Table ParseTable(const std::string& text) {
  Table table;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("@ \"", 0) == 0) {
      table.push_back({line.substr(3, line.size() - 4), {}});
    } else if (!table.empty()) {
      const std::string::size_type close = line.find('"', 1);
      Copy copy{line.substr(1, close - 1), 0, 0};
      std::istringstream(line.substr(close + 1)) >> copy.tag >> copy.version;
      table.back().second.push_back(copy);
    }
  }
  return table;
}

// Waits up to `seconds` for a byte on `fd`.
bool AwaitByte(int fd, int seconds) {
  pollfd watch{fd, POLLIN, 0};
  char byte;
  return ::poll(&watch, 1, seconds * 1000) == 1 && ::read(fd, &byte, 1) == 1;
}

// Reaps `child` within `seconds`, killing it when it overstays. Returns its exit code, or
// -1 when it did not exit normally.
int Reap(pid_t child, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CacheProcessTest : public ::testing::Test {
 protected:
  CacheProcessTest()
      : temp_("TEMP", tree_.path().c_str()),
        dir_(tree_ / "Corvath_cache"),
        settings_(tree_ / "none") {}

  // The file transfer's sequence for one received file, under one hold. Returns the time
  // spent waiting for the lock, or -1 when the lock was not taken.
  static double Store(CCorvathFileCache* cache, const std::string& remote, int tag,
                      const std::string& contents) {
    const auto start = Clock::now();
    const int held = cache->WaitLockAndSynchronize();
    const double waited = std::chrono::duration<double>(Clock::now() - start).count();
    char local[501];
    cache->QueryForFilename(remote.c_str(), local, 500);
    char directory[401];
    if (CFileSystemOperations::GetFullDirectoryPath(local, directory, 400)) {
      CFileSystemOperations::CreateDirectoryPaths(directory);
    }
    WriteFile(local, contents);
    cache->AddFile(remote.c_str(), local, tag);
    cache->UnlockAndSynchronize();
    return held ? waited : -1;
  }

  static std::string OwnName(int process, int i) {
    return "p" + std::to_string(process) + "/f" + std::to_string(i) + ".frm";
  }
  static std::string SharedName(int i) { return "shared\\s" + std::to_string(i) + ".frm"; }

  // Forks a child that takes a lock with `take`, reports, and stays until killed; then
  // shows that a cache operation in this process finishes soon after the child is killed.
  void ExpectKilledHolderReleases(const std::function<void()>& take) {
    {
      CCorvathFileCache cache(settings_);
      Store(&cache, "before.frm", 1, "before");
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::alarm(30);
      take();
      ::write(ready[1], "r", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    ASSERT_TRUE(AwaitByte(ready[0], 10));
    ::close(ready[0]);

    std::thread killer([child] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ::kill(child, SIGKILL);
    });
    const auto start = Clock::now();
    double waited = 0;
    {
      CCorvathFileCache cache(settings_);
      waited = Store(&cache, "after.frm", 2, "after");
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    killer.join();
    Reap(child, 5);
    EXPECT_GE(waited, 0.0);
    EXPECT_GT(elapsed, 0.25);  // it really waited for the holder
    EXPECT_LT(elapsed, 2.0);
    const Table table = ParseTable(ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache"));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].first, "before.frm");
    EXPECT_EQ(table[1].first, "after.frm");
  }

  TempTree tree_;
  ScopedEnv temp_;
  const std::string dir_;
  const std::string settings_;
};

TEST_F(CacheProcessTest, ConcurrentWritersLoseNothingAndVersionsStayDistinct) {
  int ready[2];
  int go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      // Every process opens (and so prunes) the cache before anyone adds, so all copies
      // written below must survive.
      CCorvathFileCache cache(settings_);
      ::write(ready[1], "r", 1);
      pollfd watch{go[0], POLLIN, 0};
      if (::poll(&watch, 1, 10000) != 1) ::_exit(kChildNoStart);
      double longest = 0;
      for (int i = 0; i < kOwnFiles; ++i) {
        const std::string contents = "own " + std::to_string(p) + " " + std::to_string(i);
        const double waited = Store(&cache, OwnName(p, i), p * 1000 + i, contents);
        if (waited < 0) ::_exit(kChildLockNotTaken);
        longest = std::max(longest, waited);
        if (i < kSharedStores) {
          const std::string shared = "shared " + std::to_string(p) + " " + std::to_string(i);
          if (Store(&cache, SharedName(i % kSharedNames), p, shared) < 0) {
            ::_exit(kChildLockNotTaken);
          }
        }
      }
      WriteFile(dir_ + "/../longest." + std::to_string(p), std::to_string(longest));
      ::_exit(kChildOk);
    }
    children.push_back(child);
  }
  ::close(ready[1]);
  ::close(go[0]);
  for (int p = 0; p < kProcesses; ++p) ASSERT_TRUE(AwaitByte(ready[0], 20));
  ::close(go[1]);  // starts every child at once
  ::close(ready[0]);
  for (pid_t child : children) EXPECT_EQ(Reap(child, 120), kChildOk);

  double longest = 0;
  for (int p = 0; p < kProcesses; ++p) {
    longest = std::max(longest, std::stod(ReadFile(tree_ / ("longest." + std::to_string(p)))));
  }
  EXPECT_LT(longest, 9.0);
  RecordProperty("longest_lock_wait_ms", static_cast<int>(longest * 1000));

  const Table table = ParseTable(ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache"));
  std::map<std::string, std::vector<Copy>> records;
  for (const auto& [name, copies] : table) {
    EXPECT_TRUE(records.emplace(name, copies).second) << "record twice: " << name;
  }
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kProcesses * kOwnFiles + kSharedNames));
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kOwnFiles; ++i) {
      const std::vector<Copy>& copies = records[OwnName(p, i)];
      ASSERT_EQ(copies.size(), 1u) << OwnName(p, i);
      EXPECT_EQ(copies[0].version, 1);
      EXPECT_EQ(copies[0].tag, p * 1000 + i);
      EXPECT_EQ(ReadFile(copies[0].file), "own " + std::to_string(p) + " " + std::to_string(i));
    }
  }
  std::multiset<std::string> shared_contents;
  for (int n = 0; n < kSharedNames; ++n) {
    const std::vector<Copy>& copies = records[SharedName(n)];
    const int expected = kProcesses * kSharedStores / kSharedNames;
    ASSERT_EQ(copies.size(), static_cast<std::size_t>(expected));
    for (int v = 0; v < expected; ++v) {
      EXPECT_EQ(copies[v].version, v + 1);  // distinct, in the order they were added
      shared_contents.insert(ReadFile(copies[v].file));
    }
  }
  std::multiset<std::string> written;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kSharedStores; ++i) {
      written.insert("shared " + std::to_string(p) + " " + std::to_string(i));
    }
  }
  EXPECT_EQ(shared_contents, written);
}

TEST_F(CacheProcessTest, AProcessKilledHoldingTheTableDoesNotBlockOthers) {
  ExpectKilledHolderReleases([this] {
    auto* cache = new CCorvathFileCache(settings_);  // dies with the process, never closed
    cache->WaitLockAndSynchronize();
    cache->AddFile("unsaved.frm", "nowhere", 1);
  });
}

TEST_F(CacheProcessTest, AProcessKilledWhileOpeningTheTableDoesNotBlockOthers) {
  ExpectKilledHolderReleases([this] {
    const int fd = ::open((dir_ + "/NyCorvathCacheAcessMutex").c_str(), O_RDWR | O_CREAT, 0666);
    ::flock(fd, LOCK_EX);
  });
}

}  // namespace
}  // namespace nycl
