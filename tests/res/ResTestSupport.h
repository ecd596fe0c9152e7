// Small verbs for the resource tests.
#ifndef NYCL_TESTS_RES_RESTESTSUPPORT_H
#define NYCL_TESTS_RES_RESTESTSUPPORT_H

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "nycl/res/ResData.h"

namespace nycl {
namespace testing_res {

// What `write` prints to a stream.
inline std::string Capture(const std::function<void(FILE*)>& write) {
  char* data = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&data, &size);
  write(stream);
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

// Adds the entries, each written "path: value", to a ResData or a ResFile.
template <class Tree>
void AddEntries(Tree* tree, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    const size_t colon = entry.find(": ");
    tree->AddResource(entry.substr(0, colon).c_str(), entry.substr(colon + 2).c_str());
  }
}

inline std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The node's Describe text, or "null".
inline std::string PathOf(const ResData* node) {
  if (node == nullptr) return "null";
  char* text = node->Describe();
  std::string path = text;
  std::free(text);
  return path;
}

// The text of an atom, "" for atom 0.
inline std::string Text(unsigned int atom) {
  const char* text = Atom::DeAtomize(atom);
  return text ? text : "";
}

// "PATH=value PATH=value" for the nodes of a list ("-" for a node without value).
inline std::string Render(const ResDataList& nodes) {
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

#endif  // NYCL_TESTS_RES_RESTESTSUPPORT_H
