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

}  // namespace testing_res
}  // namespace nycl

#endif  // NYCL_TESTS_RES_RESTESTSUPPORT_H
