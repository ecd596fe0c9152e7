// Grid: a rectangle of character cells, the drawing surface of nycl-term.
//
// A cell holds one byte, a set of attributes and the directions in which a drawn line leaves
// it. Lines and boxes set those directions rather than characters, so that a box corner, a
// crossing and a line meeting a box come out right: the printed form of a line cell is "-",
// "|" or "+" (Glyph), and the terminal front draws the matching line character. Text written
// over a line cell replaces it.
//
// Coordinates are 0-based, x (column) before y (line); everything outside the grid is
// clipped silently. A value type.
#ifndef NYCL_TERM_GRID_H
#define NYCL_TERM_GRID_H

#include <cstdint>
#include <string>
#include <vector>

namespace nycl_term {

// Cell attributes (a set).
enum Attribute : uint8_t {
  kNormal = 0,
  kReverse = 1,
  kBold = 2,
  kUnderline = 4,
  kDim = 8,
};

// Directions in which a line leaves a cell (a set).
enum LineDirection : uint8_t {
  kLineUp = 1,
  kLineDown = 2,
  kLineLeft = 4,
  kLineRight = 8,
};

struct Cell {
  char ch = ' ';
  uint8_t attributes = kNormal;
  uint8_t lines = 0;
};

// The attributes an attribute word of the protocol names: "reverse", "bold", "underline",
// "dim" (also "blink" and "invisible" read as bold and dim), several separated by blanks,
// commas or "|"; case does not matter, anything else is normal.
uint8_t ParseAttributes(const std::string& text);

class Grid {
 public:
  Grid(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // REQUIRES: Contains(x, y).
  const Cell& At(int x, int y) const { return cells_[y * width_ + x]; }

  // One character; a control byte is shown as "?".
  void Put(int x, int y, char ch, uint8_t attributes = kNormal);
  // A text on one line, cut at the right edge; a line feed in it ends it.
  void Text(int x, int y, const std::string& text, uint8_t attributes = kNormal);
  // `attributes` added to the cells of a span, their characters kept.
  void Mark(int x, int y, int length, uint8_t attributes);
  void HLine(int x, int y, int length);
  void VLine(int x, int y, int length);
  // The outline of the rectangle; its inside is left alone.
  void Box(int x, int y, int width, int height);
  // Blank cells, no attributes, no lines.
  void Fill(int x, int y, int width, int height);
  void Clear() { Fill(0, 0, width_, height_); }
  // Copies `other` with its top left corner at (x, y).
  void Draw(const Grid& other, int x, int y);

  // The printable form of a cell: its character, or "-", "|" or "+" for a line.
  char Glyph(int x, int y) const;
  // Line y in printable form, trailing blanks kept.
  std::string Row(int y) const;

 private:
  Cell* CellAt(int x, int y) { return Contains(x, y) ? &cells_[y * width_ + x] : nullptr; }

  int width_;
  int height_;
  std::vector<Cell> cells_;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_GRID_H
