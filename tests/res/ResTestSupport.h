// Small verbs for the resource tests.
#ifndef NYCL_TESTS_RES_RESTESTSUPPORT_H
#define NYCL_TESTS_RES_RESTESTSUPPORT_H

#include <cstdio>
#include <functional>
#include <string>

#include "nycl/res/ResData.h"

namespace nycl {

namespace testing_res {

// What `write` prints to a stream.
std::string Capture(const std::function<void(FILE*)>& write);
// The node's Describe text, or "null".
std::string PathOf(const ResData* node);
// "PATH=value PATH=value" for the nodes of a list ("-" for a node without value).
std::string Render(const ResDataList& nodes);
// The text of an atom, "" for atom 0.
std::string Text(unsigned int atom);

// A fresh directory in the temporary directory, removed with its contents when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `contents` to the file `name` in the directory and returns its full path.
  std::string Write(const std::string& name, const std::string& contents) const;

 private:
  std::string path_;
};

}  // namespace testing_res
}  // namespace nycl

#endif  // NYCL_TESTS_RES_RESTESTSUPPORT_H
