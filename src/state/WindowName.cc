#include "state/WindowName.h"

#include <cstdlib>
#include <cstring>

namespace nycl {

namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

char* UpperCaseCopy(const char* name) {
  if (name == nullptr) return nullptr;
  char* copy = strdup(name);
  if (copy == nullptr) exit(1);
  UpperCaseInPlace(copy);
  return copy;
}

void UpperCaseInPlace(char* text) {
  for (; *text != '\0'; ++text) *text = Upper(*text);
}

bool SameNameIgnoringCase(const char* a, const char* b) {
  for (; Upper(*a) == Upper(*b); ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

}  // namespace nycl
