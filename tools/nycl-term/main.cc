// nycl-term: a host for character terminals. It runs a session with an application server
// and shows the 4GL program's screen in the terminal (ncurses), or, with --keys, without a
// terminal: the keys come from a key script and the screen is printed each time the program
// waits for the user. See Options.cc for the command line, Dialogs.h for the answers it sends.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "CursesFront.h"
#include "HeadlessFront.h"
#include "KeyScript.h"
#include "Options.h"
#include "TermSession.h"
#include "TermState.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/net/SSLTcpSocket.h"

namespace {

using namespace nycl_term;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "nycl-term: %s\n", message.c_str());
  return status;
}

// Creates `path` and its missing parents; false with errno set.
bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReadFile(const std::string& path, std::string* text) {
  FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr) return false;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// What the server may reach outside the cache: by default a folder of the cache only.
void SetTrust(const Options& options, const std::string& exchange, TermState* state) {
  nycl::ServerTrust& trust = state->GetServerTrust();
  if (options.trust_server) {
    trust.TrustFully();
    return;
  }
  std::vector<std::string> stores = {exchange};
  stores.insert(stores.end(), options.store_dirs.begin(), options.store_dirs.end());
  std::vector<std::string> uploads = {exchange};
  uploads.insert(uploads.end(), options.upload_dirs.begin(), options.upload_dirs.end());
  trust.ConfineStores(stores);
  trust.ConfineUploads(uploads);
  trust.AllowLaunches(options.allow_launch);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    return Fail(error + " (nycl-term --help tells more)", 2);
  }
  if (options.help) {
    std::fputs(Usage(), stdout);
    return 0;
  }

  if (!options.authority.empty()) {
    std::string pem;
    if (!ReadFile(options.authority, &pem)) {
      return Fail("cannot read the authority " + options.authority + ": " + std::strerror(errno),
                  2);
    }
    if (nycl::SSLTcpSocket::SetTrustedAuthority(pem.c_str()) == 0) {
      return Fail(options.authority + " holds no certificate", 2);
    }
  }
  if (options.tls_timeout_ms > 0) nycl::SSLTcpSocket::SetHandshakeTimeout(options.tls_timeout_ms);

  const std::string cache_dir = options.cache.empty() ? DefaultCacheDirectory() : options.cache;
  const std::string exchange = cache_dir + "/exchange";
  const std::string reports = cache_dir + "/reports";
  for (const std::string& dir : {cache_dir, exchange, reports}) {
    if (!MakeDirectories(dir)) {
      return Fail("cannot create the directory " + dir + ": " + std::strerror(errno), 2);
    }
  }

  std::unique_ptr<FILE, int (*)(FILE*)> log(nullptr, &std::fclose);
  if (!options.log.empty()) {
    log.reset(std::fopen(options.log.c_str(), "ae"));
    if (log == nullptr) {
      return Fail("cannot open the log " + options.log + ": " + std::strerror(errno), 2);
    }
  }

  // The library prints a few socket diagnostics on standard output. The screens get a stream
  // of their own, and standard output goes where standard error goes.
  std::fflush(stdout);
  const int screen_fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  std::unique_ptr<FILE, int (*)(FILE*)> screen(screen_fd >= 0 ? ::fdopen(screen_fd, "w") : nullptr,
                                               &std::fclose);
  if (screen == nullptr) return Fail("cannot duplicate standard output", 2);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);

  KeyScript script;
  std::unique_ptr<Front> front;
  CursesFront* curses = nullptr;
  std::unique_ptr<TermSession> session;
  if (!options.keys.empty()) {
    const bool from_stdin = options.keys == "-";
    FILE* file = from_stdin ? stdin : std::fopen(options.keys.c_str(), "re");
    if (file == nullptr) {
      return Fail("cannot open the key script " + options.keys + ": " + std::strerror(errno), 2);
    }
    const bool read = script.Read(file, &error);
    if (!from_stdin) std::fclose(file);
    if (!read) return Fail("key script " + options.keys + ": " + error, 2);
    front = std::make_unique<HeadlessFront>(screen.get(), &script);
    session = std::make_unique<TermSession>(front.get());
  } else {
    auto ended = [&session] {
      return session != nullptr && session->GetConnection() != nullptr &&
             session->GetConnection()->Ended();
    };
    auto terminal = std::make_unique<CursesFront>(ended, screen.get());
    curses = terminal.get();
    front = std::move(terminal);
    session = std::make_unique<TermSession>(front.get());
    if (!curses->Start(options.log, &error)) return Fail(error, 2);
  }

  TermState::Settings settings;
  settings.application = options.application;
  settings.stop_on_bad_cert = options.stop_on_bad_cert;
  settings.reports_dir = reports;
  settings.log = log.get();
  auto* state =
      new TermState(nycl::CCorvathFileCache::InDirectory(cache_dir), front.get(), settings);
  SetTrust(options, exchange, state);
  if (options.tls_timeout_ms > 0) state->SetTlsWaitLimit(options.tls_timeout_ms);

  nycl::SessionOptions session_options;
  session_options.host = options.host;
  session_options.port = options.port;
  session_options.tls = options.tls;
  session_options.compress = options.compress;
  session_options.connectTimeoutMs = options.connect_timeout_ms;
  int idle_ms = options.idle_timeout_ms;
  if (idle_ms < 0) idle_ms = options.keys.empty() ? 0 : 30000;
  session->SetIdleLimit(std::chrono::milliseconds(idle_ms));
  const Outcome outcome = session->Play(state, session_options);
  if (curses != nullptr) curses->Stop();

  std::fputs(Summary(options, cache_dir, outcome).c_str(), stderr);
  return outcome.failed ? 1 : 0;
}
