// The path search behind ResData::FindList, over vectors (not part of the public interface).
#ifndef NYCL_SRC_RES_RESSEARCH_H
#define NYCL_SRC_RES_RESSEARCH_H

#include <vector>

namespace nycl {

class ResData;

// Replaces `current` with the nodes the `count` names lead to from it and updates `wild`,
// exactly as ResData::FindList does. `scratch` is working space of the caller.
void SearchPath(std::vector<ResData*>& current, const unsigned int* names, int count,
                std::vector<ResData*>& wild, std::vector<ResData*>& scratch_next,
                std::vector<ResData*>& scratch_wild);

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESSEARCH_H
