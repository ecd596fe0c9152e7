// The session phases: "fgl_ident" with its option block, and the switches of compression and
// TLS that the client makes around "fgl_StartSession", the pauses and their ends.
//
// What the client owes, as the server sees it:
//   fgl_ident V F...  -> the option block (checked line by line, below). Before version 4.3
//                        the client then switches at once: "fgl_filter" when it agreed to
//                        compress (the server deflates from there on), then a TLS handshake
//                        when it agreed to encrypt.
//   fgl_StartSession  -> a TLS handshake when it agreed to encrypt; "fgl_SessionReady" when it
//                        agreed to compress (the server starts a fresh deflate stream after it).
//   fgl_StopSession   -> drops TLS without a closing message, then in plain: "\n" sent as a
//                        line (two empty lines on the wire) and "fgl_SessionStopped".
//   fgl_filter        -> the same, answered by "fgl_filter 2".
//   fgl_ResumeSession -> a TLS handshake if TLS ran before the pause; "fgl_SessionReady".
//   fgl_filterend N   -> N nonzero: the TLS handshake, then "fgl_filter" through it;
//                        N zero or absent: "fgl_filter" in plain, then the TLS handshake.
// Pause lines are written on their own, so nothing deflated or encrypted follows them before
// the client has switched.
#include <algorithm>
#include <cstdio>
#include <regex>

#include "Session.h"
#include "Text.h"

namespace nycl_server {

namespace {

const char kOptionsPrefix[] = "fgl_options ";
const char kBlockEnd[] = "RiZuv version 2.0";

bool Has(const std::string& feature, char letter) {
  return feature.find(letter) != std::string::npos;
}

// The option block a client sends for these feature arguments, given whether it is a TLS
// client and wants compression. "fgl_options" lines hold only "fgl_options N " here: the
// client's logon-session identifier follows on the wire.
std::vector<std::string> ExpectedBlock(const std::vector<std::string>& features, bool tls,
                                       bool compress) {
  std::vector<std::string> block;
  bool property = false;
  for (const std::string& feature : features) {
    if (Has(feature, 'P')) property = true;
    if (Has(feature, 'S') && tls)
      block.push_back(kOptionsPrefix + std::to_string(6 + property) + " ");
  }
  if (block.empty()) block.push_back(kOptionsPrefix + std::to_string(6 + property) + " ");
  if (property) block.push_back("fgl_useproperty");
  block.push_back("fgl_client ny_gui.r2");
  block.push_back("fgl_allkeys");
  block.push_back("fgl_serverScript .nys");
  for (const std::string& feature : features) {
    if (Has(feature, 'C') && compress) block.push_back("fgl_compress");
  }
  for (const std::string& feature : features) {
    if (Has(feature, 'S') && tls) block.push_back("fgl_encrypt");
  }
  block.push_back("fgl_useKeyMap");
  block.push_back("fgl_endOptions");
  block.push_back(kBlockEnd);
  return block;
}

// Checks the logon-session identifier of "fgl_options" lines: two decimal numbers written
// together, or nothing, and the same on every such line of one block.
class OptionIdentifier {
 public:
  // Whether the received `line` agrees with the expected `want`.
  bool Agrees(const std::string& want, const std::string& line) {
    if (want.compare(0, sizeof kOptionsPrefix - 1, kOptionsPrefix) != 0) return line == want;
    if (line.compare(0, want.size(), want) != 0) return false;
    static const std::regex kIdentifier("((-?[0-9]+){2})?");
    const std::string id = line.substr(want.size());
    if (!std::regex_match(id, kIdentifier) || (known_ && id != id_)) return false;
    known_ = true;
    id_ = id;
    return true;
  }

 private:
  bool known_ = false;
  std::string id_;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : ", ") + Printable(line);
  return text;
}

// "fgl_ident" versions from 4.3 on leave the switches to "fgl_StartSession". A version that
// does not read as "major.minor" counts as older, as it does on the client.
bool SwitchesOnStart(const std::string& version) {
  int major = 0;
  int minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return false;
  return major > 4 || (major == 4 && minor >= 3);
}

}  // namespace

bool Session::Handshake(const Step& step) {
  std::string ident = "fgl_ident " + step.text;
  for (const std::string& feature : step.words) ident += " " + QuoteArg(feature);
  if (!Send(ident)) return false;

  // The block depends on two things the client decides: whether it is a TLS client and whether
  // it wants compression. Each line received keeps the candidate blocks it agrees with; the
  // first line that agrees with none fails at once. The candidates come in order of fewer
  // agreements, so when features make two blocks equal the lesser reading wins.
  struct Candidate {
    bool tls;
    bool compress;
    std::vector<std::string> lines;
  };
  std::vector<Candidate> alive;
  for (bool tls : {false, true}) {
    for (bool compress : {false, true}) {
      alive.push_back({tls, compress, ExpectedBlock(step.words, tls, compress)});
    }
  }
  std::vector<std::string> received;
  OptionIdentifier identifier;
  for (std::size_t i = 0;; ++i) {
    std::string line;
    const std::string awaited = "line " + std::to_string(i + 1) + " of the option block";
    if (!Read(&line, awaited)) return false;
    std::vector<Candidate> agreeing;
    std::vector<std::string> wanted;
    for (const Candidate& candidate : alive) {
      // Every block ends with the end line, after which the loop stops, so `i` is in range.
      const std::string& want = candidate.lines[i];
      if (std::find(wanted.begin(), wanted.end(), want) == wanted.end()) wanted.push_back(want);
      if (identifier.Agrees(want, line)) agreeing.push_back(candidate);
    }
    if (agreeing.empty()) {
      for (std::string& want : wanted) {
        if (want.back() == ' ') want += "<identifier>";
      }
      return Fail("option block line " + std::to_string(i + 1) + ": expected " +
                  (wanted.size() > 1 ? "one of " : "") + Joined(wanted) + ", received " +
                  Printable(line) + (received.empty() ? "" : "; before it: " + Joined(received)));
    }
    received.push_back(line);
    alive.swap(agreeing);
    if (line == kBlockEnd) break;
  }
  agreed_tls_ = alive.front().tls;
  agreed_compress_ = alive.front().compress;
  Note(std::string("the client agreed: compression ") + (agreed_compress_ ? "on" : "off") +
       ", TLS " + (agreed_tls_ ? "on" : "off"));

  if (SwitchesOnStart(step.text)) return true;
  if (agreed_compress_) {
    if (!Expect("fgl_filter")) return false;
    StartDeflate();
  }
  return !agreed_tls_ || AcceptTls();
}

bool Session::ExpectAgreed(const Step& step) {
  const bool compress = std::count(step.words.begin(), step.words.end(), "compress") > 0;
  const bool tls = std::count(step.words.begin(), step.words.end(), "tls") > 0;
  if (compress == agreed_compress_ && tls == agreed_tls_) return true;
  return Fail(std::string("the client agreed to compression ") + (agreed_compress_ ? "on" : "off") +
              " and TLS " + (agreed_tls_ ? "on" : "off") + ", expected compression " +
              (compress ? "on" : "off") + " and TLS " + (tls ? "on" : "off"));
}

bool Session::StartSession() {
  if (!Send("fgl_StartSession")) return false;
  if (agreed_tls_ && !AcceptTls()) return false;
  if (agreed_compress_) {
    if (!Expect("fgl_SessionReady")) return false;
    StartDeflate();
  }
  return true;
}

bool Session::Pause(const std::string& command, const std::string& answer) {
  if (!Send(command)) return false;
  tls_at_pause_.push_back(transport_.tls_running());
  PauseDeflate();
  DropTls();
  return ExpectBlank("the first empty line of the pause") &&
         ExpectBlank("the second empty line of the pause (a line holding a line feed)") &&
         Expect(answer, true);
}

bool Session::ResumeSession() {
  if (!Send("fgl_ResumeSession")) return false;
  const bool tls = !tls_at_pause_.empty() && tls_at_pause_.back();
  if (!tls_at_pause_.empty()) tls_at_pause_.pop_back();
  if (tls && !AcceptTls()) return false;
  if (!Expect("fgl_SessionReady")) return false;
  ResumeDeflate();
  return true;
}

bool Session::FilterEnd(const Step& step) {
  const bool tls_first = step.flag && step.value != 0;
  if (!Send(step.flag ? "fgl_filterend " + std::to_string(step.value) : "fgl_filterend")) {
    return false;
  }
  const bool tls = !tls_at_pause_.empty() && tls_at_pause_.back();
  if (!tls_at_pause_.empty()) tls_at_pause_.pop_back();
  if (tls && tls_first && !AcceptTls()) return false;
  if (!Expect("fgl_filter")) return false;
  if (tls && !tls_first && !AcceptTls()) return false;
  ResumeDeflate();
  return true;
}

}  // namespace nycl_server
