#include "nycl/res/ResData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "nycl/res/Atom.h"
#include "nycl/res/ResNodePool.h"
#include "res/ResTestSupport.h"

namespace nycl {
namespace {

using testing_res::AddEntries;
using testing_res::Capture;
using testing_res::Render;
using testing_res::Text;
using testing_res::Upper;

class ResDataTest : public ::testing::Test {
 protected:
  // The nodes that `path` leads to from the root, rendered.
  std::string Find(const char* path) {
    ResDataList wild;
    return Render(
        ResData::FindList(ResDataList(1, &root_), Atom::AtomizeVector(Upper(path).c_str()), wild));
  }
  ResData* Child(ResData* node, const char* name) {
    auto found = node->GetTight().find(Atom::Atomize(name));
    return found == node->GetTight().end() ? nullptr : found->second;
  }
  std::string Dump() {
    return Capture([this](FILE* f) { root_.Dump(f, ""); });
  }

  ResData root_;
};

// Every node a path leads to, in order: a node's tight child, then its loose child, then the
// loose children of the nodes passed on the way, nearest first; "?" stands for any name but a
// template's. A later entry replaces the value of an earlier one; parents carry no value.
TEST_F(ResDataTest, LookupListsTightThenLooseMatchesAtEveryDepth) {
  root_.AddResource("t1.t2.t3", "replaced");
  for (const char* entry :
       {"t1.t2.t3", "la*lb", "la*lb.ld", "*lc", "oa.ob", "oa*ob", "*ob", "qa.?", "qa.named"}) {
    root_.AddResource(entry, (std::string(entry) + "=v").c_str());
  }
  const std::pair<const char*, const char*> lookups[] = {
      {"t1.t2.t3", "T1.T2.T3=t1.t2.t3=v"},
      {"t1.t3", ""},
      {"t1.x.t2.t3", ""},
      {"t1.t2", "T1.T2=-"},
      {"la.lb", "LA*LB=la*lb=v"},
      {"la.x.y.z.lb", "LA*LB=la*lb=v"},
      {"la.x.lb.ld", "LA*LB.LD=la*lb.ld=v"},
      {"lb", ""},
      {"la.lb.x", ""},
      {"lc", "*LC=*lc=v"},
      {"la.q.lc", "*LC=*lc=v"},
      {"oa.ob", "OA.OB=oa.ob=v OA*OB=oa*ob=v *OB=*ob=v"},
      {"qa.anything", "QA.?=qa.?=v"},
      {"qa.named", "QA.NAMED=qa.named=v QA.?=qa.?=v"},
      {"qa.!name", ""},
  };
  for (const auto& lookup : lookups) EXPECT_EQ(lookup.second, Find(lookup.first)) << lookup.first;
  // One name from a node alone: its tight child, then its loose one; the node itself goes on
  // the wild list, since it has loose children.
  ResData* oa = Child(&root_, "OA");
  ResDataList out, wild, unused;
  oa->FindAtomA(Atom::Atomize("OB"), out, wild, unused);
  EXPECT_EQ("OA.OB=oa.ob=v OA*OB=oa*ob=v", Render(out));
  EXPECT_EQ("OA=-", Render(wild));
}

TEST_F(ResDataTest, TemplatesAreInheritedThroughTheirBangNames) {
  AddEntries(&root_,
             {"!tbase.tbutton.color: red", "tform.template: tbase", "tform.tbutton.width: 10",
              "tother.template: !tbase", "tlost.template: nosuchtemplate"});
  root_.ResolveTemplates(&root_);
  EXPECT_EQ("TFORM.TBUTTON=- !TBASE.TBUTTON=-", Find("tform.tbutton"));
  EXPECT_EQ("!TBASE.TBUTTON.COLOR=red", Find("tform.tbutton.color"));
  EXPECT_EQ("TFORM.TBUTTON.WIDTH=10", Find("tform.tbutton.width"));
  EXPECT_EQ("!TBASE.TBUTTON.COLOR=red", Find("tother.tbutton.color"));
  EXPECT_EQ("TLOST=-", Find("tlost"));
  EXPECT_TRUE(Child(&root_, "TLOST")->GetTemplates().empty());
  // Resolving again rebuilds rather than appends.
  root_.ResolveTemplates(&root_);
  EXPECT_EQ(1u, Child(&root_, "TFORM")->GetTemplates().size());
}

TEST_F(ResDataTest, TemplateChainsStopAfterEightNodes) {
  std::vector<std::unique_ptr<ResData>> chain;
  for (int i = 0; i < 10; ++i) {
    chain.emplace_back(new ResData(nullptr, Atom::Atomize(("chain" + std::to_string(i)).c_str()),
                                   Atom::Atomize(std::to_string(i).c_str()), false));
    if (i > 0) chain[i - 1]->AddTemplate(chain[i].get());
  }
  ResDataList list;
  ResData::FindAddToList(list, chain[0].get());
  EXPECT_EQ("chain0=0 chain1=1 chain2=2 chain3=3 chain4=4 chain5=5 chain6=6 chain7=7",
            Render(list));
  // A cycle is cut the same way.
  ResData ping(nullptr, Atom::Atomize("ping"), Atom::Atomize("1"), false);
  ResData pong(nullptr, Atom::Atomize("pong"), Atom::Atomize("2"), false);
  ping.AddTemplate(&pong);
  pong.AddTemplate(&ping);
  list.clear();
  ResData::FindAddToList(list, &ping);
  EXPECT_EQ("ping=1 pong=2 ping=1 pong=2 ping=1 pong=2 ping=1 pong=2", Render(list));
}

TEST_F(ResDataTest, DumpValueBreaksLongTextBeforeWords) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "word" + std::to_string(i) + " ";
  text += "end";
  std::string out = Capture([&](FILE* f) { ResData::DumpValue(f, Atom::Atomize(text.c_str())); });
  // Pieces of at least 60 bytes, each ending right before a word, joined back by the
  // continuation backslashes.
  EXPECT_EQ(
      "\\\nword0 word1 word2 word3 word4 word5 word6 word7 word8 word9 \\\n"
      "word10 word11 word12 word13 word14 word15 word16 word17 word18 \\\nword19 end\n",
      out);
  std::string unbroken(130, 'z');
  EXPECT_EQ("\\\n" + unbroken + "\n",
            Capture([&](FILE* f) { ResData::DumpValue(f, Atom::Atomize(unbroken.c_str())); }));
}

// Values of 40 bytes or more start on a line of their own.
TEST_F(ResDataTest, DumpListsTightThenLooseChildrenWithMarkerValues) {
  root_.AddResource("dmpa.dmpb", std::string(39, 'x').c_str());
  root_.AddResource("dmpa*dmpc", std::string(40, 'y').c_str());
  std::string null_text = Text(ResData::GetResNull());
  EXPECT_EQ("DMPA:\t" + null_text + "\nDMPA.DMPB:\t" + std::string(39, 'x') + "\nDMPA*DMPC:\t\\\n" +
                std::string(40, 'y') + "\n",
            Dump());
}

TEST_F(ResDataTest, CloneCopiesTheTreeButNotItsTemplates) {
  AddEntries(&root_, {"!clbase.x: 1", "clform.template: clbase", "clform*loose: 2"});
  root_.ResolveTemplates(&root_);
  ResData copy;
  copy.CloneFrom(&root_);
  EXPECT_EQ(Dump(), Capture([&](FILE* f) { copy.Dump(f, ""); }));
  ResData* form = Child(&copy, "CLFORM");
  EXPECT_TRUE(form->GetTemplates().empty());
  EXPECT_EQ(&copy, form->GetParent());
  EXPECT_TRUE(form->GetLoose().begin()->second->IsLoose());
  root_.AddResource("clform*loose", "changed");
  EXPECT_EQ("2", Text(form->GetLoose().begin()->second->GetValue()));

  ResData* alone = Child(&root_, "CLFORM")->Clone(nullptr, true);
  EXPECT_TRUE(alone->IsLoose());
  EXPECT_EQ(nullptr, alone->GetParent());
  delete alone;
}

TEST_F(ResDataTest, AddSubInfoReplacesTheNodeOfTheSameName) {
  unsigned int name = Atom::Atomize("SUBREPL");
  root_.AddSubInfo(new ResData(&root_, name, Atom::Atomize("old"), false));
  root_.AddSubInfo(new ResData(&root_, name, Atom::Atomize("new"), false));
  root_.AddSubWeak(new ResData(&root_, name, Atom::Atomize("weak"), true));
  EXPECT_EQ("SUBREPL=new *SUBREPL=weak", Find("subrepl"));
  RDIterator it = root_.begin();
  EXPECT_EQ(Child(&root_, "SUBREPL"), *it);
  EXPECT_EQ(root_.end(), ++it);
  EXPECT_EQ(nullptr, *it);
  EXPECT_EQ(root_.end(), ++it);
  EXPECT_EQ(root_.begin(), --it);
  EXPECT_EQ(root_.begin(), --it);
}

TEST(ResNodePoolTest, BlocksMayBeFreedByAnotherThreadThatThenEnds) {
  std::vector<void*> blocks(20000);
  for (void*& block : blocks) {
    block = ResNodePool::Allocate(48);
    std::memset(block, 0x5a, 48);
  }
  std::thread other([&blocks] {
    for (void* block : blocks) ResNodePool::Free(block, 48);
    // Blocks allocated here stay valid after the thread ends.
    for (void*& block : blocks) block = ResNodePool::Allocate(48);
  });
  other.join();
  std::set<void*> distinct(blocks.begin(), blocks.end());
  EXPECT_EQ(blocks.size(), distinct.size());
  for (void* block : blocks) {
    std::memset(block, 0xa5, 48);
    ResNodePool::Free(block, 48);
  }
  void* big = ResNodePool::Allocate(ResNodePool::kMaxPooled + 1);
  ResNodePool::Free(big, ResNodePool::kMaxPooled + 1);
}

}  // namespace
}  // namespace nycl
