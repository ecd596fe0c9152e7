// Copying, printing and describing resource trees; RDIterator.
//
// Dump writes one line per node that has a value, tight children before loose ones:
//   line  := path ":" TAB value-text LF
//          | path ":" TAB "\" LF { piece "\" LF } piece LF   (values of 40 bytes or more)
//          | "#" path ":" TAB value-text LF                   (entries the loader cannot read)
//   path  := [ "." ] name { ( "." | "*" ) name }
// A top-level tight name that is empty or begins with a blank, "#" or "%" is written after
// the "." that marks a tight binding, so that the loader reads it as a name, never as a
// comment or a directive. Pieces are at least 60 bytes and end just before a word, so the
// loader's continuation rule joins them back to the same value.
//
// The loader has no escapes, so some entries cannot be written in a form it reads back as
// the same entry; each of them is written as a comment instead (with CR and LF as blanks),
// which it ignores:
//   - the path has more than 256 names, a name holding ":", CR or LF, or an empty last name
//     (the loader drops a trailing separator);
//   - the value begins or ends with a blank, holds a '"', CR or LF, or ends in a backslash
//     that does not follow another one (the loader would join the next line to it).
// A node without any value (0) is not written, nor is a node that only carries children
// (the null value) where its path cannot be written; their children are, and the loader
// makes such nodes again on the way to them.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"
#include "res/AtomPath.h"

namespace nycl {

namespace {

constexpr size_t kFoldFrom = 40;
constexpr size_t kPieceMinimum = 60;

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool IsBreakAfter(char c) {
  return IsBlank(c) || c == ':' || c == ';' || c == '-';
}

std::string NameOf(unsigned int atom) {
  const char* text = Atom::DeAtomize(atom);
  return text != nullptr ? text : "";
}

// Whether the loader reads `value`, written after the separator, back as the same text.
bool ValueReadsBack(const std::string& value) {
  if (value.empty()) return true;
  if (IsBlank(value.front()) || IsBlank(value.back())) return false;
  if (value.find_first_of("\"\r\n") != std::string::npos) return false;
  const size_t n = value.size();
  return !(value[n - 1] == '\\' && (n == 1 || value[n - 2] != '\\'));
}

// Where a path is in the making: its text, how many names it has, and whether one of them
// cannot be written.
struct DumpPath {
  std::string text;
  int names = 0;
  bool last_empty = true;
  bool unreadable = false;

  DumpPath Child(const char* separator, const std::string& name) const {
    DumpPath child = *this;
    child.text += separator;
    child.text += name;
    ++child.names;
    child.last_empty = name.empty();
    if (name.find_first_of(":\r\n") != std::string::npos) child.unreadable = true;
    return child;
  }
  bool ReadsBack() const { return !unreadable && !last_empty && names <= kMaxPathComponents; }
};

// The path of a tight child of the root: after the "." of a tight binding when the loader
// would read the bare name as something else (see the file comment).
DumpPath TopLevelPath(const std::string& name) {
  bool bare = !name.empty() && !IsBlank(name[0]) && name[0] != '#' && name[0] != '%';
  return DumpPath().Child(bare ? "" : ".", name);
}

void WriteComment(FILE* stream, const std::string& path, const std::string& value) {
  std::string line = "#" + path + ":\t" + value;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::fprintf(stream, "%s\n", line.c_str());
}

// The line of `node`'s own value, if it has one.
void WriteEntry(const ResData* node, const DumpPath& path, FILE* stream) {
  if (node->GetValue() == 0) return;
  const std::string value = NameOf(node->GetValue());
  if (path.ReadsBack() && ValueReadsBack(value)) {
    std::fprintf(stream, "%s:\t", path.text.c_str());
    ResData::DumpValue(stream, node->GetValue());
  } else if (node->GetValue() != ResData::GetResNull()) {
    WriteComment(stream, path.text, value);
  }
}

// `node`'s line and those of all below it; `path` is `node`'s path (no names for the root).
void DumpNode(const ResData* node, const DumpPath& path, FILE* stream) {
  WriteEntry(node, path, stream);
  for (const auto& entry : node->GetTight()) {
    const std::string name = NameOf(entry.first);
    DumpNode(entry.second, path.names == 0 ? TopLevelPath(name) : path.Child(".", name), stream);
  }
  for (const auto& entry : node->GetLoose()) {
    DumpNode(entry.second, path.Child("*", NameOf(entry.first)), stream);
  }
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

// A prefix given by the caller is taken as the path of this node.
void ResData::Dump(FILE* stream, const char* prefix) const {
  const DumpPath path =
      prefix != nullptr && prefix[0] != '\0' ? DumpPath().Child("", prefix) : DumpPath();
  DumpNode(this, path, stream);
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
        if (!IsBlank(text[i]) && IsBreakAfter(text[i - 1])) {
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
