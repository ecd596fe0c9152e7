#include "res/ResTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nycl-res-XXXXXX").string();
  EXPECT_NE(nullptr, mkdtemp(&pattern[0]));
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& contents) const {
  std::string file = path_ + "/" + name;
  std::ofstream stream(file, std::ios::binary);
  stream << contents;
  EXPECT_TRUE(stream.good()) << file;
  return file;
}

}  // namespace testing_res
}  // namespace nycl
