#include "nycl/res/ResFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cache/CacheTestSupport.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/res/Atom.h"
#include "res/ResTestSupport.h"
#include "support/TempFiles.h"

namespace nycl {
namespace {

using testing_res::AddEntries;
using testing_res::Capture;
using testing_res::PathOf;
using testing_res::Text;
using testing_res::Upper;

void Collect(const ResData* node, std::vector<std::string>* lines) {
  if (node->GetValue() != 0 && node->GetValue() != ResData::GetResNull()) {
    lines->push_back(Upper(PathOf(node)) + "=" + Text(node->GetValue()));
  }
  for (const auto& child : node->GetTight()) Collect(child.second, lines);
  for (const auto& child : node->GetLoose()) Collect(child.second, lines);
}

// Every entry of the tree as "PATH=value", sorted, one per line.
std::string Entries(ResFile& file) {
  std::vector<std::string> lines;
  Collect(file.GetRoot(), &lines);
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

class ResFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& contents) {
    test_files::WriteFile(dir_ / name, contents);
    return dir_ / name;
  }
  std::unique_ptr<ResFile> Load(const std::string& contents, CCacheInterface* cache = nullptr) {
    return std::make_unique<ResFile>(Write("main.r", contents).c_str(), cache);
  }

  test_files::TempTree dir_;
};

// Each text is loaded as a whole file.
TEST_F(ResFileTest, LinesAreEntriesCommentsDirectivesOrJoinedByBackslashes) {
  const std::pair<std::string, const char*> files[] = {
      // An entry splits at the first colon, or else at the first equals sign.
      {"sa.sb: x\n"
       "sa.sb=yval\n"
       "shost: server:8080\n"
       "seq=1=2\n"
       "smixed=a:mixed-b\n"
       "sc.sd = spaced\n"
       "  se.sf:   \"quoted\" value\"\"  \n"
       "no separator here\n"
       "sg:\n",
       "SA.SB=yval\n"
       "SC.SD =spaced\n"
       "SE.SF=quoted value\n"
       "SEQ=1=2\n"
       "SG=\n"
       "SHOST=server:8080\n"
       "SMIXED=A=mixed-b\n"},
      // Comments, blank lines and directives are no entries; an indented directive is one.
      {"# a comment: with a colon\n"
       "   \t# an indented comment: too\n"
       "\n"
       "    \n"
       "%using something: else\n"
       "%USING: loud\n"
       "%include " +
           dir_.path() +
           "/missing.r\n"
           "  %include: indented\n"
           "cm.kept: 1\n",
       "%INCLUDE=indented\nCM.KEPT=1\n"},
      // A backslash at the end of a line joins the next one; a line ends at CR LF, LF or CR.
      {"ca: one\\\n"
       "  two\n"
       "cb: x\\\\\n"
       "cc: not joined\n"
       "cd: p\\   \n"
       "q\\\n"
       "r\n"
       "\\\n"
       "ce: 1\n"
       "# comment \\\n"
       "cf: 2\n"
       "cg: crlf\r\n"
       "ch: cut\rci: lost\n"
       "cj: last\\",
       "CA=one  two\n"
       "CB=x\\\\\n"
       "CC=not joined\n"
       "CD=pqr\n"
       "CE=1\n"
       "CF=2\n"
       "CG=crlf\n"
       "CH=cut\n"
       "CJ=last\n"},
  };
  for (const auto& [text, entries] : files) EXPECT_EQ(entries, Entries(*Load(text))) << text;
}

// A line joined from many pieces must load in time linear in its length.
TEST_F(ResFileTest, ContinuedLinesLoadInTimeProportionalToTheirLength) {
  std::string text = "a: ";
  for (int i = 0; i < 400000; ++i) text += "xy\\\n";
  auto start = std::chrono::steady_clock::now();
  auto file = Load(text + "z\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(800001u, Text(ResInfo(file.get(), "a").GetValue()).size());
}

// The loader reads in blocks; lines that cross them, lines longer than its buffer, and lines
// continued across a block boundary must load as any other.
TEST_F(ResFileTest, LinesAcrossReadBlocksLoadAsTheyRead) {
  std::string text;
  std::vector<std::string> expected;
  unsigned int seed = 7;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < 3000; ++i) {
    std::string value = "blkv" + std::string(next() % 700, static_cast<char>('a' + i % 26));
    std::string key = "BLK" + std::to_string(i);
    if (i % 7 == 0) {
      text += key + ": " + value + "\\\n " + value + "\n";
      value += " " + value;
    } else if (i % 11 == 0) {
      text += key + "= " + value + "\r\n";
    } else {
      text += "  " + key + " :" + value + "   \n";
      key += " ";
    }
    if (i == 1500) {
      const std::string huge = "blkv" + std::string(600000, 'h');
      const std::string joined(300000, 'j');
      text += "BLKHUGE: " + huge + "\nBLKJOINED: " + joined + "\\\n" + joined + "\n";
      expected.push_back("BLKHUGE=" + huge);
      expected.push_back("BLKJOINED=" + joined + joined);
    }
    expected.push_back(key + "=" + value);
  }
  std::sort(expected.begin(), expected.end());
  std::string want;
  for (const std::string& line : expected) want += line + "\n";
  auto file = Load(text);
  EXPECT_TRUE(Entries(*file) == want);
}

// Includes nest ten files deep, and never reopen a file still open, which they tell by its
// name ignoring case, though that may name another file.
TEST_F(ResFileTest, IncludesNestTenFilesDeepAndNeverReopenAnOpenOne) {
  Write("LEVEL0.R", "lvcase: 1\n");
  for (int i = 0; i <= 11; ++i) {
    Write("level" + std::to_string(i) + ".r",
          "lv" + std::to_string(i) + ": " + std::to_string(i) + "\n%INCLUDE   " + dir_.path() +
              "/level" + std::to_string(i + 1) + ".r\n%include " + dir_.path() +
              "/LEVEL0.R\nlvafter" + std::to_string(i) + ": x\n");
  }
  ResFile file((dir_.path() + "/level0.r").c_str(), nullptr);
  std::string entries = Entries(file);
  for (int i = 0; i <= 11; ++i) {
    bool read = i < 10;
    EXPECT_EQ(read, entries.find("LV" + std::to_string(i) + "=") != std::string::npos) << i;
    EXPECT_EQ(read, entries.find("LVAFTER" + std::to_string(i) + "=") != std::string::npos);
  }
  EXPECT_EQ(std::string::npos, entries.find("LVCASE"));
}

// Pipes, devices and directories are skipped: each would block the load or never end, if it
// were read. Templates resolve once the whole file is read.
TEST_F(ResFileTest, IncludesReadQuotedNamesAndSkipAnythingButRegularFiles) {
  const std::string fifo = dir_.path() + "/fifo";
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  // The template named before the file that holds it is included.
  std::string inner = Write("inner.r", "!tfbase.tfbutton.color: red\n");
  auto file = Load("tfform.template: tfbase\n%include \"" + inner + "\"\n%include " + fifo +
                   "\n%include /dev/zero\n%include " + dir_.path() + "\n%include " + dir_.path() +
                   "/nowhere.r\nafter: 1\n");
  EXPECT_EQ("!TFBASE.TFBUTTON.COLOR=red\nAFTER=1\nTFFORM.TEMPLATE=tfbase\n", Entries(*file));
  EXPECT_EQ("red", Text(ResInfo(file.get(), "tfform.tfbutton.color").GetValue()));
  for (const std::string& unread : {std::string("/dev/zero"), fifo, dir_.path() + "/nowhere.r"}) {
    ResFile nothing(unread.c_str(), nullptr);
    EXPECT_EQ("", Entries(nothing)) << unread;
    EXPECT_EQ(nullptr, nothing.GetName());
    EXPECT_EQ(0u, nothing.GetValue());
  }
}

TEST_F(ResFileTest, TemplatesNamingEachOtherStayBounded) {
  // Each resolution folds the expansion so far into the template lists; without a bound a
  // query below such a form would visit billions of nodes.
  auto file = Load(
      "!hy.template: hy\n"
      "!hy*template: hy\n"
      "!hy.template: hz\n"
      "!hz.template: hy\n"
      "!hz*template: hz\n"
      "hform.template: hy\n"
      "!hy.hx: found\n"
      "!hy.hx.template: hy\n"
      "!hz.hx.template: hz\n"
      "!hy.hx*hw: deep\n");
  ResInfo form(file.get(), "hform");
  EXPECT_LE(form.GetNodes().size(), 4096u);
  EXPECT_EQ("found", Text(ResInfo(&form, "hx").GetValue()));
  // Every further step multiplies the expansion again, in the result and in the wild list.
  ResInfo deep(file.get(), "hform.hx.hx.hx.hx");
  EXPECT_LE(deep.GetNodes().size(), 4096u);
  EXPECT_LE(deep.GetWild().size(), 4096u);
  EXPECT_EQ("found", Text(deep.GetValue()));
  EXPECT_EQ("deep", Text(ResInfo(&deep, "hx.hw").GetValue()));
  // A template list names each node once.
  std::vector<const ResData*> templates;
  for (const ResData* node : deep.GetNodes()) {
    templates.assign(node->GetTemplates().begin(), node->GetTemplates().end());
    std::sort(templates.begin(), templates.end());
    EXPECT_EQ(templates.end(), std::adjacent_find(templates.begin(), templates.end()));
  }
}

TEST_F(ResFileTest, DumpWritesWhatTheLoaderWouldReadOtherwiseAsEntriesOrComments) {
  // Plain entries of every binding, and long values.
  std::vector<std::string> readable = {
      "rt.form.title: Customer entry", "rt.form*color: blue",     "*rtfont: fixed",
      "rt.form.?.width: 10",           "!rtbase.field.height: 2", "rt.form.template: rtbase",
      "rt.form.host: server:8080"};
  readable.push_back("rt.form.exactly39: " + std::string(39, 'n'));
  readable.push_back("rt.form.long: ");
  for (int i = 0; i < 30; ++i) readable.back() += (i % 3 ? " part" : ";part") + std::to_string(i);
  // Entries the loader would take for a comment, a directive or a shorter path without their
  // leading tight binding.
  readable.insert(readable.end(), {"#hash: 1", " blank: 2", "%include x.r: 3", "%using: 4",
                                   "..empty: 5", "mid..dle: 6", "ab: two\\\\", "*%include: 7"});
  // Entries the format cannot express.
  const std::vector<std::string> unreadable = {
      "ab..: 8",    "lead:  x",          "trail: x\t",
      "slash: x\\", "quote: say \"hi\"", "lines: one\n%include /etc/passwd\ntwo: 3",
      "co:lon: 9"};
  ResFile made, expected;
  AddEntries(&made, readable);
  AddEntries(&made, unreadable);
  AddEntries(&expected, readable);
  made.PostAdd();
  expected.PostAdd();

  const std::string dump = Capture([&](FILE* f) { made.Dump(f); });
  ResFile again(Write("dump.r", dump).c_str(), nullptr);
  EXPECT_EQ(Capture([&](FILE* f) { expected.Dump(f); }), Capture([&](FILE* f) { again.Dump(f); }));
  EXPECT_EQ("2", Text(ResInfo(&again, "rt.form.field.height").GetValue()));
  size_t comments = 0;
  for (size_t at = 0; at < dump.size(); at = dump.find('\n', at) + 1) {
    EXPECT_NE('%', dump[at]) << dump.substr(at, dump.find('\n', at) - at);
    if (dump[at] == '#') ++comments;
  }
  EXPECT_EQ(unreadable.size(), comments) << dump;
}

TEST_F(ResFileTest, CloneCopiesTheTreeWithoutTheCache) {
  auto file = Load("clf.a: 1\n!clbase.b: 2\nclf.template: clbase\n");
  std::unique_ptr<ResFile> copy(file->Clone());
  EXPECT_EQ(Entries(*file), Entries(*copy));
  EXPECT_EQ("2", Text(ResInfo(copy.get(), "clf.b").GetValue()));
  EXPECT_EQ(nullptr, copy->GetName());

  ResFile blank;
  EXPECT_STREQ("<blank>", blank.GetName());
  EXPECT_STREQ("<blank>", std::unique_ptr<ResFile>(blank.Clone())->GetName());
  blank.AddResource("!blbase.v", "inherited");
  blank.AddResource("blform.template", "blbase");
  blank.PostAdd();
  std::unique_ptr<ResInfo> byAtoms(
      blank.LocateResourceData(Atom::Atomize("BLFORM"), Atom::Atomize("V"), 0u));
  EXPECT_EQ("inherited", Text(byAtoms->GetValue()));
  EXPECT_EQ(nullptr, blank.GetFileCache());
}

TEST_F(ResFileTest, FileReferencesBecomeTheNewestCachedCopy) {
  // Without settings, the cache keeps its files under $TEMP.
  test_files::ScopedEnv temp("TEMP", dir_.path().c_str());
  CCorvathFileCache cache(dir_.path() + "/no-settings");
  testing_cache::StoreCopy(&cache, "pics/logo.bmp", 1, "image");
  const std::string newest = testing_cache::StoreCopy(&cache, "pics/logo.bmp", 2, "image");
  const std::string text =
      "fr.logo: \"[file]pics/logo.bmp\"\n"
      "fr.other: \"[file]pics/unknown.bmp\"\n"
      "fr.plain: no reference\n";
  auto with_cache = Load(text, &cache);
  EXPECT_EQ(&cache, with_cache->GetFileCache());
  EXPECT_EQ(newest, Text(ResInfo(with_cache.get(), "fr.logo").GetValue()));
  EXPECT_NE(std::string::npos, newest.find("v2_logo.bmp"));
  EXPECT_EQ("[file]pics/unknown.bmp", Text(ResInfo(with_cache.get(), "fr.other").GetValue()));

  auto without = Load(text);
  EXPECT_EQ("[file]pics/logo.bmp", Text(ResInfo(without.get(), "fr.logo").GetValue()));
  EXPECT_EQ(1, without->SetFileCache(&cache));
  without->ProcessFile((dir_.path() + "/main.r").c_str());
  EXPECT_EQ(newest, Text(ResInfo(without.get(), "fr.logo").GetValue()));
}

TEST_F(ResFileTest, TwoThreadsLoadAtOnce) {
  std::string part;
  for (int i = 0; i < 2000; ++i) {
    part += "th.f" + std::to_string(i % 50) + ".w" + std::to_string(i) + ": v" + std::to_string(i) +
            "\\\n tail\n";
  }
  std::string inner = Write("part.r", part);
  std::string outer = Write("outer.r", "%include " + inner + "\nth.top: 1\n");
  ResFile serial(outer.c_str(), nullptr);
  std::string expected = Entries(serial);
  std::unique_ptr<ResFile> loaded[2];
  std::thread other([&] { loaded[1] = std::make_unique<ResFile>(outer.c_str(), nullptr); });
  loaded[0] = std::make_unique<ResFile>(outer.c_str(), nullptr);
  other.join();
  EXPECT_EQ(expected, Entries(*loaded[0]));
  EXPECT_EQ(expected, Entries(*loaded[1]));
  EXPECT_NE(std::string::npos, expected.find("TH.F7.W1007=v1007 tail\n"));
}

}  // namespace
}  // namespace nycl
