#include "nycl/base/XString.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

namespace nycl {
namespace {

// Runs `action` and returns the message of the XStringException it raises, after "new: " when
// it was thrown by pointer (the catcher owns it), as some operations do.
template <typename Action>
std::string Thrown(Action action) {
  try {
    action();
  } catch (XStringException* e) {
    std::unique_ptr<XStringException> owned(e);
    return std::string("new: ") + e->GetMessage();
  } catch (const XStringException& e) {
    return e.GetMessage();
  }
  return "nothing thrown";
}

TEST(XStringTest, EmptyTextsShareOneRepresentationAndConcatenatingOneSharesTheOther) {
  XString a(nullptr), b(""), c("xyz", 0), d;
  EXPECT_EQ(a.Rep(), b.Rep());
  EXPECT_EQ(b.Rep(), c.Rep());
  EXPECT_EQ(c.Rep(), d.Rep());
  EXPECT_STREQ(a.c_str(), "");

  XString s("mid");
  EXPECT_STREQ(("<" + s + ">").c_str(), "<mid>");
  EXPECT_STREQ((s + static_cast<const char*>(nullptr)).c_str(), "mid");
  EXPECT_EQ(("" + s).Rep(), s.Rep());
}

TEST(XStringTest, ReserveOnASharedTextKeepsRoomForTheWholeText) {
  const std::string forty(40, 'a');
  XString original(forty.c_str());
  for (int n : {1, 7, 0}) {
    XString copy(original);
    copy.Reserve(n);
    EXPECT_NE(copy.Rep(), original.Rep());
    EXPECT_GE(copy.Rep()->capacity, 40) << n;
    EXPECT_EQ(forty, copy.c_str());
    copy += "b";
    EXPECT_EQ(forty + "b", copy.c_str());
  }
  EXPECT_EQ(forty, original.c_str());

  XString shared(original);
  EXPECT_EQ(Thrown([&] { shared.Reserve(-1); }), "new: Invalid size to XString::Reserve");
  EXPECT_EQ(Thrown([&] { shared.Reserve(INT_MAX); }), "Out of memory!");
  EXPECT_EQ(shared.Rep(), original.Rep());
}

TEST(XStringTest, IteratorsCountNegativeIndicesFromTheEndAndSetAtTheEndGrows) {
  XString s("abcd");
  EXPECT_EQ(*s.At(-1), 'd');
  EXPECT_EQ(*s.At(-4), 'a');
  EXPECT_EQ(s.At(4), s.end());
  EXPECT_EQ(Thrown([&] { s.At(-5); }), "String Iterator out of bounds");
  EXPECT_EQ(Thrown([&] { s.At(5); }), "String Iterator out of bounds");
  EXPECT_EQ(Thrown([&] { s.begin() + 5; }), "String Iterator out of bounds");
  EXPECT_EQ(*(s.begin() + 2), 'c');
  // Moving before the start counts from the end, like At.
  EXPECT_EQ(*(s.begin() + (-1)), 'd');
  EXPECT_EQ(*(s.At(1) - 3), 'c');
  EXPECT_EQ(Thrown([&] { s.begin() + (-5); }), "String Iterator out of bounds");

  XString grown("ab");
  grown.SetAt(2, 'c');
  EXPECT_STREQ(grown.c_str(), "abc");
  EXPECT_EQ(Thrown([&] { grown.SetAt(4, 'x'); }), "String Iterator out of bounds");
}

TEST(XStringTest, InsertChecksPositionAndCount) {
  XString s("--abcd");
  EXPECT_EQ(Thrown([&] { s.Insert(7, "x"); }), "new: Invalid position in XString::Insert");
  EXPECT_EQ(Thrown([&] { s.Insert(-1, "x"); }), "new: Invalid position in XString::Insert");
  EXPECT_EQ(Thrown([&] { s.Insert(0, 'x', -1); }), "new: Invalid count to XString::Insert");
  EXPECT_STREQ(s.c_str(), "--abcd");
}

TEST(XStringTest, EraseRangesAndItsErrors) {
  XString s("abcdef");
  s.Erase(s.At(1), s.At(3));
  EXPECT_STREQ(s.c_str(), "adef");
  s.Erase(s.begin());
  EXPECT_STREQ(s.c_str(), "def");
  s.Erase(-2, -1);
  EXPECT_STREQ(s.c_str(), "df");
  EXPECT_EQ(Thrown([&] { s.Erase(s.end()); }), "new: Invalid String Iterator for Erase");
  EXPECT_EQ(Thrown([&] { s.Erase(s.At(1), s.At(0)); }),
            "new: Invalid Iterator range to String::Erase");
  EXPECT_EQ(Thrown([&] { s.Erase(0, 3); }), "String Iterator out of bounds");
  EXPECT_STREQ(s.c_str(), "df");
}

TEST(XStringTest, SearchingTrimmingAndSubstrings) {
  XString nul("ab");
  nul.Append("\0z", 2);
  EXPECT_EQ(nul.Find('z'), nul.end());  // searches stop at an embedded NUL
  XString t("x \t  ");
  t.TrimRight();  // spaces only, by default
  EXPECT_STREQ(t.c_str(), "x \t");

  XString s("one two one");
  EXPECT_EQ(s.Find('o').Index(), 0);
  EXPECT_EQ(s.FindLast('o').Index(), 8);
  EXPECT_EQ(s.Find("two").Index(), 4);
  EXPECT_EQ(s.Find(XString("zzz")), s.end());
  EXPECT_STREQ(s.Substring(s.At(4), 3).c_str(), "two");
  EXPECT_STREQ(s.Substring(s.At(-3)).c_str(), "one");
  EXPECT_TRUE(s.Substring(s.begin(), 0).empty());
  EXPECT_STREQ(s.Substring(s.At(4), s.At(7)).c_str(), "two");
  XString other("xyz");
  const char* range_error =
      "new: Invalid start and end arguments to Substring, start must be before end";
  EXPECT_EQ(Thrown([&] { s.Substring(s.At(7), s.At(4)); }), range_error);
  EXPECT_EQ(Thrown([&] { s.Substring(s.begin(), other.end()); }), range_error);
  EXPECT_EQ(Thrown([&] { s.Substring(s.At(9), 5); }), "String Iterator out of bounds");
}

TEST(XStringTest, CaseQuotingAndComparison) {
  XString s("It's");
  EXPECT_STREQ(s.Quote().c_str(), "'It''s'");
  s.ToUpper();
  EXPECT_STREQ(s.c_str(), "IT'S");
  s.ToLower();
  EXPECT_TRUE("it's" == s);
  EXPECT_TRUE("it" < s);
  EXPECT_TRUE("\xff" > s);  // bytes compare unsigned
  EXPECT_TRUE("it's" <= s && "it's" >= s && "its" != s);
}

}  // namespace
}  // namespace nycl
