#include "Options.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace nycl_term {

const char* Usage() {
  return "usage: nycl-term [options] HOST:PORT\n"
         "\n"
         "Runs a session with the application server at HOST:PORT and shows the program's\n"
         "screen in this terminal. With --keys it runs without a terminal: the keys come\n"
         "from a key script and the screen is printed each time the program waits.\n"
         "\n"
         "  --app NAME            the application to run (the answer to the server's\n"
         "                        question for it)\n"
         "  --keys FILE|-         headless: keys from FILE, or from standard input\n"
         "  --no-tls              never switch TLS on (a plain connection)\n"
         "  --ca FILE             trust the certificate authority in FILE (PEM) instead of\n"
         "                        the built-in one\n"
         "  --bad-cert stop|continue\n"
         "                        a server certificate the authority did not sign stops the\n"
         "                        session (default) or goes on over the unverified link\n"
         "  --no-compress         do not ask the server for compression\n"
         "  --cache DIR           the client file cache (default: $XDG_CACHE_HOME/nycl-term\n"
         "                        or ~/.cache/nycl-term)\n"
         "  --store-dir DIR       the server may also store files below DIR (repeatable)\n"
         "  --upload-dir DIR      the server may also read files below DIR (repeatable)\n"
         "  --allow-launch        the server may start programs\n"
         "  --trust-server        the server may do all the protocol allows: store and read\n"
         "                        files anywhere, start programs\n"
         "                        (by default it may store and read files only in the\n"
         "                        folder 'exchange' of the cache, and start nothing)\n"
         "  --connect-timeout MS  give up connecting after MS milliseconds (default 10000)\n"
         "  --tls-timeout MS      give up a TLS handshake after MS milliseconds\n"
         "  --idle-timeout MS     stop when the server sends nothing for MS milliseconds\n"
         "                        outside a dialog (default: 30000 headless, none otherwise)\n"
         "  --log FILE            append the library's log lines to FILE\n"
         "  --help                this text\n"
         "\n"
         "Exit status: 0 the server ended the session, 1 the session failed (no connection,\n"
         "connection lost, a transfer cut off, certificate refused, key script ended,\n"
         "server silent past the idle limit),\n"
         "2 bad options.\n";
}

namespace {

bool Milliseconds(const char* text, int* out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 3600000) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  std::string address;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--no-tls") {
      options->tls = false;
    } else if (arg == "--no-compress") {
      options->compress = false;
    } else if (arg == "--allow-launch") {
      options->allow_launch = true;
    } else if (arg == "--trust-server") {
      options->trust_server = true;
    } else if (arg == "--app") {
      if (!value(&v)) return false;
      options->application = v;
    } else if (arg == "--keys") {
      if (!value(&v)) return false;
      options->keys = v;
    } else if (arg == "--ca") {
      if (!value(&v)) return false;
      options->authority = v;
    } else if (arg == "--bad-cert") {
      if (!value(&v)) return false;
      if (std::strcmp(v, "stop") != 0 && std::strcmp(v, "continue") != 0) {
        *error = "--bad-cert takes stop or continue, not \"" + std::string(v) + "\"";
        return false;
      }
      options->stop_on_bad_cert = std::strcmp(v, "stop") == 0;
    } else if (arg == "--cache") {
      if (!value(&v)) return false;
      options->cache = v;
    } else if (arg == "--store-dir") {
      if (!value(&v)) return false;
      options->store_dirs.push_back(v);
    } else if (arg == "--upload-dir") {
      if (!value(&v)) return false;
      options->upload_dirs.push_back(v);
    } else if (arg == "--connect-timeout" || arg == "--tls-timeout" || arg == "--idle-timeout") {
      if (!value(&v)) return false;
      int* out = arg == "--connect-timeout" ? &options->connect_timeout_ms
                 : arg == "--tls-timeout"   ? &options->tls_timeout_ms
                                            : &options->idle_timeout_ms;
      if (!Milliseconds(v, out)) {
        *error = arg + " takes a number of milliseconds, not \"" + std::string(v) + "\"";
        return false;
      }
    } else if (arg == "--log") {
      if (!value(&v)) return false;
      options->log = v;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (address.empty()) {
      address = arg;
    } else {
      *error = "one server address only (\"" + address + "\", then \"" + arg + "\")";
      return false;
    }
  }
  if (options->help) return true;
  const size_t colon = address.rfind(':');
  if (address.empty()) {
    *error = "the server's address HOST:PORT is missing";
    return false;
  }
  if (colon == std::string::npos || colon == 0 || colon + 1 == address.size() ||
      address.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
    *error = "the server's address must be HOST:PORT, not \"" + address + "\"";
    return false;
  }
  options->host = address.substr(0, colon);
  options->port = address.substr(colon + 1);
  return true;
}

std::string DefaultCacheDirectory() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/nycl-term";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::string(home) + "/.cache/nycl-term";
  return "/tmp/nycl-term-" + std::to_string(getuid());
}

}  // namespace nycl_term
