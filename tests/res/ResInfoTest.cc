#include "nycl/res/ResInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "res/ResTestSupport.h"

namespace nycl {
namespace {

using testing_res::PathOf;
using testing_res::Render;
using testing_res::Text;
using testing_res::Upper;

class ResInfoTest : public ::testing::Test {
 protected:
  // Adds the entries, then resolves the templates among them.
  void Load(std::initializer_list<std::string> entries) {
    testing_res::AddEntries(&file_, entries);
    file_.PostAdd();
  }

  ResFile file_;
};

TEST_F(ResInfoTest, NullParentGivesAnEmptyHandle) {
  ResInfo handle(nullptr, "nothing.here");
  EXPECT_EQ(0u, handle.GetValue());
  EXPECT_EQ(handle.begin(), handle.end());
  EXPECT_EQ(handle.abegin(), handle.aend());
  EXPECT_FALSE(handle.begin().EnumValid());
  EXPECT_STREQ("", handle.GetResinfoName());
  EXPECT_EQ(Atom::Atomize("dflt"), handle.FindResourceA("x", "dflt"));
  EXPECT_EQ(Atom::Atomize("dflt"), handle.FindResourceSub("x", "dflt"));
  ResInfo empty;
  EXPECT_EQ(0u, empty.GetValue());
  EXPECT_TRUE(empty.GetPath().empty());
}

TEST_F(ResInfoTest, HandlesNarrowStepByStep) {
  Load({"qform.qbutton.color: red", "qform.qbutton: itself"});
  ResInfo form(&file_, "qform");
  ResInfo button(&form, "QButton");
  EXPECT_STREQ("itself", Atom::DeAtomize(button.GetValue()));
  EXPECT_STREQ("red", Atom::DeAtomize(button.FindResourceA("color", "none")));
  EXPECT_STREQ("none", Atom::DeAtomize(button.FindResourceW("size", "none")));
  EXPECT_EQ(0u, form.GetValue());  // QFORM only carries children
  EXPECT_STREQ("QFORM.QBUTTON.", button.GetResinfoName());
  EXPECT_EQ("QFORM.QBUTTON=itself", Render(button.GetNodes()));

  unsigned int qform = Atom::Atomize("QFORM");
  unsigned int qbutton = Atom::Atomize("QBUTTON");
  unsigned int color = Atom::Atomize("COLOR");
  ResInfo inline_path(&file_, qform, qbutton, color, 0u);
  ResInfo listed(&file_, std::list<unsigned int>{qform, qbutton, color});
  ResInfo single(&button, color);
  ResInfo one_of_variadic(&button, color, 0u);
  for (const ResInfo* handle : {&inline_path, &listed, &single, &one_of_variadic}) {
    EXPECT_STREQ("red", Atom::DeAtomize(handle->GetValue()));
  }
  EXPECT_STREQ("QFORM.QBUTTON.COLOR.", single.GetResinfoName());

  ResInfo same(&button);
  EXPECT_EQ(button.GetNodes(), same.GetNodes());
  ResInfo copy(button);
  EXPECT_STREQ("QFORM.QBUTTON.", copy.GetResinfoName());
  EXPECT_NE(button.GetResinfoName(), copy.GetResinfoName());
  EXPECT_STREQ("NMNEWA.NMNEWB.", ResInfo(&file_, "nmnewa.nmnewb").GetResinfoName());
  // FindResourceA upper-cases the text of the name it is given, in place.
  unsigned int name = Atom::Atomize("lowcolorname2");
  EXPECT_EQ(Atom::Atomize("fallback"), form.FindResourceA(name, Atom::Atomize("fallback")));
  EXPECT_STREQ("LOWCOLORNAME2", Atom::DeAtomize(name));
  EXPECT_STREQ("red", Atom::DeAtomize(button.FindResourceA(Atom::Atomize("CoLoR"), 0)));
}

TEST_F(ResInfoTest, LooseEntriesKeepMatchingBelowNarrowedHandles) {
  Load({"wform*color: blue", "wform.inner.color: green"});
  ResInfo form(&file_, "wform");
  EXPECT_TRUE(form.GetWild().empty());  // its loose children count from the next name on
  ResInfo deep(&form, "a.b.c");
  EXPECT_EQ("WFORM=-", Render(deep.GetWild()));
  EXPECT_STREQ("blue", Atom::DeAtomize(deep.FindResourceA("color", "none")));
  ResInfo inner(&form, "inner");
  EXPECT_STREQ("green", Atom::DeAtomize(inner.FindResourceA("color", "none")));

  std::string wild;
  for (AResDataListEnum it = deep.wbegin(); it != deep.wend(); it++) wild += PathOf(*it) + " ";
  EXPECT_EQ("WFORM ", wild);
  AResDataListEnum it = deep.wbegin();
  EXPECT_EQ(deep.wbegin(), --it);
  EXPECT_EQ(deep.wend(), ++it);
  EXPECT_EQ(nullptr, *it);
  EXPECT_EQ(deep.wend(), ++it);
}

TEST_F(ResInfoTest, FindResourceSubSearchesMatchedNodesThenFirstChildren) {
  Load({"sbform.sbz.sbtarget: under-z", "sbform.sba.sbdeep.sbtarget: under-a", "sbform.sbleaf: 1"});
  ResInfo form(&file_, "sbform");
  unsigned int target = Atom::Atomize("SBTARGET");
  // The search descends into the child with the lowest atom, whichever that is.
  const ResData* first = form.GetNodes().front()->GetTight().begin()->second;
  std::string expected = PathOf(first) == "SBFORM.SBZ"   ? "under-z"
                         : PathOf(first) == "SBFORM.SBA" ? "under-a"
                                                         : "";
  EXPECT_EQ(expected, Text(form.FindResourceSubA(target, 0)));
  EXPECT_EQ("none", Text(form.FindResourceSub("sbmissing", "none")));
  ResInfo target_handle(&form, "sbz.sbtarget");
  EXPECT_EQ("under-z", Text(target_handle.FindResourceSubA(target, 0)));
  ResInfo leaf(&form, "sbleaf");
  EXPECT_EQ("dflt", Text(leaf.FindResourceSub("anything", "dflt")));
}

TEST_F(ResInfoTest, EnumerationListsEachNameOnceAndSkipsMarkersAndWildcards) {
  // ENFORM.ENY only carries children.
  Load({"!enbase.enx: base-x", "!enbase.enz: base-z", "enform.template: enbase",
        "enform.enx: form-x", "enform.eny.deeper: 1", "enform.?: any"});
  ResInfo form(&file_, "enform");
  ASSERT_EQ("ENFORM=- !ENBASE=-", Render(form.GetNodes()));
  // Both walks sorted, since names follow in the order of their atoms.
  std::vector<std::string> walked, all;
  for (ResDataListEnum it = form.begin(); it != form.end(); ++it) {
    walked.push_back(Render(ResDataList{*it}));
  }
  for (ResDataListEnum it = form.abegin(); it != form.aend(); it.AllIncrement()) {
    all.push_back(PathOf(*it));
  }
  std::sort(walked.begin(), walked.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ((std::vector<std::string>{"!ENBASE.ENZ=base-z", "ENFORM.ENX=form-x",
                                      "ENFORM.TEMPLATE=enbase"}),
            walked);
  EXPECT_EQ((std::vector<std::string>{"!ENBASE.ENX", "!ENBASE.ENZ", "ENFORM.?", "ENFORM.ENX",
                                      "ENFORM.ENY", "ENFORM.TEMPLATE"}),
            all);
}

// A walk steps both ways over the same children, skipping in either direction a template's
// child that a nearer node already listed under its name, and stays put at either end.
TEST_F(ResInfoTest, EnumeratorsStepBothWaysAndStopAtTheEnds) {
  Load({"!bkbase.bkshared: base", "!bkbase.bkonly: base-only", "bkform.template: bkbase",
        "bkform.bkshared: bkform-own"});
  ResInfo form(&file_, "bkform");
  ResDataListEnum it = form.begin();
  ResDataListEnum first = it++;
  ResDataListEnum second = it++;
  EXPECT_NE(first, second);
  EXPECT_EQ(first, form.begin());
  EXPECT_EQ(second, form.GetNextItem(first));
  ResDataListEnum third = it;
  EXPECT_TRUE(third.EnumValid());
  EXPECT_EQ(form.end(), ++it);
  EXPECT_FALSE(it.EnumValid());
  EXPECT_EQ(nullptr, *it);
  EXPECT_EQ(form.end(), ++it);
  EXPECT_EQ(third, --it);
  EXPECT_EQ(second, --it);
  EXPECT_EQ(first, --it);
  EXPECT_EQ(first, --it);
  ResDataListEnum before = it--;
  EXPECT_EQ(first, before);
  EXPECT_EQ(first->GetName(), (*form.begin())->GetName());
  EXPECT_EQ(ResDataListEnum(), ResDataListEnum());
  EXPECT_NE(ResDataListEnum(), form.begin());
}

TEST_F(ResInfoTest, AddAppendsNodesAndWildLists) {
  Load({"adda.addv: 1", "addb*addv: 2"});
  ResInfo a(&file_, "adda");
  ResInfo b(&file_, "addb.addq");
  EXPECT_EQ("", Render(b.GetNodes()));
  a.Add(&b);
  EXPECT_EQ("ADDA=-", Render(a.GetNodes()));
  EXPECT_EQ("ADDB=-", Render(a.GetWild()));
  EXPECT_STREQ("ADDA.", a.GetResinfoName());
  EXPECT_EQ("ADDA.ADDV=1 ADDB*ADDV=2", Render(ResInfo(&a, "addv").GetNodes()));
}

// A handle keeps its path and wild list in place up to a point; longer ones must read the
// same, in handles narrowed, copied and added to themselves.
TEST_F(ResInfoTest, LongPathsAndWildListsReadAsShortOnes) {
  std::string path = "wl0";
  std::string expected_wild;
  for (int i = 1; i <= 24; ++i) {
    file_.AddResource((path + "*wlleaf").c_str(), ("v" + std::to_string(i)).c_str());
    expected_wild = Upper(path) + "=-" + (i == 1 ? "" : " ") + expected_wild;  // nearest first
    path += ".wl" + std::to_string(i);
  }
  file_.PostAdd();
  ResInfo deep(&file_, (path + ".wlnone").c_str());
  EXPECT_EQ(expected_wild, Render(deep.GetWild()));
  EXPECT_EQ(26u, deep.GetPath().size());
  ResInfo leaf(&deep, "wlleaf");
  EXPECT_EQ(24u, leaf.GetNodes().size());
  EXPECT_STREQ("v24", Atom::DeAtomize(leaf.GetValue()));
  EXPECT_EQ(27u, leaf.GetPath().size());

  ResInfo copy(deep);
  EXPECT_EQ(Render(deep.GetWild()), Render(copy.GetWild()));
  EXPECT_STREQ(deep.GetResinfoName(), copy.GetResinfoName());
  size_t walked = 0;
  for (AResDataListEnum it = copy.wbegin(); it != copy.wend(); ++it) ++walked;
  EXPECT_EQ(24u, walked);
  copy.Add(&copy);
  EXPECT_EQ(expected_wild + " " + expected_wild, Render(copy.GetWild()));
  EXPECT_EQ(Render(deep.GetNodes()), Render(ResInfo(&deep).GetNodes()));
}

}  // namespace
}  // namespace nycl
