#include "Grid.h"

#include <gtest/gtest.h>

namespace nycl_term {
namespace {

std::string Rows(const Grid& grid) {
  std::string rows;
  for (int y = 0; y < grid.height(); ++y) rows += grid.Row(y) + "\n";
  return rows;
}

TEST(GridTest, LinesJoinIntoCornersAndCrossings) {
  Grid grid(7, 4);
  grid.Box(0, 0, 5, 4);
  grid.HLine(2, 2, 5);  // through the right edge and beyond
  grid.VLine(2, 0, 1);  // a single cell on the top edge
  EXPECT_EQ(Rows(grid),
            "+-+-+  \n"
            "|   |  \n"
            "| --+--\n"
            "+---+  \n");
  EXPECT_EQ(grid.At(0, 0).lines, kLineRight | kLineDown);
  EXPECT_EQ(grid.At(4, 2).lines, kLineUp | kLineDown | kLineLeft | kLineRight);
}

TEST(GridTest, TextReplacesLinesIsClippedAndShowsControlBytesAsQuestionMarks) {
  Grid grid(6, 2);
  grid.HLine(0, 0, 6);
  grid.Text(2, 0, "ab\tcdef", kBold);
  grid.Text(-1, 1, "xyz\nmore");
  EXPECT_EQ(Rows(grid), "--ab?c\nyz    \n");
  EXPECT_EQ(grid.At(2, 0).lines, 0);
  EXPECT_EQ(grid.At(2, 0).attributes, kBold);
  grid.Mark(1, 1, 2, kReverse);
  EXPECT_EQ(grid.At(1, 1).attributes, kReverse);
  EXPECT_EQ(grid.At(1, 1).ch, 'z');
}

TEST(GridTest, DrawCopiesCellsAtAnOffsetAndFillBlanksThem) {
  Grid small(2, 2);
  small.Box(0, 0, 2, 2);
  Grid grid(4, 3);
  grid.Text(0, 0, "abcd");
  grid.Draw(small, 3, 1);
  grid.Fill(0, 0, 2, 1);
  EXPECT_EQ(Rows(grid), "  cd\n   +\n   +\n");
}

TEST(GridTest, AttributeWordsCombineWhateverTheirCaseAndSeparators) {
  EXPECT_EQ(ParseAttributes("REVERSE"), kReverse);
  EXPECT_EQ(ParseAttributes("bold,Underline|dim"), kBold | kUnderline | kDim);
  EXPECT_EQ(ParseAttributes("normal"), kNormal);
  EXPECT_EQ(ParseAttributes(""), kNormal);
  EXPECT_EQ(ParseAttributes("reversed"), kNormal);
}

}  // namespace
}  // namespace nycl_term
