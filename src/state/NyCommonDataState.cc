// The common data state: construction, answers, compression and TLS switching, and the small
// session settings. The file and script transfer lives in FileTransfer.cc.
#include "nycl/state/NyCommonDataState.h"

#include <strings.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/net/SSLTcpSocket.h"
#include "nycl/res/ResFile.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "state/StateLog.h"

namespace nycl {

namespace {

constexpr int kDefaultTlsWaitLimit = 30000;

// The message box gathers lines in steps of this many bytes...
constexpr int kMessageBoxStep = 2000;
// ...up to this much text: a server that sends lines without end cannot exhaust memory.
constexpr int kMessageBoxLimit = 1 << 20;

char* CopyOf(const char* text) {
  return text != nullptr ? strdup(text) : nullptr;
}

}  // namespace

NyCommonDataState::NyCommonDataState() : NyCommonDataState(new CCorvathFileCache) {}

NyCommonDataState::NyCommonDataState(CCorvathFileCache* cache)
    : scriptState(0),
      fileRequests(nullptr),
      fileRequestCount(-1),
      writingFile(nullptr),
      cachePath(nullptr),
      fileTag(0),
      resFile(nullptr),
      anyKey(false),
      messageBoxText(nullptr),
      messageBoxSize(0),
      inputCase(CASE_NONE),
      connection(nullptr),
      // Kept as a copy: a later setenv may free the environment's own text.
      logSetting(CopyOf(std::getenv("NYCLLOG"))),
      fileCache(cache),
      tlsWaitLimit(kDefaultTlsWaitLimit),
      tlsRequested(false) {}

NyCommonDataState::~NyCommonDataState() {
  AbandonTransfer();
  for (ResFile* retired : retiredResFiles) delete retired;
  delete resFile;
  std::free(messageBoxText);
  std::free(const_cast<char*>(logSetting));
  delete fileCache;
}

// Answers.

int NyCommonDataState::SendResponceString(char* line) {
  LogTo(this, "Tossick", "SendResponceString", line);
  // Without a connection there is nowhere to send; the host has not set it up yet.
  if (connection != nullptr) connection->SendString(line);
  return 1;
}

namespace {

// Sends a fixed line through the data state's (virtual) SendResponceString.
void Answer(NyCommonDataState* state, const char* text) {
  std::string line = text;
  state->SendResponceString(&line[0]);
}

// The connection's socket when it is a TLS socket: its class name begins with "SSLTcpSocket".
SSLTcpSocket* TlsSocketOf(BaseConnection* connection) {
  Socket* socket = connection != nullptr ? connection->GetSocket() : nullptr;
  if (socket == nullptr) return nullptr;
  if (std::strncmp(socket->GetRuntimeClassName(), "SSLTcpSocket", 12) != 0) return nullptr;
  return dynamic_cast<SSLTcpSocket*>(socket);
}

}  // namespace

// Compression and TLS switches. The pause operations stop the filter and TLS before they send
// their lines; the add and resume operations send their lines once the filter is in place, so
// the server never compresses towards a client that is not ready for it.

int NyCommonDataState::NewCompressSocket() {
  if (connection != nullptr) connection->AddZFilter();
  Answer(this, "fgl_SessionReady");
  Flush();
  return 1;
}

int NyCommonDataState::CompressSocket() {
  if (connection != nullptr) connection->AddZFilter();
  Answer(this, "fgl_filter");
  if (SSLTcpSocket* tls = TlsSocketOf(connection)) tls->Flush();
  return 1;
}

int NyCommonDataState::NewReCompress() {
  if (connection != nullptr) connection->ResumeZFilter();
  Answer(this, "fgl_SessionReady");
  return 1;
}

int NyCommonDataState::ReCompress() {
  if (connection != nullptr) connection->ResumeZFilter();
  Answer(this, "fgl_filter");
  return 1;
}

int NyCommonDataState::NewPauseCompress() {
  if (connection != nullptr) connection->PauseZFilter();
  PauseSSLEncrypt();
  Sleep(1);
  Answer(this, "\n");
  Answer(this, "fgl_SessionStopped");
  return 1;
}

int NyCommonDataState::PauseCompress() {
  if (connection != nullptr) connection->PauseZFilter();
  PauseSSLEncrypt();
  Sleep(1);
  Answer(this, "\n");
  Answer(this, "fgl_filter 2");
  std::this_thread::yield();
  return 1;
}

int NyCommonDataState::PauseSSLEncrypt() {
  if (SSLTcpSocket* tls = TlsSocketOf(connection)) {
    tls->Flush();
    tls->StopSSLEncrypt();
  }
  return 1;
}

int NyCommonDataState::ResumeSSLEncrypt() {
  if (SSLTcpSocket* tls = TlsSocketOf(connection)) {
    tls->Flush();
    tlsRequested = tls->RequestHandShake() != 0;
  }
  return 1;
}

int NyCommonDataState::RequestSSLHandshake() {
  SSLTcpSocket* tls = TlsSocketOf(connection);
  if (tls == nullptr) {
    // A plain socket has no handshake to run; waiting for one would only run into the limit.
    LogTo(this, "TOSSICK", "RequestSSLHandshake", "the connection is not a TLS connection");
    return 1;
  }
  tlsRequested = tls->RequestHandShake() != 0;
  WaitForTls("RequestSSLHandshake");
  return 1;
}

void NyCommonDataState::SetTlsWaitLimit(int milliseconds) {
  tlsWaitLimit = milliseconds > 0 ? milliseconds : kDefaultTlsWaitLimit;
}

bool NyCommonDataState::WaitForTls(const char* label) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(tlsWaitLimit);
  while (!is_ssl_running()) {
    // The handshake this data state asked for has ended without a link (it failed, or the
    // connection went): nothing is left to wait for. The socket reports the link running
    // before it reports the request ended, so a handshake that succeeded is never taken for
    // one that failed.
    SSLTcpSocket* tls = TlsSocketOf(connection);
    if (tlsRequested && tls != nullptr && tls->WantHandShake() == 0 && !is_ssl_running()) {
      tlsRequested = false;
      LogTo(this, "TOSSICK", label, "the TLS handshake failed; going on without it");
      return false;
    }
    if (Clock::now() >= deadline) {
      char text[96];
      std::snprintf(text, sizeof text, "TLS did not start within %d ms; going on without it",
                    tlsWaitLimit);
      LogTo(this, "TOSSICK", label, text);
      if (SSLTcpSocket* tls = TlsSocketOf(connection)) tls->AbandonHandShake();
      tlsRequested = false;
      return false;
    }
    // The host's Sleep may pump its own events; the thread must still give the loop time,
    // since the library's Sleep returns at once and the wait would otherwise spin.
    const auto before = Clock::now();
    Sleep(1);
    const auto slept = Clock::now() - before;
    if (slept < std::chrono::milliseconds(1)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1) - slept);
    }
  }
  tlsRequested = false;
  return true;
}

bool NyCommonDataState::is_this_a_ssl_connection() {
  SSLTcpSocket* tls = TlsSocketOf(connection);
  return tls != nullptr && tls->IsSSLStartEnabled();
}

bool NyCommonDataState::is_ssl_running() {
  SSLTcpSocket* tls = TlsSocketOf(connection);
  return tls != nullptr && tls->is_ssl_running() != 0;
}

bool NyCommonDataState::is_cert_valid() {
  SSLTcpSocket* tls = TlsSocketOf(connection);
  return tls != nullptr && tls->is_cert_valid() != 0;
}

BaseConnection* NyCommonDataState::GetConnection() {
  return connection;
}

int NyCommonDataState::SetConnection(BaseConnection* newConnection) {
  connection = newConnection;
  return 1;
}

// Message-box lines: every line is preceded by a line feed; one read takes all of them.

int NyCommonDataState::AddMessageBoxLine(char* line) {
  if (line == nullptr) return 1;
  if (messageBoxText == nullptr) {
    messageBoxText = static_cast<char*>(std::malloc(kMessageBoxStep));
    if (messageBoxText == nullptr) return 1;
    messageBoxText[0] = '\0';
    messageBoxSize = kMessageBoxStep;
  }
  const size_t textLength = std::strlen(messageBoxText);
  const size_t lineLength = std::strlen(line);
  if (textLength + lineLength + 1 >= static_cast<size_t>(kMessageBoxLimit)) {
    LogTo(this, "TOSSICK", "AddMessageBoxLine", "message box full; line dropped");
    return 1;
  }
  size_t capacity = static_cast<size_t>(messageBoxSize);
  while (textLength + lineLength + 1 >= capacity) capacity += kMessageBoxStep;
  if (capacity != static_cast<size_t>(messageBoxSize)) {
    char* grown = static_cast<char*>(std::realloc(messageBoxText, capacity));
    if (grown == nullptr) return 1;
    messageBoxText = grown;
    messageBoxSize = static_cast<int>(capacity);
  }
  messageBoxText[textLength] = '\n';
  std::memcpy(messageBoxText + textLength + 1, line, lineLength + 1);
  return 1;
}

int NyCommonDataState::GetMessageBoxLine(char* buffer, int size) {
  if (messageBoxText == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (buffer != nullptr && size > 0) {
    const size_t length = std::strlen(messageBoxText);
    const size_t copied = length + 1 < static_cast<size_t>(size) ? length + 1 : size;
    std::memcpy(buffer, messageBoxText, copied);
    buffer[size - 1] = '\0';
  }
  std::free(messageBoxText);
  messageBoxText = nullptr;
  messageBoxSize = 0;
  return 1;
}

// Session settings.

int NyCommonDataState::SetCase(char* text) {
  if (text != nullptr && strcasecmp(text, "upper") == 0) {
    inputCase = CASE_UPPER;
  } else if (text != nullptr && strcasecmp(text, "lower") == 0) {
    inputCase = CASE_LOWER;
  } else {
    inputCase = CASE_NONE;
  }
  return 1;
}

int NyCommonDataState::SetCase(_caseEnum value) {
  inputCase = value;
  return 1;
}

int NyCommonDataState::SetAnyKey(bool on) {
  anyKey = on;
  return 1;
}

bool NyCommonDataState::ReturnAnyKey() const {
  return anyKey;
}

// A window that is not found is ignored; the result is 0 either way.
int NyCommonDataState::SetTitle(char* window, char* title) {
  NyRenderWindow* target = nullptr;
  if (window != nullptr && window[0] != '\0') {
    target = FindRenderWindow(window);
  } else {
    target = GetCurrentRenderWindow();
  }
  if (target != nullptr) target->SetTitle(title);
  return 0;
}

int NyCommonDataState::SetSize(int width, int height) {
  NyRenderWindow* window = GetCurrentRenderWindow();
  return window != nullptr ? window->SetSize(width, height) : 0;
}

int NyCommonDataState::Sleep(int) {
  return 0;
}

int NyCommonDataState::RestartApp() {
  return 0;
}

int NyCommonDataState::ErrorLog(char*, char*, char*) {
  return 0;
}

int NyCommonDataState::ScriptReceive(char*) {
  return 1;
}

int NyCommonDataState::ScriptEnd() {
  if (resFile != nullptr) resFile->PostAdd();
  return 1;
}

// Null while no application name is known, so windows know not to look for themselves.
const char* NyCommonDataState::GetApplicationName() {
  return applicationName.empty() ? nullptr : applicationName.c_str();
}

int NyCommonDataState::CreateRenderWindow(const char* name, int a, int b, int c, int d,
                                          const char* text, int e) {
  AddRenderWindow(new NyCommonRenderWindow(name, a, b, c, d, text, this, e));
  return 1;
}

}  // namespace nycl
