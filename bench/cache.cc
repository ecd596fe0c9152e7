// The client file cache with 10,000 cached files: lookups (each taking and giving back the
// cross-process lock, and with the lock already held), and a client start (load and prune).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "nycl/cache/CCorvathFileCache.h"

namespace {

constexpr int kFiles = 10000;

std::string RemoteName(int i) {
  return "forms/group" + std::to_string(i % 100) + "/form" + std::to_string(i) + ".frm";
}

// A cache directory under a fresh temporary directory, filled once and removed at exit.
class Fixture {
 public:
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nycl_bench_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    ::setenv("TEMP", root_.c_str(), 1);
    settings_ = root_ + "/no-settings";
    nycl::CCorvathFileCache cache(settings_);
    cache.WaitLockAndSynchronize();
    for (int i = 0; i < kFiles; ++i) {
      const std::string remote = RemoteName(i);
      char local[1001];
      cache.QueryForFilename(remote.c_str(), local, 1000);
      std::filesystem::create_directories(std::filesystem::path(local).parent_path());
      if (std::FILE* file = std::fopen(local, "wb")) {
        std::fputs("x", file);
        std::fclose(file);
      }
      cache.AddFile(remote.c_str(), local, i);
    }
    cache.UnlockAndSynchronize();
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::string& settings() const { return settings_; }

 private:
  std::string root_;
  std::string settings_;
};

Fixture& Files() {
  static Fixture fixture;
  return fixture;
}

void BM_GetFile(benchmark::State& state) {
  nycl::CCorvathFileCache cache(Files().settings());
  const bool held = state.range(0) != 0;
  if (held) cache.WaitLockAndSynchronize();
  char out[1001];
  int i = 0;
  for (auto _ : state) {
    const std::string remote = RemoteName(i);
    benchmark::DoNotOptimize(cache.GetFile(remote.c_str(), out, 1000));
    i = (i + 7919) % kFiles;
  }
  if (held) cache.UnlockAndSynchronize();
}
BENCHMARK(BM_GetFile)->ArgName("lock_held")->Arg(0)->Arg(1);

void BM_QueryCache(benchmark::State& state) {
  nycl::CCorvathFileCache cache(Files().settings());
  const bool held = state.range(0) != 0;
  if (held) cache.WaitLockAndSynchronize();
  int i = 0;
  for (auto _ : state) {
    const std::string remote = RemoteName(i);
    benchmark::DoNotOptimize(cache.QueryCache(remote.c_str(), i));
    i = (i + 7919) % kFiles;
  }
  if (held) cache.UnlockAndSynchronize();
}
BENCHMARK(BM_QueryCache)->ArgName("lock_held")->Arg(0)->Arg(1);

// A name no record matches runs all five lookup rules over the whole table.
void BM_GetFileMiss(benchmark::State& state) {
  nycl::CCorvathFileCache cache(Files().settings());
  cache.WaitLockAndSynchronize();
  char out[1001];
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.GetFile("images/unknown.bmp", out, 1000));
  }
  cache.UnlockAndSynchronize();
}
BENCHMARK(BM_GetFileMiss);

// A client start: load the table, prune it and save it again.
void BM_ColdStart(benchmark::State& state) {
  const std::string& settings = Files().settings();
  for (auto _ : state) {
    auto cache = std::make_unique<nycl::CCorvathFileCache>(settings);
    benchmark::DoNotOptimize(cache.get());
  }
}
BENCHMARK(BM_ColdStart)->Unit(benchmark::kMillisecond);

}  // namespace
