// Window names: stored upper-cased, compared without regard to case. ASCII letters only, so
// the result does not depend on the process locale.
#ifndef NYCL_SRC_STATE_WINDOWNAME_H
#define NYCL_SRC_STATE_WINDOWNAME_H

namespace nycl {

// A malloc'ed upper-cased copy of `name`, or null when `name` is null. Ends the process with
// status 1 when memory runs out.
char* UpperCaseCopy(const char* name);
// Upper-cases `text` in place.
void UpperCaseInPlace(char* text);
// Whether the two texts are equal ignoring the case of ASCII letters.
bool SameNameIgnoringCase(const char* a, const char* b);

}  // namespace nycl

#endif  // NYCL_SRC_STATE_WINDOWNAME_H
