// Resource files with hostile contents: random and mutated texts, huge lines, includes that
// nest deeply or name each other, looked up with random paths. Loading and lookups must
// never crash or touch memory they do not own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "res/ResTestSupport.h"

namespace nycl {
namespace {

using testing_res::TempDir;

class ResText {
 public:
  explicit ResText(unsigned seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::string Piece() {
    static const char* const kPieces[] = {"a",         "B",  ".",   "*",  "?",    ":",  "=",
                                          " ",         "\t", "\\",  "\n", "\\\n", "!",  "#",
                                          "%INCLUDE ", "\"", "x.y", "*z", "..",   "**", "\r"};
    if (Below(6) == 0) return std::string(1, static_cast<char>(Below(256)));
    return kPieces[Below(sizeof kPieces / sizeof kPieces[0])];
  }
  std::string File(const std::string& dir, int files) {
    std::string text;
    int count = Below(60);
    for (int i = 0; i < count; ++i) {
      switch (Below(8)) {
        case 0:
          // Another file of the set, the directory itself, or a file that does not exist.
          text += "%INCLUDE " +
                  (Below(6) == 0   ? dir
                   : Below(6) == 0 ? dir + "/none.r"
                                   : dir + "/f" + std::to_string(Below(files)) + ".r") +
                  "\n";
          break;
        case 1:
          text += "big." + std::to_string(i) + ": " + std::string(10000 + Below(20000), 'v') + "\n";
          break;
        default:
          text += Piece();
          break;
      }
    }
    return text;
  }
  std::string Path() {
    std::string path;
    int count = Below(8);
    for (int i = 0; i < count; ++i) path += Piece();
    return path;
  }

 private:
  std::mt19937 rng_;
};

TEST(HostileResourceTest, RandomFilesWithIncludesLoadAndAnswerLookups) {
  ResText r(3);
  TempDir dir;
  constexpr int kFiles = 6;
  FILE* sink = std::fopen("/dev/null", "w");
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < kFiles; ++i)
      dir.Write("f" + std::to_string(i) + ".r", r.File(dir.path(), kFiles));
    ResFile file((dir.path() + "/f0.r").c_str(), nullptr);
    for (int i = 0; i < 20; ++i) {
      std::string path = r.Path();
      std::unique_ptr<ResInfo> found(file.LocateResourceData(path.c_str()));
    }
    file.AddResource(r.Path().c_str(), r.Path().c_str());
    file.PostAdd();
    std::unique_ptr<ResFile> copy(file.Clone());
    if (round % 10 == 0 && sink != nullptr) copy->Dump(sink);
  }
  if (sink != nullptr) std::fclose(sink);
}

TEST(HostileResourceTest, ContinuedLinesLoadInTimeProportionalToTheirLength) {
  TempDir dir;
  std::string text = "a: ";
  for (int i = 0; i < 400000; ++i) text += "xy\\\n";
  text += "z\n";
  const std::string path = dir.Write("long.r", text);
  auto start = std::chrono::steady_clock::now();
  ResFile file(path.c_str(), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  std::unique_ptr<ResInfo> found(file.LocateResourceData("a"));
  EXPECT_NE(found, nullptr);
}

}  // namespace
}  // namespace nycl
