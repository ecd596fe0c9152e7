// The path search behind ResData::FindList, over small buffers (not part of the public
// interface).
#ifndef NYCL_SRC_RES_RESSEARCH_H
#define NYCL_SRC_RES_RESSEARCH_H

#include "nycl/res/ResSmallVector.h"

namespace nycl {

class ResData;

// A list of nodes that keeps its first entries in place, so a query of a few nodes allocates
// nothing.
using NodeBuffer = ResSmallVector<ResData*, 16>;

// Follows `count` names from the nodes in `current` with the wild list `wild`, exactly as
// ResData::FindList does, using `spare_current` and `spare_wild` as the other halves of
// each pair. Returns 0 when the result is in (current, wild), 1 when it is in the spares.
int SearchPath(NodeBuffer& current, NodeBuffer& spare_current, NodeBuffer& wild,
               NodeBuffer& spare_wild, const unsigned int* names, int count);

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESSEARCH_H
