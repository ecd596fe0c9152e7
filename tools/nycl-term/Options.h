// Options: nycl-term's command line.
#ifndef NYCL_TERM_OPTIONS_H
#define NYCL_TERM_OPTIONS_H

#include <string>
#include <vector>

namespace nycl_term {

struct Options {
  std::string host;
  std::string port;
  std::string application;
  std::string keys;  // the key script (headless), "-" for standard input, "" interactive
  bool tls = true;
  bool compress = true;
  std::string authority;  // PEM file of the trusted authority, "" for the built-in one
  bool stop_on_bad_cert = true;
  std::string cache;  // "" for the default
  std::vector<std::string> store_dirs;
  std::vector<std::string> upload_dirs;
  bool allow_launch = false;
  bool trust_server = false;
  int connect_timeout_ms = 10000;
  int tls_timeout_ms = 0;    // 0: the library's default
  int idle_timeout_ms = -1;  // -1: 30000 headless, none interactive
  std::string log;
  bool help = false;
};

// The usage text.
const char* Usage();
// Fills *options from the arguments; false with *error set when they do not make sense.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);
// The cache directory when none is given: $XDG_CACHE_HOME/nycl-term, else
// $HOME/.cache/nycl-term, else /tmp/nycl-term-UID.
std::string DefaultCacheDirectory();

}  // namespace nycl_term

#endif  // NYCL_TERM_OPTIONS_H
