#include "Grid.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace nycl_term {

uint8_t ParseAttributes(const std::string& text) {
  uint8_t attributes = kNormal;
  std::string word;
  auto take = [&] {
    const char* w = word.c_str();
    if (strcasecmp(w, "reverse") == 0) attributes |= kReverse;
    if (strcasecmp(w, "bold") == 0 || strcasecmp(w, "blink") == 0) attributes |= kBold;
    if (strcasecmp(w, "underline") == 0) attributes |= kUnderline;
    if (strcasecmp(w, "dim") == 0 || strcasecmp(w, "invisible") == 0) attributes |= kDim;
    word.clear();
  };
  for (char c : text) {
    if (c == ' ' || c == ',' || c == '|' || c == '\t') {
      take();
    } else {
      word += c;
    }
  }
  take();
  return attributes;
}

Grid::Grid(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<size_t>(width_) * height_) {}

void Grid::Put(int x, int y, char ch, uint8_t attributes) {
  Cell* cell = CellAt(x, y);
  if (cell == nullptr) return;
  const unsigned char byte = static_cast<unsigned char>(ch);
  cell->ch = byte < 0x20 || byte == 0x7f ? '?' : ch;
  cell->attributes = attributes;
  cell->lines = 0;
}

void Grid::Text(int x, int y, const std::string& text, uint8_t attributes) {
  for (char c : text) {
    if (c == '\n' || x >= width_) break;
    Put(x++, y, c, attributes);
  }
}

void Grid::Mark(int x, int y, int length, uint8_t attributes) {
  for (int i = 0; i < length; ++i) {
    if (Cell* cell = CellAt(x + i, y)) cell->attributes |= attributes;
  }
}

void Grid::HLine(int x, int y, int length) {
  for (int i = 0; i < length; ++i) {
    Cell* cell = CellAt(x + i, y);
    if (cell == nullptr) continue;
    if (cell->lines == 0) cell->ch = ' ';
    if (i > 0) cell->lines |= kLineLeft;
    if (i < length - 1) cell->lines |= kLineRight;
    if (length == 1) cell->lines |= kLineLeft | kLineRight;
  }
}

void Grid::VLine(int x, int y, int length) {
  for (int i = 0; i < length; ++i) {
    Cell* cell = CellAt(x, y + i);
    if (cell == nullptr) continue;
    if (cell->lines == 0) cell->ch = ' ';
    if (i > 0) cell->lines |= kLineUp;
    if (i < length - 1) cell->lines |= kLineDown;
    if (length == 1) cell->lines |= kLineUp | kLineDown;
  }
}

void Grid::Box(int x, int y, int width, int height) {
  if (width < 1 || height < 1) return;
  HLine(x, y, width);
  HLine(x, y + height - 1, width);
  VLine(x, y, height);
  VLine(x + width - 1, y, height);
}

void Grid::Fill(int x, int y, int width, int height) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) {
      if (Cell* cell = CellAt(column, row)) *cell = Cell();
    }
  }
}

void Grid::Draw(const Grid& other, int x, int y) {
  for (int row = 0; row < other.height(); ++row) {
    for (int column = 0; column < other.width(); ++column) {
      if (Cell* cell = CellAt(x + column, y + row)) *cell = other.At(column, row);
    }
  }
}

char Grid::Glyph(int x, int y) const {
  const Cell& cell = At(x, y);
  if (cell.lines == 0) return cell.ch;
  const bool horizontal = (cell.lines & (kLineLeft | kLineRight)) != 0;
  const bool vertical = (cell.lines & (kLineUp | kLineDown)) != 0;
  if (horizontal && vertical) return '+';
  return horizontal ? '-' : '|';
}

std::string Grid::Row(int y) const {
  std::string row;
  row.reserve(width_);
  for (int x = 0; x < width_; ++x) row += Glyph(x, y);
  return row;
}

}  // namespace nycl_term
