// The resource loader and queries against libX11's resource manager (Xrm), which implements
// the same tight/loose binding model, on the same generated file of 100,000 entries and the
// same 1,000,000 fully qualified queries (half hits, half misses), in one program run.
//
//   Load/Nycl, Load/Xrm       reading the file into a tree / a database
//   LoadFresh/Nycl, /Xrm      the same in a new process, whose atom (quark) table is empty
//   Query/Nycl, Query/Xrm     1,000,000 queries from path strings: nycl builds a ResInfo on
//                             the root handle and reads its value; Xrm turns the path into
//                             quarks and calls XrmQGetResource (names doubling as classes)
//   QueryAtoms/Nycl           the same queries from paths turned into atoms beforehand
//   QueryThreads/Nycl         the string queries shared among four threads
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"

namespace {

constexpr int kForms = 200;
constexpr int kWidgets = 50;
constexpr int kQueries = 1000000;
const char* const kAttributes[] = {"color", "background", "font",  "width", "height",
                                   "label", "tooltip",    "align", "image", "border"};
constexpr int kAttributeCount = sizeof(kAttributes) / sizeof(kAttributes[0]);

std::string EntryPath(int form, int widget, int attribute) {
  char path[128];
  std::snprintf(path, sizeof(path), "form%03d.w%02d.%s", form, widget, kAttributes[attribute]);
  return path;
}

// The generated file (removed at exit) and the query list.
class Fixture {
 public:
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nycl_bench_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    directory_ = pattern;
    path_ = directory_ + "/bench.r";
    FILE* file = std::fopen(path_.c_str(), "w");
    if (file == nullptr) std::abort();
    // 100,000 entries: every form has 49 widgets with all attributes tight, and its last
    // widget's ten attributes are given loosely for the whole form (form*attribute).
    for (int form = 0; form < kForms; ++form) {
      for (int widget = 0; widget < kWidgets - 1; ++widget) {
        for (int attribute = 0; attribute < kAttributeCount; ++attribute) {
          std::fprintf(file, "%s: value %d-%d-%d\n", EntryPath(form, widget, attribute).c_str(),
                       form, widget, attribute);
        }
      }
      for (int attribute = 0; attribute < kAttributeCount; ++attribute) {
        std::fprintf(file, "form%03d*%s: loose %d-%d\n", form, kAttributes[attribute], form,
                     attribute);
      }
    }
    std::fclose(file);

    std::mt19937 random(20261206);
    for (int i = 0; i < kQueries; ++i) {
      int form = static_cast<int>(random() % kForms);
      int widget = static_cast<int>(random() % (kWidgets - 1));
      int attribute = static_cast<int>(random() % kAttributeCount);
      switch (i % 4) {
        case 0:
        case 1:  // a hit
          queries_.push_back(EntryPath(form, widget, attribute));
          break;
        case 2: {  // an unknown attribute of a known widget
          char path[128];
          std::snprintf(path, sizeof(path), "form%03d.w%02d.missing%d", form, widget, attribute);
          queries_.push_back(path);
          break;
        }
        default: {  // a known attribute under an unknown form
          char path[128];
          std::snprintf(path, sizeof(path), "other%03d.w%02d.%s", form, widget,
                        kAttributes[attribute]);
          queries_.push_back(path);
        }
      }
    }
    XrmInitialize();
  }
  ~Fixture() { std::filesystem::remove_all(directory_); }

  const std::string& path() const { return path_; }
  const std::vector<std::string>& queries() const { return queries_; }

 private:
  std::string directory_;
  std::string path_;
  std::vector<std::string> queries_;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void LoadNycl(benchmark::State& state) {
  const std::string& path = Shared().path();
  for (auto _ : state) {
    nycl::ResFile file(path.c_str(), nullptr);
    benchmark::DoNotOptimize(file.GetRoot());
  }
  state.SetItemsProcessed(state.iterations() * kForms * kWidgets * kAttributeCount);
}

void LoadXrm(benchmark::State& state) {
  const std::string& path = Shared().path();
  for (auto _ : state) {
    XrmDatabase database = XrmGetFileDatabase(path.c_str());
    benchmark::DoNotOptimize(database);
    XrmDestroyDatabase(database);
  }
  state.SetItemsProcessed(state.iterations() * kForms * kWidgets * kAttributeCount);
}

void QueryNycl(benchmark::State& state) {
  const std::vector<std::string>& queries = Shared().queries();
  nycl::ResFile file(Shared().path().c_str(), nullptr);
  size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::string& query : queries) {
      nycl::ResInfo handle(&file, query.c_str());
      const char* value = nycl::Atom::DeAtomize(handle.GetValue());
      if (value != nullptr) ++hits;
      benchmark::DoNotOptimize(value);
    }
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(queries.size()));
}

void QueryXrm(benchmark::State& state) {
  const std::vector<std::string>& queries = Shared().queries();
  XrmDatabase database = XrmGetFileDatabase(Shared().path().c_str());
  size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::string& query : queries) {
      XrmQuark quarks[16];
      XrmStringToQuarkList(query.c_str(), quarks);
      XrmRepresentation type;
      XrmValue value;
      if (XrmQGetResource(database, quarks, quarks, &type, &value)) ++hits;
      benchmark::DoNotOptimize(value.addr);
    }
  }
  XrmDestroyDatabase(database);
  state.counters["hits"] = static_cast<double>(hits);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(queries.size()));
}

// Runs `load` in a child process, where the atom table (or Xrm's quark table) starts empty as
// in a client that has just started, and returns the seconds the load took there.
template <typename Load>
double LoadInFreshProcess(Load load) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) std::abort();
  const pid_t child = ::fork();
  if (child == 0) {
    const auto start = std::chrono::steady_clock::now();
    load();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const ssize_t written = ::write(pipe_ends[1], &seconds, sizeof seconds);
    ::_exit(written == sizeof seconds ? 0 : 1);
  }
  ::close(pipe_ends[1]);
  double seconds = -1;
  if (::read(pipe_ends[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
  ::close(pipe_ends[0]);
  ::waitpid(child, nullptr, 0);
  return seconds;
}

// Times `load` (given the file's path) in a fresh process per iteration.
template <typename Load>
void LoadFresh(benchmark::State& state, Load load) {
  const std::string& path = Shared().path();
  for (auto _ : state) {
    const double seconds = LoadInFreshProcess([&] { load(path.c_str()); });
    if (seconds < 0) state.SkipWithError("the child process failed");
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations() * kForms * kWidgets * kAttributeCount);
}

void LoadFreshNycl(benchmark::State& state) {
  LoadFresh(state, [](const char* path) {
    nycl::ResFile file(path, nullptr);
    benchmark::DoNotOptimize(file.GetRoot());
  });
}

void LoadFreshXrm(benchmark::State& state) {
  LoadFresh(state, [](const char* path) {
    XrmDatabase database = XrmGetFileDatabase(path);
    benchmark::DoNotOptimize(database);
  });
}

// The search alone: the paths are turned into atoms beforehand, as a host that keeps the
// atoms of the names it asks for does.
class AtomQuery : public nycl::ResInfo {
 public:
  AtomQuery(nycl::ResInfo* parent, const std::vector<unsigned int>& atoms) {
    LoadData(parent, atoms.data(), static_cast<int>(atoms.size()));
  }
};

void QueryAtomsNycl(benchmark::State& state) {
  nycl::ResFile file(Shared().path().c_str(), nullptr);
  std::vector<std::vector<unsigned int>> paths;
  for (const std::string& query : Shared().queries()) {
    std::string upper = query;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::list<unsigned int> atoms = nycl::Atom::AtomizeVector(upper.c_str());
    paths.emplace_back(atoms.begin(), atoms.end());
  }
  for (auto _ : state) {
    for (const std::vector<unsigned int>& path : paths) {
      AtomQuery handle(&file, path);
      benchmark::DoNotOptimize(nycl::Atom::DeAtomize(handle.GetValue()));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}

// Queries from path strings on several threads at once against one tree, as render windows
// on several command threads make them; the atom table is read without a lock.
void QueryThreadsNycl(benchmark::State& state) {
  static nycl::ResFile* file = nullptr;
  if (state.thread_index() == 0) file = new nycl::ResFile(Shared().path().c_str(), nullptr);
  const std::vector<std::string>& queries = Shared().queries();
  for (auto _ : state) {
    for (size_t i = static_cast<size_t>(state.thread_index()); i < queries.size(); i += 4) {
      nycl::ResInfo handle(file, queries[i].c_str());
      benchmark::DoNotOptimize(nycl::Atom::DeAtomize(handle.GetValue()));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(queries.size() / 4));
  if (state.thread_index() == 0) {
    delete file;
    file = nullptr;
  }
}

}  // namespace

BENCHMARK(LoadFreshNycl)
    ->Name("LoadFresh/Nycl")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK(LoadFreshXrm)
    ->Name("LoadFresh/Xrm")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK(QueryAtomsNycl)->Name("QueryAtoms/Nycl")->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(QueryThreadsNycl)
    ->Name("QueryThreads/Nycl")
    ->Unit(benchmark::kMillisecond)
    ->Threads(4)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(LoadNycl)->Name("Load/Nycl")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LoadXrm)->Name("Load/Xrm")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(QueryNycl)->Name("Query/Nycl")->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(QueryXrm)->Name("Query/Xrm")->Unit(benchmark::kMillisecond)->MinTime(3.0);
