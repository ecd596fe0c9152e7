// Plays the session script against one connected client.
#ifndef NYCL_SERVER_SESSION_H
#define NYCL_SERVER_SESSION_H

#include <string>
#include <vector>

#include "LineTransport.h"
#include "Script.h"
#include "ServedFiles.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace nycl_server {

class Transcript;

// What every session of one run shares; read-only while sessions play.
struct ServerSetup {
  std::string root;                  // the served directory, absolute and resolved
  std::string uploads;               // where received uploads are saved; empty: not saved
  int timeout_ms = 10000;            // for each line awaited, until a script says otherwise
  SSL_CTX* tls = nullptr;            // not owned
  Transcript* transcript = nullptr;  // not owned; null without --verbose
};

// One client connection and the script played on it, step by step, each answer checked. The
// first step that fails ends the session; its message names the script line and what arrived
// instead (or that nothing did). Runs on one thread; the script and setup are borrowed and must
// outlive it.
//
// The phase steps (handshake, start-session, stop-session, ...) know which answers the client
// owes and when it switches compression and TLS; the primitive steps let a script do any of it
// by hand. The sources split along that line: Session.cc (lines, switches, dispatch),
// SessionPhases.cc (handshake and session switches), SessionTransfers.cc (files, scripts,
// uploads, blobs). The hostile steps live in Session.cc with the other primitive ones.
class Session {
 public:
  // Takes ownership of the connected socket `fd`. `number` counts sessions from 1.
  Session(const Script& script, const ServerSetup& setup, int number, int fd);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Plays every step, then closes the connection if no step did. True when all passed;
  // otherwise *failure holds "<script>:<line>: <step>: <what happened>".
  bool Play(std::string* failure);

 private:
  bool Run(const Step& step);

  // Lines. Each awaited line has its own deadline (the current timeout from now). Unless
  // `exact`, empty lines are skipped while "blank-lines skip" is in force.
  bool Send(const std::string& line);
  bool Read(std::string* line, const std::string& awaited, bool exact = false);
  bool Expect(const std::string& line, bool exact = false);
  bool ExpectBlank(const std::string& which);
  bool ExpectPattern(const Step& step);
  bool ExpectClose();
  // Records the failure of the current step; always false.
  bool Fail(const std::string& what);
  void Note(const std::string& text);
  Deadline NextDeadline() const;

  // Hostile steps: raw bytes, a repeated pattern (a decompression bomb when deflating), a line
  // or compressed block broken off, a TLS handshake broken off.
  bool SendRaw(const Step& step);
  bool SendRepeat(const Step& step);
  bool SendCut(const Step& step);
  bool CutTls(const Step& step);

  // Switches of the server's stream, with their transcript notes.
  bool AcceptTls();
  void DropTls();
  void StartDeflate();
  void PauseDeflate();
  void ResumeDeflate();

  // Phases.
  bool Handshake(const Step& step);
  bool ExpectAgreed(const Step& step);
  bool StartSession();
  bool Pause(const std::string& command, const std::string& answer);
  bool ResumeSession();
  bool FilterEnd(const Step& step);

  // Transfers.
  bool LoadServed(const std::string& name, std::string* bytes);
  bool Offer(const std::string& name, long long tag, std::string* answer);
  bool SendFileData(const std::string& name, const std::string& bytes, long long cut);
  bool ServeFile(const std::string& name, const std::string& bytes);
  bool PlayFile(const Step& step);
  bool PlayStore(const Step& step);
  bool PlayScript(const Step& step);
  bool PlayUpload(const Step& step);
  bool CheckUpload(const Step& step, const std::string& data,
                   const std::vector<std::size_t>& line_lengths);
  bool PlayBlob(const Step& step);
  bool CheckNames(const Step& step, const std::vector<std::string>& names, const char* what);

  const Script& script_;
  const ServerSetup& setup_;
  const int number_;
  LineTransport transport_;
  const ServedFiles files_;
  int timeout_ms_;
  bool skip_blank_lines_ = false;
  bool closed_ = false;  // the server ended the connection (close, drop)
  // What the client agreed to in the handshake's option block.
  bool agreed_compress_ = false;
  bool agreed_tls_ = false;
  // For each pause in force (stop-session, filter), whether TLS ran when it began: the client
  // starts TLS again on resuming exactly then.
  std::vector<bool> tls_at_pause_;
  // The last script transfer: the names the client requested, and those it had cached.
  std::vector<std::string> requests_;
  std::vector<std::string> cached_;
  std::string failure_;
};

}  // namespace nycl_server

#endif  // NYCL_SERVER_SESSION_H
