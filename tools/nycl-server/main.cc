// nycl-server: a small application server for tests and demos. It listens on a loopback port,
// plays a session script against each client that connects, checks the client's answers, and
// exits with 0 when every session passed, 1 when one failed, 2 on a usage or setup error.
// README.md beside this file documents the options and the script language.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Script.h"
#include "Session.h"
#include "TlsContext.h"
#include "Transcript.h"

namespace {

using nycl_server::Script;
using nycl_server::ServerSetup;
using nycl_server::Session;

const char kUsage[] =
    "usage: nycl-server --script FILE [--root DIR] [--listen ADDR:PORT] [--port-file FILE]\n"
    "                   [--sessions N] [--uploads DIR] [--cert PEM --key PEM]\n"
    "                   [--timeout MS] [--accept-timeout MS] [--verbose] [--check]\n";

struct Options {
  std::string script;
  std::string root;
  std::string address = "127.0.0.1";
  int port = 0;
  std::string port_file;
  int sessions = 1;
  std::string uploads;
  std::string certificate;
  std::string key;
  int timeout_ms = 10000;
  int accept_timeout_ms = -1;  // wait for clients without a limit
  bool verbose = false;
  bool check = false;  // only parse the script
};

bool ParseInt(const char* text, int least, int* value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < least || parsed > INT_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--verbose" || flag == "--check") {
      (flag == "--verbose" ? options->verbose : options->check) = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = "unknown option or missing value: " + flag;
      return false;
    }
    const char* value = argv[++i];
    bool ok = true;
    if (flag == "--script") {
      options->script = value;
    } else if (flag == "--root") {
      options->root = value;
    } else if (flag == "--listen") {
      const std::string text = value;
      const std::size_t colon = text.rfind(':');
      in_addr ignored;
      ok = colon != std::string::npos &&
           inet_pton(AF_INET, text.substr(0, colon).c_str(), &ignored) == 1 &&
           ParseInt(text.c_str() + colon + 1, 0, &options->port) && options->port <= 65535;
      if (ok) options->address = text.substr(0, colon);
    } else if (flag == "--port-file") {
      options->port_file = value;
    } else if (flag == "--sessions") {
      ok = ParseInt(value, 1, &options->sessions);
    } else if (flag == "--uploads") {
      options->uploads = value;
    } else if (flag == "--cert") {
      options->certificate = value;
    } else if (flag == "--key") {
      options->key = value;
    } else if (flag == "--timeout") {
      ok = ParseInt(value, 1, &options->timeout_ms);
    } else if (flag == "--accept-timeout") {
      ok = ParseInt(value, 1, &options->accept_timeout_ms);
    } else {
      *error = "unknown option " + flag;
      return false;
    }
    if (!ok) {
      *error = "bad value for " + flag + ": " + value;
      return false;
    }
  }
  if (options->script.empty()) *error = "--script is required";
  if (options->certificate.empty() != options->key.empty()) *error = "--cert and --key go together";
  return error->empty();
}

// The absolute, resolved path of the directory `path`; empty with *error when it is none.
std::string RealDirectory(const std::string& path, std::string* error) {
  char resolved[PATH_MAX];
  struct stat status;
  if (realpath(path.c_str(), resolved) == nullptr || stat(resolved, &status) != 0) {
    *error = path + ": " + std::strerror(errno);
    return "";
  }
  if (!S_ISDIR(status.st_mode)) {
    *error = path + ": not a directory";
    return "";
  }
  return resolved;
}

// Publishes the port through a temporary file renamed into place, so that a reader never sees
// a partial number.
bool WritePortFile(const std::string& path, int port) {
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "we");
  if (file == nullptr) return false;
  const bool ok = std::fprintf(file, "%d\n", port) > 0;
  return std::fclose(file) == 0 && ok && std::rename(temporary.c_str(), path.c_str()) == 0;
}

int Listen(const Options& options, int* port, std::string* error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(options.port));
  inet_pton(AF_INET, options.address.c_str(), &address.sin_addr);
  const int on = 1;
  socklen_t length = sizeof address;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(fd, options.sessions < 64 ? options.sessions + 1 : 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    *error = "cannot listen on " + options.address + ":" + std::to_string(options.port) + ": " +
             std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

bool Setup(const Options& options, Script* script, ServerSetup* setup, std::string* error) {
  if (!script->Load(options.script, error)) return false;
  const std::size_t slash = options.script.rfind('/');
  const std::string script_dir = slash == std::string::npos ? "."
                                 : slash == 0               ? "/"
                                                            : options.script.substr(0, slash);
  setup->root = RealDirectory(options.root.empty() ? script_dir : options.root, error);
  if (setup->root.empty()) return false;
  if (!options.uploads.empty()) {
    mkdir(options.uploads.c_str(), 0755);
    setup->uploads = RealDirectory(options.uploads, error);
    if (setup->uploads.empty()) return false;
  }
  setup->timeout_ms = options.timeout_ms;
  setup->tls = nycl_server::NewServerContext(options.certificate, options.key, error);
  return setup->tls != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // A client that goes away while we write must fail the write, not end the process.
  signal(SIGPIPE, SIG_IGN);
  Options options;
  std::string error;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "nycl-server: %s\n", error.c_str());
    std::fputs(kUsage, stderr);
    return 2;
  }
  Script script;
  ServerSetup setup;
  if (options.check) {
    if (!script.Load(options.script, &error)) {
      std::fprintf(stderr, "nycl-server: %s\n", error.c_str());
      return 2;
    }
    std::printf("nycl-server: %s: %zu steps\n", options.script.c_str(), script.steps().size());
    return 0;
  }
  if (!Setup(options, &script, &setup, &error)) {
    std::fprintf(stderr, "nycl-server: %s\n", error.c_str());
    return 2;
  }
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> tls(setup.tls, SSL_CTX_free);
  nycl_server::Transcript transcript(stderr, options.sessions > 1);
  if (options.verbose) setup.transcript = &transcript;

  int port = 0;
  const int listener = Listen(options, &port, &error);
  if (listener < 0) {
    std::fprintf(stderr, "nycl-server: %s\n", error.c_str());
    return 2;
  }
  if (!options.port_file.empty() && !WritePortFile(options.port_file, port)) {
    std::fprintf(stderr, "nycl-server: cannot write %s: %s\n", options.port_file.c_str(),
                 std::strerror(errno));
    return 2;
  }
  std::printf("nycl-server: listening on %s:%d\n", options.address.c_str(), port);
  std::fflush(stdout);

  std::mutex report_mutex;
  int failed = 0;
  std::vector<std::thread> threads;
  for (int number = 1; number <= options.sessions; ++number) {
    pollfd entry{listener, POLLIN, 0};
    int ready;
    do {
      ready = poll(&entry, 1, options.accept_timeout_ms);
    } while (ready < 0 && errno == EINTR);
    const int fd = ready == 1 ? accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (fd < 0) {
      std::lock_guard<std::mutex> lock(report_mutex);
      std::fprintf(stderr, "nycl-server: session %d: %s\n", number,
                   ready == 0 ? "no client connected in time" : std::strerror(errno));
      failed += options.sessions - number + 1;
      break;
    }
    threads.emplace_back([&, number, fd] {
      Session session(script, setup, number, fd);
      std::string failure;
      const bool passed = session.Play(&failure);
      std::lock_guard<std::mutex> lock(report_mutex);
      if (passed) {
        std::printf("nycl-server: session %d passed\n", number);
        std::fflush(stdout);
      } else {
        std::fprintf(stderr, "nycl-server: session %d failed: %s\n", number, failure.c_str());
        ++failed;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  close(listener);
  return failed == 0 ? 0 : 1;
}
