// A program outside the project that uses the installed library: the host of the guide for
// host authors, run against a port where no server listens.
#include <nycl/nycl.h>

#include <cstdio>
#include <cstring>

namespace {

class MyWindow : public nycl::NyCommonRenderWindow {
 public:
  using NyCommonRenderWindow::NyCommonRenderWindow;
  int AddText(int, int, char*, char*, int) override { return 1; }
};

class MyState : public nycl::NyCommonDataState {
 public:
  int CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                         int e) override {
    return AddRenderWindow(new MyWindow(name, a, b, c, d, text, this, e));
  }
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    std::snprintf(buffer, size, "%s", "custmaint");
    return 1;
  }
};

}  // namespace

int main() {
  nycl::XString greeting("nycl");
  greeting += " installed";
  if (std::strcmp(greeting.c_str(), "nycl installed") != 0) return 1;

  nycl::SessionOptions options;
  options.port = "1";  // nothing listens there
  options.connectTimeoutMs = 5000;
  nycl::SessionRunner runner;
  nycl::SessionResult result = runner.Run(new MyState, options);
  if (result.end != nycl::SessionResult::End::kOpenFailed) return 1;
  std::printf("%s; a session without a server: %s\n", greeting.c_str(), result.error.c_str());
  return 0;
}
