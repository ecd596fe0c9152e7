// Several client processes sharing one cache directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CacheTestSupport.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "support/Processes.h"

namespace nycl {
namespace {

using Clock = std::chrono::steady_clock;
using test_processes::Fork;
using test_processes::ReapOrKill;
using testing_cache::ParseTable;
using testing_cache::ReadFile;
using testing_cache::ScopedEnv;
using testing_cache::TempTree;

constexpr int kProcesses = 4;
constexpr int kOwnFiles = 24;      // per process, each its own remote file
constexpr int kSharedStores = 12;  // per process, spread over kSharedNames remote files
constexpr int kSharedNames = 4;

bool AwaitByte(int fd, int seconds) {
  pollfd watch{fd, POLLIN, 0};
  char byte;
  return ::poll(&watch, 1, seconds * 1000) == 1 && ::read(fd, &byte, 1) == 1;
}

class CacheProcessTest : public ::testing::Test {
 protected:
  // The file transfer's sequence for one file under one hold. Returns the seconds spent
  // waiting for the lock, or -1 when it was not taken.
  static double Store(CCorvathFileCache* cache, const std::string& remote, int tag,
                      const std::string& contents) {
    const auto start = Clock::now();
    int held = 0;
    testing_cache::StoreCopy(cache, remote, tag, contents, &held);
    // Includes the store itself, which is short beside any wait for the hold.
    const double waited = std::chrono::duration<double>(Clock::now() - start).count();
    return held ? waited : -1;
  }

  // A child takes a lock with `take` and is killed 300 ms later; a cache operation here must
  // finish soon after, on an intact table.
  void ExpectKilledHolderReleases(const std::function<void()>& take) {
    {
      CCorvathFileCache cache(settings_);
      Store(&cache, "before.frm", 1, "before");
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = Fork([&] {
      take();
      if (::write(ready[1], "r", 1) != 1) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      return ::raise(SIGKILL);
    });
    ASSERT_GE(child, 0);
    ASSERT_TRUE(AwaitByte(ready[0], 10));
    const auto start = Clock::now();
    double waited = -1;
    {
      CCorvathFileCache cache(settings_);
      waited = Store(&cache, "after.frm", 2, "after");
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ReapOrKill(child, 5000);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_GE(waited, 0.0);
    EXPECT_GT(elapsed, 0.25);  // it did wait for the holder
    EXPECT_LT(elapsed, 2.0);
    EXPECT_EQ(ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache"),
              "@ \"before.frm\"\n\"" + dir_ + "/v1_before.frm\" 1 1\n@ \"after.frm\"\n\"" + dir_ +
                  "/v1_after.frm\" 2 1\n");
  }

  TempTree tree_;
  ScopedEnv temp_{"TEMP", tree_.path().c_str()};
  const std::string dir_ = tree_ / "Corvath_cache";
  const std::string settings_ = tree_ / "none";
};

TEST_F(CacheProcessTest, ConcurrentWritersLoseNothingAndVersionsStayDistinct) {
  int ready[2];
  int go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = Fork([&, p] {
      // Every process opens (and prunes) the cache before anyone adds: nothing added below
      // may be pruned.
      CCorvathFileCache cache(settings_);
      ::close(go[1]);
      pollfd start{go[0], POLLIN, 0};
      if (::write(ready[1], "r", 1) != 1 || ::poll(&start, 1, 20000) != 1) return 2;
      double longest = 0;  // of the waits for the lock
      for (int i = 0; i < kOwnFiles; ++i) {
        const std::string own = "p" + std::to_string(p) + "/f" + std::to_string(i) + ".frm";
        const std::string shared = "shared\\s" + std::to_string(i % kSharedNames) + ".frm";
        const std::string text = "by " + std::to_string(p) + " " + std::to_string(i);
        const double own_wait = Store(&cache, own, p * 1000 + i, own);
        const double shared_wait = i < kSharedStores ? Store(&cache, shared, p, text) : 0;
        if (own_wait < 0 || shared_wait < 0) return 3;  // the lock was not taken in time
        longest = std::max({longest, own_wait, shared_wait});
      }
      return longest < 9.0 ? 0 : 4;  // a store waited too long for the lock
    });
    ASSERT_GE(child, 0);
    children.push_back(child);
  }
  for (int p = 0; p < kProcesses; ++p) ASSERT_TRUE(AwaitByte(ready[0], 20));
  ::close(go[1]);  // starts every child at once
  for (pid_t child : children) EXPECT_EQ(ReapOrKill(child, 100000), 0);
  for (int fd : {ready[0], ready[1], go[0]}) ::close(fd);

  std::set<std::string> twice;
  auto records = ParseTable(ReadFile(dir_ + "/__Tamrel_Corvath_File_Cache"), &twice);
  EXPECT_TRUE(twice.empty());
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kProcesses * kOwnFiles + kSharedNames));
  std::multiset<std::string> found;
  std::multiset<std::string> written;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kOwnFiles; ++i) {
      const std::string own = "p" + std::to_string(p) + "/f" + std::to_string(i) + ".frm";
      ASSERT_EQ(records[own].size(), 1u) << own;
      EXPECT_EQ(records[own][0].version, 1);
      EXPECT_EQ(records[own][0].tag, p * 1000 + i);
      EXPECT_EQ(ReadFile(records[own][0].file), own);
    }
    for (int i = 0; i < kSharedStores; ++i) {
      written.insert("by " + std::to_string(p) + " " + std::to_string(i));
    }
  }
  for (int n = 0; n < kSharedNames; ++n) {
    const auto& copies = records["shared\\s" + std::to_string(n) + ".frm"];
    ASSERT_EQ(copies.size(), static_cast<std::size_t>(kProcesses * kSharedStores / kSharedNames));
    for (std::size_t v = 0; v < copies.size(); ++v) {
      EXPECT_EQ(copies[v].version, static_cast<int>(v) + 1);
      found.insert(ReadFile(copies[v].file));
    }
  }
  EXPECT_EQ(found, written);  // every copy kept its own file
}

TEST_F(CacheProcessTest, AProcessKilledHoldingTheTableDoesNotBlockOthers) {
  ExpectKilledHolderReleases([this] {
    auto* cache = new CCorvathFileCache(settings_);  // dies with the process
    cache->WaitLockAndSynchronize();
    cache->AddFile("unsaved.frm", "nowhere", 1);
  });
}

TEST_F(CacheProcessTest, AProcessKilledWhileOpeningTheTableDoesNotBlockOthers) {
  ExpectKilledHolderReleases([this] {
    ::flock(::open((dir_ + "/NyCorvathCacheAcessMutex").c_str(), O_RDWR | O_CREAT, 0666), LOCK_EX);
  });
}

}  // namespace
}  // namespace nycl
