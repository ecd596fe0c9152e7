#include "nycl/widgets/ArrayInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nycl {
namespace {

class ArrayInfoTest : public ::testing::Test {
 protected:
  void Add(const char* field, const char* value) {
    ASSERT_EQ(array.AddArrayData(value, field, "string"), 1);
  }

  // GetArrayData into `capacity` rows, rendered as "result:row|row|...".
  std::string Read(const char* column, int capacity) {
    std::vector<std::vector<char>> buffers(capacity,
                                           std::vector<char>(ArrayInfo::kMaxRowText + 1, '#'));
    std::vector<char*> rows;
    for (auto& buffer : buffers) rows.push_back(buffer.data());
    int result = array.GetArrayData(column, rows.data(), capacity);
    std::string rendered = std::to_string(result) + ":";
    for (int i = 0; i < result; ++i) {
      if (i > 0) rendered += "|";
      rendered += rows[i];
    }
    return rendered;
  }

  std::string Line(const char* column, int row) {
    XString out("untouched");
    int result = array.GetArrayDataLine(column, row, &out);
    return std::to_string(result) + ":" + out.c_str();
  }

  ArrayInfo array;
};

TEST_F(ArrayInfoTest, FieldNamesGiveColumnKeysAndRows) {
  XString key;
  EXPECT_EQ(ArrayInfo::GetArrayName("s.col__3", key), 1);
  EXPECT_STREQ(key.c_str(), "s-col");
  ArrayInfo::GetArrayName("s_arr.col__3", key);
  EXPECT_STREQ(key.c_str(), "s");
  ArrayInfo::GetArrayName("a.b.c", key);
  EXPECT_STREQ(key.c_str(), "a-b-c");
  ArrayInfo::GetArrayName(nullptr, key);
  EXPECT_STREQ(key.c_str(), "");

  EXPECT_EQ(ArrayInfo::GetArrayNumber("s.col__3"), 3);
  EXPECT_EQ(ArrayInfo::GetArrayNumber("s_a__12x"), 12);
  EXPECT_EQ(ArrayInfo::GetArrayNumber("s_a_b"), 0);
  EXPECT_EQ(ArrayInfo::GetArrayNumber("s__"), 0);
  EXPECT_EQ(ArrayInfo::GetArrayNumber(nullptr), 0);
  EXPECT_EQ(ArrayInfo::GetArrayNumber("s__99999999999999999999"), 2147483647);

  XString out;
  EXPECT_EQ(ArrayInfo::ReplaceDashFromArrayName("s-col-x", &out), 1);
  EXPECT_STREQ(out.c_str(), "stcoltx");
}

TEST_F(ArrayInfoTest, ValuesArriveInRowOrderAndTheRowCountFollowsTheLastColumn) {
  Add("s.c__0", "zero");
  Add("s.c__1", "one");
  Add("s.c__2", "two");
  EXPECT_EQ(array.GetLength(), 3);
  EXPECT_EQ(Read("s-c", 3), "3:zero|one|two");

  Add("s.c__1", "ONE");
  EXPECT_EQ(array.GetLength(), 3);
  Add("s.c__7", "seven");   // beyond the end: appended, no gaps
  Add("s.c__-4", "minus");  // names no row: appended
  EXPECT_EQ(array.GetLength(), 5);
  EXPECT_EQ(Read("s-c", 5), "5:zero|ONE|two|seven|minus");
  EXPECT_EQ(Line("s-c", 3), "1:seven");

  Add("s.a__0", "a0");
  Add("s.a__1", "a1");
  Add("s.b__0", "b0");
  EXPECT_EQ(array.GetLength(), 1);
  // A capacity of 1 is enough now, and reads only the first row of a longer column.
  EXPECT_EQ(Read("s-a", 1), "1:a0");
  EXPECT_EQ(array.SetLength(40), 40);
  EXPECT_EQ(array.GetLength(), 1);
}

TEST_F(ArrayInfoTest, ReadingReportsCapacityAndMissingColumnsAndFallsBackToDashesForTs) {
  Add("s.c__0", "x");
  Add("s.c__1", "y");
  Add("s.c__2", "z");
  EXPECT_EQ(Read("s-c", 2), "-1:");
  EXPECT_EQ(Read("nothing", 3), "-2:");
  EXPECT_EQ(Read(nullptr, 3), "-2:");
  EXPECT_EQ(Line("S-C", 0), "-2:untouched");
  EXPECT_EQ(Line("s-c", 5), "0:untouched");
  EXPECT_EQ(Line("s-c", -1), "0:untouched");
  EXPECT_EQ(Line("s-c", 2), "1:z");

  // The host may ask with the key as ReplaceDashFromArrayName renders it.
  EXPECT_EQ(Read("stc", 3), "3:x|y|z");
  EXPECT_EQ(Read("s.c_x", 3), "3:x|y|z");
  // The exact-key line read has no fallback.
  EXPECT_EQ(Line("stc", 0), "-2:untouched");
}

TEST_F(ArrayInfoTest, RowsAreCutAndAlwaysTerminated) {
  Add("s.c__0", "");
  Add("s.c__1", std::string(1000, 'q').c_str());
  Add("s.c__2", nullptr);
  EXPECT_EQ(Read("s-c", 3), "3:|" + std::string(ArrayInfo::kMaxRowText, 'q') + "|");
  // Null row entries are skipped but still counted.
  char buffer[ArrayInfo::kMaxRowText + 1] = "old";
  char* rows[3] = {nullptr, buffer, nullptr};
  EXPECT_EQ(array.GetArrayData("s-c", rows, 3), 3);
  EXPECT_EQ(std::string(buffer), std::string(ArrayInfo::kMaxRowText, 'q'));
}

TEST_F(ArrayInfoTest, RemovingDropsEveryColumnAndCopiesAreIndependent) {
  Add("s.c__0", "v");
  EXPECT_EQ(array.RemoveArrayData(), 1);
  EXPECT_EQ(array.GetLength(), 0);
  EXPECT_EQ(Line("s-c", 0), "-2:untouched");
  Add("s.c__4", "w");
  EXPECT_EQ(Line("s-c", 0), "1:w");

  ArrayInfo copy(array);
  copy.AddArrayData("changed", "s.c__0", "string");
  copy.AddArrayData("n", "s.d__0", "string");
  EXPECT_EQ(Line("s-c", 0), "1:w");
  EXPECT_EQ(Line("s-d", 0), "-2:untouched");
  array = copy;
  EXPECT_EQ(Line("s-d", 0), "1:n");
}

TEST_F(ArrayInfoTest, TypeWordsAreExact) {
  EXPECT_EQ(array.SetType("display"), 2);
  EXPECT_TRUE(array.isDisplayArray());
  EXPECT_EQ(array.SetType("input"), 1);
  EXPECT_TRUE(array.isInputArray());
  EXPECT_EQ(array.SetType("Display"), 0);
  EXPECT_FALSE(array.isInputArray());
  EXPECT_FALSE(array.isDisplayArray());
  EXPECT_EQ(array.SetType(nullptr), 0);
}

}  // namespace
}  // namespace nycl
