#include "res/ResTestSupport.h"

#include <cstdlib>

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"

namespace nycl {
namespace testing_res {

std::string Capture(const std::function<void(FILE*)>& write) {
  char* data = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&data, &size);
  write(stream);
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

std::string PathOf(const ResData* node) {
  if (node == nullptr) return "null";
  char* text = node->Describe();
  std::string path = text;
  std::free(text);
  return path;
}

std::string Text(unsigned int atom) {
  const char* text = Atom::DeAtomize(atom);
  return text ? text : "";
}

std::string Render(const ResDataList& nodes) {
  std::string out;
  for (const ResData* node : nodes) {
    if (!out.empty()) out += ' ';
    out += PathOf(node) + "=";
    out += node->GetValue() == ResData::GetResNull() ? "-" : Text(node->GetValue());
  }
  return out;
}

}  // namespace testing_res
}  // namespace nycl
