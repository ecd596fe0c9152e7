#include "res/ResTestSupport.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/nycl-res-XXXXXX";
  char* made = mkdtemp(&pattern[0]);
  EXPECT_NE(nullptr, made);
  path_ = pattern;
}

TempDir::~TempDir() {
  nftw(
      path_.c_str(),
      [](const char* file, const struct stat*, int, struct FTW*) { return std::remove(file); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::Write(const std::string& name, const std::string& contents) const {
  std::string file = path_ + "/" + name;
  FILE* stream = std::fopen(file.c_str(), "wb");
  EXPECT_NE(nullptr, stream);
  if (stream != nullptr) {
    std::fwrite(contents.data(), 1, contents.size(), stream);
    std::fclose(stream);
  }
  return file;
}

}  // namespace testing_res
}  // namespace nycl
