#include "nycl/res/Atom.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "res/ResTestSupport.h"

namespace nycl {
namespace {

std::string Split(const char* path) {
  unsigned int* atoms = nullptr;
  char* bindings = nullptr;
  int count = Atom::AtomizeString(path, &atoms, &bindings);
  std::string out = std::to_string(count) + ":";
  for (int i = 0; i < count; ++i) {
    out += bindings[i] ? bindings[i] : '0';
    out += "[" + testing_res::Upper(Atom::DeAtomize(atoms[i])) + "]";
  }
  EXPECT_EQ(0u, atoms[count]);
  EXPECT_EQ('\0', bindings[count]);
  Atom::FreeAtomizedString(&atoms, &bindings);
  EXPECT_EQ(nullptr, atoms);
  EXPECT_EQ(nullptr, bindings);
  return out;
}

// Names up to 15 bytes are matched inside the index, longer ones against their stored text;
// both must fold case, keep the first spelling, and tell apart names that differ only past the
// other's end.
TEST(AtomTest, InterningFoldsCaseOnEitherSideOfTheInlineLength) {
  const unsigned int first = Atom::Atomize("TRUEish1");
  EXPECT_EQ(first, Atom::Atomize("trueish1"));
  EXPECT_STREQ("TRUEish1", Atom::DeAtomize(first));
  for (const char* name :
       {"eightbyt", "fifteen-bytes-a", "sixteen-bytes-ab", "seventeen-bytes-a"}) {
    const std::string lower = name, upper = testing_res::Upper(name);
    unsigned int atom = Atom::Atomize(lower.c_str());
    EXPECT_EQ(atom, Atom::Atomize(upper.c_str())) << name;
    EXPECT_EQ(atom, Atom::AtomizeUpper(lower.c_str(), -1)) << name;
    EXPECT_NE(atom, Atom::Atomize((lower + "x").c_str())) << name;
    EXPECT_NE(atom, Atom::Atomize(lower.c_str(), static_cast<int>(lower.size()) - 1)) << name;
    Atom::ToUpperInPlace(atom);
    EXPECT_STREQ(upper.c_str(), Atom::DeAtomize(atom));
    EXPECT_EQ(atom, Atom::Atomize(lower.c_str())) << name;
  }
}

TEST(AtomTest, LengthAndNullAndEmptyNames) {
  unsigned int prefix = Atom::Atomize("abcPrefixOnly", 3);
  EXPECT_STREQ("abc", Atom::DeAtomize(prefix));
  EXPECT_EQ(prefix, Atom::Atomize("ABC"));
  EXPECT_EQ(0u, Atom::Atomize(nullptr));
  EXPECT_EQ(nullptr, Atom::DeAtomize(0));
  unsigned int empty = Atom::Atomize("");
  EXPECT_NE(0u, empty);
  EXPECT_EQ(0u, empty & 0xff);
  EXPECT_EQ(empty, Atom::Atomize("xyz", 0));
  EXPECT_STREQ("", Atom::DeAtomize(empty));
}

TEST(AtomTest, AtomizeVectorListsTheNamesAndStopsAt256) {
  std::string path, split = "256:0[P]";
  for (int i = 0; i < 300; ++i) path += "p.";
  for (int i = 1; i < 256; ++i) split += ".[P]";
  EXPECT_EQ(split, Split(path.c_str()));
  EXPECT_EQ(256u, Atom::AtomizeVector(path.c_str()).size());
  EXPECT_EQ(
      (std::list<unsigned int>{Atom::Atomize("x1"), Atom::Atomize("y1"), Atom::Atomize("z1")}),
      Atom::AtomizeVector("*x1.y1*z1"));
}

TEST(AtomTest, DisplayPrintsBindingsOrDots) {
  unsigned int* atoms = nullptr;
  char* bindings = nullptr;
  Atom::AtomizeString("disp1*disp2", &atoms, &bindings);
  EXPECT_EQ("  < > disp1 <*> disp2 ",
            testing_res::Capture([&](FILE* f) { Atom::Display(f, 2, atoms, bindings); }));
  EXPECT_EQ(". disp1 . disp2 ",
            testing_res::Capture([&](FILE* f) { Atom::Display(f, 0, atoms, nullptr); }));
  Atom::FreeAtomizedString(&atoms, &bindings);
}

TEST(AtomTest, IsTrueFalseReadsWordsAndNumbers) {
  for (const char* yes : {"yes", "YES", "yEs", "true", "True", "1", "-3", "7days"})
    EXPECT_TRUE(Atom::IsTrueFalse(Atom::Atomize(yes))) << yes;
  for (const char* no : {"no", "NO", "false", "0", "", "off"})
    EXPECT_FALSE(Atom::IsTrueFalse(Atom::Atomize(no))) << no;
  EXPECT_FALSE(Atom::IsTrueFalse(0));
}

// An atom names the bin of its name (the sum of its upper-cased bytes) and its place there.
// Paths are split through a per-thread cache of recent names, which must not keep the old
// numbers once a bin shifts.
TEST(AtomTest, AtomsNameBinAndPlaceAndShiftBinRenumbersThem) {
  // Same upper-cased byte sum, so the same bin, interned back to back.
  unsigned int first = Atom::Atomize("kq-bin-ab");
  unsigned int second = Atom::Atomize("kq-bin-ba");
  EXPECT_EQ(Atom::EvalBin("kq-bin-ab", 9), Atom::EvalBin("KQ-BIN-BA", 9));
  EXPECT_EQ(static_cast<unsigned int>(Atom::EvalBin("kq-bin-ab", 9)), first & 0xff);
  EXPECT_EQ(first & 0xff, second & 0xff);
  EXPECT_EQ((first >> 8) + 1, second >> 8);
  EXPECT_EQ(0, Atom::EvalBin("", 0));
  EXPECT_EQ(('A' + 'B') % 256, Atom::EvalBin("ab\0zz", 5));

  unsigned int a = Atom::Atomize("shift~bin~one");
  EXPECT_EQ(a, Atom::AtomizeVector("x.shift~bin~one").back());
  int bin = static_cast<int>(a & 0xff);
  Atom::ShiftBin(bin, static_cast<int>(a >> 8) - 1);
  EXPECT_EQ(nullptr, Atom::DeAtomize(a));  // the opened slot is empty
  unsigned int moved = a + (1u << 8);
  EXPECT_STREQ("shift~bin~one", Atom::DeAtomize(moved));
  EXPECT_EQ(moved, Atom::Atomize("SHIFT~BIN~ONE"));
  EXPECT_EQ(moved, Atom::AtomizeVector("x.shift~bin~one").back());
}

// Names are found and read back without the table's lock while other threads intern new
// ones, which grows the index and the bins under the readers.
TEST(AtomTest, ReadersWithoutTheLockSeeEveryNameWhileTheTableGrows) {
  std::vector<std::string> known;
  std::vector<unsigned int> atoms;
  for (int i = 0; i < 2000; ++i) {
    known.push_back("rdknown" + std::to_string(i));
    atoms.push_back(Atom::Atomize(known.back().c_str()));
  }
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&, r] {
      for (size_t i = static_cast<size_t>(r); !done.load(); i = (i + 7) % known.size()) {
        if (Atom::Atomize(known[i].c_str()) != atoms[i]) ++wrong;
        const char* text = Atom::DeAtomize(atoms[i]);
        if (text == nullptr || known[i] != text) ++wrong;
      }
    });
  }
  std::vector<std::vector<unsigned int>> grown(2);
  auto intern = [&grown](int which) {
    for (int i = 0; i < 60000; ++i) {
      grown[which].push_back(Atom::Atomize(("rdgrown" + std::to_string(i)).c_str()));
    }
  };
  std::thread writer(intern, 1);
  intern(0);
  writer.join();
  done.store(true);
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(0, wrong.load());
  EXPECT_EQ(grown[0], grown[1]);
  for (int i = 0; i < 60000; i += 997) {
    EXPECT_EQ("rdgrown" + std::to_string(i), Atom::DeAtomize(grown[0][static_cast<size_t>(i)]));
  }
}

}  // namespace
}  // namespace nycl
