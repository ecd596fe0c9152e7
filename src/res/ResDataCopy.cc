// Copying, printing and describing resource trees; RDIterator.
//
// Dump writes one line per node that has a value:
//   line  := path ":" TAB value-text LF
//          | path ":" TAB "\" LF { piece "\" LF } piece LF     (values of 40 bytes or more)
//   path  := tight children joined by ".", loose children introduced by "*"
// Pieces are at least 60 bytes and end just before a word, so the loader's continuation
// rule joins them back to the same value.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"

namespace nycl {

namespace {

constexpr size_t kFoldFrom = 40;
constexpr size_t kPieceMinimum = 60;
constexpr size_t kPrefixLimit = 5000;
constexpr size_t kNameLimit = 1000;

bool IsBreakAfter(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0 || c == ':' || c == ';' || c == '-';
}

std::string ChildPath(const char* prefix, const char* separator, unsigned int name) {
  const char* text = Atom::DeAtomize(name);
  std::string path(prefix, strnlen(prefix, kPrefixLimit));
  path += separator;
  if (text != nullptr) path.append(text, strnlen(text, kNameLimit));
  return path;
}

std::string DescribeNode(const ResData* node) {
  if (node->GetParent() == nullptr && node->GetName() == 0) return std::string();
  std::string text = node->GetParent() ? DescribeNode(node->GetParent()) : std::string();
  if (node->IsLoose()) {
    text += '*';
  } else if (!text.empty()) {
    text += '.';
  }
  const char* name = Atom::DeAtomize(node->GetName());
  if (name != nullptr) text += name;
  return text;
}

}  // namespace

ResData* ResData::Clone(ResData* new_parent, bool loose) const {
  ResData* copy = new ResData(new_parent, name_, value_, loose);
  for (const auto& entry : GetTight()) copy->PutChild(false, entry.second->Clone(copy, false));
  for (const auto& entry : GetLoose()) copy->PutChild(true, entry.second->Clone(copy, true));
  return copy;
}

void ResData::CloneFrom(const ResData* source) {
  if (source == nullptr || source == this) return;
  for (const auto& entry : source->GetTight()) AddSubInfo(entry.second->Clone(this, false));
  for (const auto& entry : source->GetLoose()) AddSubWeak(entry.second->Clone(this, true));
}

void ResData::Dump(FILE* stream, const char* prefix) const {
  if (prefix == nullptr) prefix = "";
  if (value_ != 0) {
    std::fprintf(stream, "%s:\t", prefix);
    DumpValue(stream, value_);
  }
  const char* tight_separator = prefix[0] != '\0' ? "." : "";
  for (const auto& entry : GetTight()) {
    entry.second->Dump(stream, ChildPath(prefix, tight_separator, entry.first).c_str());
  }
  for (const auto& entry : GetLoose()) {
    entry.second->Dump(stream, ChildPath(prefix, "*", entry.first).c_str());
  }
}

void ResData::DumpValue(FILE* stream, unsigned int value) {
  const char* text = Atom::DeAtomize(value);
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  if (length < kFoldFrom) {
    std::fprintf(stream, "%s\n", text);
    return;
  }
  std::fputs("\\\n", stream);
  size_t start = 0;
  while (start < length) {
    size_t end = length;
    if (length - start > kPieceMinimum) {
      for (size_t i = start + kPieceMinimum; i < length; ++i) {
        if (!std::isspace(static_cast<unsigned char>(text[i])) && IsBreakAfter(text[i - 1])) {
          end = i;
          break;
        }
      }
    }
    std::fprintf(stream, "%.*s%s\n", static_cast<int>(end - start), text + start,
                 end < length ? "\\" : "");
    start = end;
  }
}

char* ResData::Describe() const {
  return strdup(DescribeNode(this).c_str());
}

void RDIterator::Increment() {
  if (node_ != nullptr && position_ != node_->GetTight().end()) ++position_;
}

void RDIterator::Decrement() {
  if (node_ != nullptr && position_ != node_->GetTight().begin()) --position_;
}

RDIterator RDIterator::operator++(int) {
  RDIterator before = *this;
  Increment();
  return before;
}

RDIterator RDIterator::operator--(int) {
  RDIterator before = *this;
  Decrement();
  return before;
}

ResData* RDIterator::operator*() const {
  if (node_ == nullptr || position_ == node_->GetTight().end()) return nullptr;
  return position_->second;
}

bool RDIterator::operator==(const RDIterator& other) const {
  if (node_ != other.node_) return false;
  return node_ == nullptr || position_ == other.position_;
}

}  // namespace nycl
