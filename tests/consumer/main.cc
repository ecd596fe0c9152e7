// A program outside the project that uses the installed library.
#include <nycl/nycl.h>

#include <cstdio>
#include <cstring>

int main() {
  nycl::XString greeting("nycl");
  greeting += " installed";
  if (std::strcmp(greeting.c_str(), "nycl installed") != 0) return 1;
  std::printf("%s\n", greeting.c_str());
  return 0;
}
