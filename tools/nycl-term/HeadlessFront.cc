#include "HeadlessFront.h"

namespace nycl_term {

void PrintScreen(FILE* out, const Grid& screen) {
  const std::string rule = "+" + std::string(screen.width(), '-') + "+\n";
  std::fputs(rule.c_str(), out);
  for (int y = 0; y < screen.height(); ++y) {
    if (y == screen.height() - 1) std::fputs(rule.c_str(), out);
    std::fprintf(out, "|%s|\n", screen.Row(y).c_str());
  }
  std::fputs(rule.c_str(), out);
}

void HeadlessFront::BeginWait(const std::string& what) {
  what_ = what;
  shown_ = false;
  keys_->TakeTyped();
}

void HeadlessFront::Show(const Grid& screen, int, int) {
  if (shown_) return;  // the screen as the wait began; the keys tell the rest
  shown_ = true;
  std::fprintf(out_, "=== %d: %s ===\n", ++waits_, what_.c_str());
  PrintScreen(out_, screen);
}

void HeadlessFront::EndWait() {
  std::fprintf(out_, "keys: %s\n", keys_->TakeTyped().c_str());
  std::fflush(out_);
}

void HeadlessFront::Answered(const std::string& line) {
  std::fprintf(out_, "sent: %s\n", line.c_str());
  std::fflush(out_);
}

void HeadlessFront::Report(const std::vector<std::string>& lines, const std::string&) {
  const int number = ++reports_;
  std::fprintf(out_, "=== report %d ===\n", number);
  for (const std::string& line : lines) {
    std::fprintf(out_, "%s\n", line == "\f" ? "--- page break ---" : line.c_str());
  }
  std::fprintf(out_, "=== end of report %d ===\n", number);
  std::fflush(out_);
}

void HeadlessFront::SessionEnded(const Grid& screen, const std::string& why, bool) {
  std::fprintf(out_, "=== end: %s ===\n", why.c_str());
  PrintScreen(out_, screen);
  std::fflush(out_);
}

}  // namespace nycl_term
