#include "nycl/res/ResData.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "res/ResTestSupport.h"

namespace nycl {
namespace {

using testing_res::Capture;
using testing_res::PathOf;
using testing_res::Render;
using testing_res::Text;

class ResDataTest : public ::testing::Test {
 protected:
  // The nodes that `path` leads to from the root, rendered.
  std::string Find(const char* path) {
    std::string upper = path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ResDataList wild;
    return Render(
        ResData::FindList(ResDataList(1, &root_), Atom::AtomizeVector(upper.c_str()), wild));
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

TEST_F(ResDataTest, LaterEntryReplacesValueAndParentsCarryNoValue) {
  root_.AddResource("rda.rdb", "1");
  root_.AddResource("rda.rdb", "2");
  ResData* a = Child(&root_, "RDA");
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(ResData::GetResNull(), a->GetValue());
  EXPECT_EQ(1u, a->GetTight().size());
  EXPECT_EQ("2", Text(Child(a, "RDB")->GetValue()));
  EXPECT_EQ(a, Child(a, "RDB")->GetParent());
  EXPECT_EQ("RDA.RDB=2", Find("rda.rdb"));
}

TEST_F(ResDataTest, TightBindingMatchesOnlyDirectChildren) {
  root_.AddResource("t1.t2.t3", "deep");
  EXPECT_EQ("T1.T2.T3=deep", Find("t1.t2.t3"));
  EXPECT_EQ("", Find("t1.t3"));
  EXPECT_EQ("", Find("t1.x.t2.t3"));
  EXPECT_EQ("T1.T2=-", Find("t1.t2"));
}

TEST_F(ResDataTest, LooseBindingMatchesAtAnyDepth) {
  root_.AddResource("la*lb", "1");
  EXPECT_EQ("LA*LB=1", Find("la.lb"));
  EXPECT_EQ("LA*LB=1", Find("la.x.lb"));
  EXPECT_EQ("LA*LB=1", Find("la.x.y.z.lb"));
  EXPECT_EQ("", Find("lb"));
  EXPECT_EQ("", Find("la.lb.x"));
  root_.AddResource("*lc", "lc-top");
  EXPECT_EQ("*LC=lc-top", Find("lc"));
  EXPECT_EQ("*LC=lc-top", Find("la.q.lc"));
}

TEST_F(ResDataTest, TightAndLooseMatchesAreAllListedInOrder) {
  root_.AddResource("oa.ob", "oa-tight");
  root_.AddResource("oa*ob", "oa-loose");
  root_.AddResource("*ob", "oa-root");
  EXPECT_EQ("OA.OB=oa-tight OA*OB=oa-loose *OB=oa-root", Find("oa.ob"));
}

TEST_F(ResDataTest, QuestionMarkMatchesAnyNameButTemplateNames) {
  root_.AddResource("qa.?", "any");
  root_.AddResource("qa.named", "qa-own");
  EXPECT_EQ("QA.?=any", Find("qa.anything"));
  EXPECT_EQ("QA.NAMED=qa-own QA.?=any", Find("qa.named"));
  EXPECT_EQ("", Find("qa.!name"));
}

TEST_F(ResDataTest, TemplatesAreInheritedThroughTheirBangNames) {
  root_.AddResource("!tbase.tbutton.color", "red");
  root_.AddResource("tform.template", "tbase");
  root_.AddResource("tform.tbutton.width", "10");
  root_.AddResource("tother.template", "!tbase");
  root_.AddResource("tlost.template", "nosuchtemplate");
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

TEST_F(ResDataTest, DescribeGivesThePathWithBindings) {
  root_.AddResource("descA*descB.descC", "v");
  ResData* a = Child(&root_, "DESCA");
  ResData* b = a->GetLoose().begin()->second;
  EXPECT_EQ("DESCA*DESCB.DESCC", PathOf(Child(b, "DESCC")));
  EXPECT_EQ("", PathOf(&root_));
  root_.AddResource("*descD", "v");
  EXPECT_EQ("*DESCD", PathOf(root_.GetLoose().begin()->second));
}

TEST_F(ResDataTest, DumpFoldsValuesOfFortyBytesOrMore) {
  std::string short_value(39, 'x');
  std::string long_value(40, 'y');
  root_.AddResource("dumpshort", short_value.c_str());
  EXPECT_EQ("DUMPSHORT:\t" + short_value + "\n", Dump());
  ResData other;
  other.AddResource("dumplong", long_value.c_str());
  EXPECT_EQ("DUMPLONG:\t\\\n" + long_value + "\n", Capture([&](FILE* f) { other.Dump(f, ""); }));
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

TEST_F(ResDataTest, DumpListsTightThenLooseChildrenWithMarkerValues) {
  root_.AddResource("dmpa.dmpb", "1");
  root_.AddResource("dmpa*dmpc", "2");
  std::string null_text = Text(ResData::GetResNull());
  EXPECT_EQ("DMPA:\t" + null_text + "\nDMPA.DMPB:\t1\nDMPA*DMPC:\t2\n", Dump());
}

TEST_F(ResDataTest, CloneCopiesTheTreeButNotItsTemplates) {
  root_.AddResource("!clbase.x", "1");
  root_.AddResource("clform.template", "clbase");
  root_.AddResource("clform*loose", "2");
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
  EXPECT_EQ(1u, root_.GetSub().size());
  RDIterator it = root_.begin();
  EXPECT_EQ(Child(&root_, "SUBREPL"), *it);
  EXPECT_EQ(root_.end(), ++it);
  EXPECT_EQ(nullptr, *it);
  EXPECT_EQ(root_.end(), ++it);
  EXPECT_EQ(root_.begin(), --it);
  EXPECT_EQ(root_.begin(), --it);
}

TEST_F(ResDataTest, FindAtomAListsTightThenLooseAndCollectsWild) {
  root_.AddResource("fa", "fa-tight");
  root_.AddResource("*fa", "fa-loose");
  ResDataList out, wild, unused;
  root_.FindAtomA(Atom::Atomize("FA"), out, wild, unused);
  EXPECT_EQ("FA=fa-tight *FA=fa-loose", Render(out));
  ASSERT_EQ(1u, wild.size());
  EXPECT_EQ(&root_, wild.front());
}

}  // namespace
}  // namespace nycl
