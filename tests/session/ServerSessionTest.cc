// Whole sessions over loopback: the runner and the ready connection on the client's side,
// nycl-server playing a session script on the other, each checking the other's lines. First
// sessions as a well-behaved server plays them, then ones against a hostile or broken server
// that sends what no well-behaved server sends, each stating what the client does about it.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "nycl-server/Text.h"
#include "nycl/net/TcpSocket.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "session/SessionTestSupport.h"

namespace nycl {
namespace session_test {
namespace {

using Clock = std::chrono::steady_clock;
using End = SessionResult::End;
using Cache = std::map<std::string, std::string>;

// The answers with the logon-session identifier (machine-dependent) taken out.
Lines WithoutIdentifier(Lines answers) {
  static const std::regex options("^(fgl_options [67]) -?[0-9]*-?[0-9]*$");
  for (std::string& line : answers) line = std::regex_replace(line, options, "$1 ID");
  return answers;
}

const Lines kOptionsPCS = {"fgl_options 7 ID", "fgl_useproperty",       "fgl_client ny_gui.r2",
                           "fgl_allkeys",      "fgl_serverScript .nys", "fgl_compress",
                           "fgl_encrypt",      "fgl_useKeyMap",         "fgl_endOptions",
                           "RiZuv version 2.0"};

Lines Joined(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// TLS sessions whose client wants compression.
class EndToEndTest : public ServerSessionTest {
 protected:
  EndToEndTest() {
    tls = true;
    on_line = [this](const std::string& line) {
      if (line.rfind("fgl_Exec", 0) == 0) {
        tls_seen.push_back(state_->is_ssl_running() && state_->is_cert_valid());
      }
    };
  }
  Lines Answers() const { return WithoutIdentifier(record_.answers); }

  std::vector<bool> tls_seen;  // TLS with a valid certificate when each fgl_Exec arrived
};

// The old order: compression right after the option block, then TLS.
TEST_F(EndToEndTest, Version42SwitchesCompressionThenTlsRightAfterTheOptions) {
  ASSERT_EQ(Play("send nyinetif:\nexpect demo\nsend nyinetif_full:\nsend fgl_auth success Welcome\n"
                 "expect fgl_authack\nhandshake 4.2 PC S\nexpect-agreed compress tls\n" +
                 Exec(5) + "close\n"),
            0);
  EXPECT_EQ(result_.end, End::kServerClosed);
  EXPECT_EQ(Answers(),
            Joined({{"demo", "fgl_authack"}, kOptionsPCS, {"fgl_filter", "fgl_executed_true 5"}}));
  EXPECT_EQ(tls_seen, std::vector<bool>{true});
}

// The new order: nothing switches before fgl_StartSession; then every pause and resume.
TEST_F(EndToEndTest, Version50SwitchesOnStartSessionAndPausesAndResumesBothWays) {
  ASSERT_EQ(Play("send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nexpect-agreed compress tls\n"
                 "start-session\n" +
                 Exec(1) + "stop-session\n" + Exec(2) + "resume-session\n" + Exec(3) +
                 "filter\nfilterend 1\n" + Exec(4) + "filter\nfilterend\n" + Exec(5) + "close\n"),
            0);
  EXPECT_EQ(Answers(),
            Joined({{"demo"},
                    kOptionsPCS,
                    {"fgl_SessionReady", "fgl_executed_true 1", "\n", "fgl_SessionStopped",
                     "fgl_executed_true 2", "fgl_SessionReady", "fgl_executed_true 3", "\n",
                     "fgl_filter 2", "fgl_filter", "fgl_executed_true 4", "\n", "fgl_filter 2",
                     "fgl_filter", "fgl_executed_true 5"}}));
  EXPECT_EQ(tls_seen, (std::vector<bool>{true, false, true, true, true}));
}

// Serves main.nys naming a, the nested b.nys (naming x and y), and c.
class ScriptTransferTest : public EndToEndTest {
 protected:
  ScriptTransferTest() {
    server_.WriteFile("main.nys",
                      "DEMO.MAIN.title: Customers\n[file]a.frm\n[file]b.nys\n[file]c.frm\n");
    server_.WriteFile("b.nys", "[file]x.frm\n[file]y.frm\n");
    for (const char* name : {"a.frm", "c.frm", "x.frm", "y.frm"}) {
      server_.WriteFile(name, std::string("form ") + name + "\n");
    }
    inspect = [this](NyCommonDataState* state) {
      title_ = "(no resource file)";
      if (ResFile* resources = state->GetResFile()) {
        std::unique_ptr<ResInfo> main(resources->LocateResourceData("DEMO.MAIN"));
        const char* value = Atom::DeAtomize(main->FindResourceA("title", nullptr));
        title_ = value != nullptr ? value : "(none)";
      }
      char path[501];
      cached_x_ = state->GetFileCache()->GetFile("x.frm", path, 500) ? path : "";
    };
  }
  static std::string Session(const std::string& check) {
    return "send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nstart-session\nscript main.nys\n" +
           check + "close\n";
  }
  std::string title_;
  std::string cached_x_;
};

TEST_F(ScriptTransferTest, NestedScriptsAreRequestedInFileOrderAndTheNextSessionHitsTheCache) {
  ASSERT_EQ(Play(Session("expect-requests c.frm b.nys x.frm y.frm a.frm\nexpect-cached\n")), 0);
  EXPECT_EQ(title_, "Customers");
  EXPECT_EQ(testing_cache::ReadFile(cached_x_), "form x.frm\n");
  EXPECT_TRUE(testing_cache::CacheLockFree(CacheDir()));

  // A nested script found in the cache is not read again: its own names are not requested.
  ASSERT_EQ(Play(Session(
                "expect-requests c.frm b.nys a.frm\nexpect-cached main.nys c.frm b.nys a.frm\n")),
            0);
  EXPECT_EQ(title_, "Customers");
}

TEST_F(EndToEndTest, UploadsGoOutInBlocksOf2040Bytes) {
  std::string script = "send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nstart-session\n";
  for (int size : {0, 2040, 2041}) {
    const std::string path = tree_ / ("upload-" + std::to_string(size));
    testing_cache::WriteFile(path, std::string(size, static_cast<char>('a' + size % 26)));
    script +=
        "upload " + path + " expect-size " + std::to_string(size) + " expect-same " + path + "\n";
  }
  script += "upload " + (tree_ / "missing") + " expect-missing\nclose\n";
  ASSERT_EQ(Play(script), 0);
}

// A line leaves in two blocks, its text and its line feed; neither waits for the server to
// acknowledge the other, so an exchange of a hundred lines and answers takes no time at all.
TEST_F(EndToEndTest, EachAnswerLeavesAtOnce) {
  for (bool with_tls : {false, true}) {
    tls = with_tls;
    std::string script = tls ? "handshake 5.0 S\nstart-session\n" : "";
    for (int i = 1; i <= 100; ++i) script += Exec(i);
    const auto start = Clock::now();
    ASSERT_EQ(Play(script + "close\n"), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  }
}

// Sessions against a hostile or broken server.

// Resident memory of this process, in KiB: now, and the most since ResetPeak.
long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
// Under the address sanitizer freed blocks wait in its quarantine, so resident memory grows
// with what a test frees as well as with what it holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kQuarantine = true;
#else
constexpr bool kQuarantine = false;
#endif

// Script steps that start a compressed session, in TLS as well when `tls`.
std::string Compressed(bool tls) {
  return tls ? "handshake 5.0 CS\nstart-session\n" : "handshake 5.0 C\nstart-session\n";
}

class HostileServerTest : public ServerSessionTest {
 protected:
  // What a session comes to whatever the server sent: its end, within `within_ms`, with exactly
  // the log lines `log`; the cache lock free, nothing of the server's files outside the cache
  // directory, and a cache table that lists exactly the copies in it, each inside it. Returns
  // the contents of each listed copy by remote name.
  Cache Outcome(End end, const Lines& log, int within_ms = 5000) {
    EXPECT_EQ(result_.end, end) << result_.error;
    EXPECT_LT(result_.duration.count(), within_ms);
    EXPECT_EQ(record_.log, log);
    EXPECT_TRUE(testing_cache::CacheLockFree(CacheDir()));
    Lines outside;
    for (const std::string& entry : testing_cache::ListTree(tree_.path())) {
      if (entry.back() != '/' && entry.rfind("cache/", 0) != 0) {
        outside.push_back(entry);
      }
    }
    EXPECT_EQ(outside, Lines());
    Cache cached;
    Lines paths;
    const std::string table = testing_cache::ReadFile(CacheDir() + "/__Tamrel_Corvath_File_Cache");
    for (const auto& [remote, copies] : testing_cache::ParseTable(table)) {
      for (const testing_cache::Copy& copy : copies) {
        const std::string& path = copy.file;
        EXPECT_EQ(path.rfind(CacheDir() + "/", 0), 0u) << path;
        EXPECT_EQ(path.find("/../"), std::string::npos) << path;
        EXPECT_TRUE(testing_cache::Exists(path)) << path;
        cached[remote] = testing_cache::ReadFile(path);
        paths.push_back(path);
      }
    }
    for (const std::string& entry : testing_cache::ListTree(CacheDir())) {
      if (entry.back() == '/' || entry.rfind("__Tamrel", 0) == 0 ||
          entry.rfind("NyCorvath", 0) == 0) {
        continue;
      }
      EXPECT_NE(std::find(paths.begin(), paths.end(), CacheDir() + "/" + entry), paths.end())
          << "not listed: " << entry;
    }
    return cached;
  }
};

// A compressed stream that inflates to far more than the client may hold, towards a host that
// is busy: the line queue stops reading the socket at its bound, and decompression stops with
// it, so memory stays bounded whatever the stream expands to; the host can still stop.
TEST_F(HostileServerTest, DecompressionBombStopsAtTheLineQueueBound) {
  for (bool with_tls : {false, true}) {
    SCOPED_TRACE(with_tls ? "TLS" : "plain");
    // 64 GiB of line feeds: 64 Gi empty lines, about 64 MB on the wire.
    ASSERT_TRUE(server_.Start(Compressed(with_tls) + "send-repeat 68719476736 \\n\n",
                              {"--timeout", "5000"}));
    SessionOptions options = Options(std::to_string(server_.port()));
    options.tls = with_tls;
    TestRunner runner(&record_);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> fd{-1};
    runner.on_connected = [&](NyCommonDataState* state) {
      fd = dynamic_cast<TcpSocket*>(state->GetConnection()->GetSocket())->FD();
    };
    runner.on_line = [&](const std::string& line) {
      if (line.empty()) released.wait_for(std::chrono::seconds(30));
    };
    ResetPeak();
    const long before = StatusKiB("VmRSS:");
    AsyncRun run(&runner, NewState(), options);
    // The client has stopped reading once what waits in its socket stays the same.
    int unread = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
          int now = -1;
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          if (fd >= 0) ::ioctl(fd, FIONREAD, &now);
          const bool stalled = now > 0 && now == unread;
          unread = now;
          return stalled;
        },
        20));
    const long growth_kib = StatusKiB("VmHWM:") - before;
    const auto stop = Clock::now();
    runner.Stop();
    release.set_value();
    const SessionResult result = run.Get(30);

    EXPECT_LT(growth_kib, 32 << 10);
    EXPECT_EQ(result.end, End::kStopped);
    EXPECT_LT(Clock::now() - stop, std::chrono::seconds(2));
    EXPECT_EQ(server_.Wait(20000), 1);
    EXPECT_NE(server_.Output().find("send-repeat"), std::string::npos) << server_.Output();
  }
}

// Floods the host does take: a bomb decompressed in full while the queue holds it back again
// and again, and a line of 10 MB in plain. Every piece arrives once, in order, and the stream
// goes on decoding after it.
TEST_F(HostileServerTest, FloodsArriveWholeInPiecesAndTheSessionGoesOn) {
  struct Flood {
    bool tls;
    std::string steps;
    std::string piece;  // the line the flood arrives as, again and again
    long pieces;
  };
  const Flood floods[] = {
      {false, Compressed(false) + "send-repeat 262144 a\\n\n", "a", 262144},
      // The same through TLS, whose reads hand on what a record holds in several pieces.
      {true, Compressed(true) + "send-repeat 262144 \\n\n", "", 262144},
      {false, Compressed(false) + "send-repeat 4194304 x\nsend\n", std::string(4096, 'x'), 1024},
      {false,
       "send-raw fgl_Exec prog 5 \nsend-repeat 10485760 y\nsend\nexpect fgl_executed_true 5\n",
       std::string(4096, 'y'), 2559},
  };
  for (const Flood& flood : floods) {
    SCOPED_TRACE(flood.steps);
    long matched = 0;
    // The host dwells on the first piece, so the queue fills and the rest is held back.
    on_line = [&](const std::string& line) {
      if (line != flood.piece) return;
      if (matched++ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    tls = flood.tls;
    ASSERT_EQ(Play(flood.steps + Exec(1) + "close\n"), 0);
    EXPECT_EQ(matched, flood.pieces);
    EXPECT_EQ(record_.answers.back(), "fgl_executed_true 1");
    EXPECT_EQ(Outcome(End::kServerClosed, {}), Cache());
  }
}

// Remote names that climb, start at the root, hold empty components or run to thousands of
// characters: whatever the name, the copy is made inside the cache directory or not at all, the
// cache table lists exactly the copies that exist, whole, and the session goes on. A second
// offer of each name in the same session finds in the cache exactly the files that are there.
TEST_F(HostileServerTest, RemoteNamesNeverLeadOutOfTheCache) {
  const std::string escape = "/tmp/nycl-hostile-escape-" + std::to_string(::getpid());
  struct Name {
    std::string name;
    bool stored;    // a copy is made and recorded
    bool answered;  // the offer reaches the transfer (the line is not cut)
  };
  const Name names[] = {
      {"../escape.frm", true, true},
      {"../../../../../../../.." + escape + "/a.frm", true, true},
      {tree_ / "outside/absolute.frm", true, true},
      {"a//b///c.frm", true, true},
      {"dir\\..\\..\\back.frm", true, true},
      {"forms/" + std::string(300, 'c') + ".frm", false, true},  // a component the system refuses
      {std::string(520, 'd'), false, true},                      // a copy name past 500 bytes
      {std::string(10000, 'e'), false, false},                   // cut by the line framing
      {"", false, true},
      {"..", true, true},
      {"/", true, true},
  };
  std::string script;
  for (int round = 0; round < 2; ++round) {
    for (const Name& name : names) {
      const std::string quoted = nycl_server::QuoteArg(name.name);
      script += "send fgl_FileSend " + quoted + " 7\n";
      if (!name.answered) continue;
      if (round == 1 && name.stored) {
        script += "expect fgl_fileincache\n";
        continue;
      }
      script += "expect fgl_needfileupdate\nsend fgl_FileData " + quoted +
                " cGF5bG9h\nsend fgl_FileData " + quoted + " ZAo=\nsend fgl_FileSent " + quoted +
                "\n";
    }
  }
  ASSERT_EQ(Play(script + Exec(1) + "close\n"), 0);
  EXPECT_FALSE(testing_cache::Exists(escape));
  const std::string unrecorded = "NyCommonDataState::FileSent copy not recorded: " + CacheDir();
  const std::string refused = unrecorded + "/forms/v1_" + std::string(300, 'c') + ".frm";
  const std::string too_long = "NyCommonDataState::FileSend: name too long for the cache, dropped";
  const Cache cached = Outcome(End::kServerClosed, {refused, too_long, unrecorded + "/v1_", refused,
                                                    too_long, unrecorded + "/v1_"});
  EXPECT_EQ(cached.size(), 7u);
  for (const auto& [remote, contents] : cached) EXPECT_EQ(contents, "payload\n") << remote;
}

// Scripts that name themselves or each other, name more files than the request list holds, or
// name a file too long to request: every transfer ends with "fgl_EndServerScript", each
// request is one the client can make, and what was dropped is logged.
TEST_F(HostileServerTest, ScriptsThatLoopOrOverflowStillEndTheirTransfer) {
  std::string many;
  std::string many_requests;
  for (int i = 0; i < 600; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d", i);
    many += std::string("[file]") + name + "\n";
    // None is served: the server answers each request with "fgl_file_read_error".
    if (i < 499) many_requests = std::string(" ") + name + many_requests;
  }
  server_.WriteFile("loop.nys", "[file]x.frm\n[file]b.nys\n[file]loop.nys\n");
  server_.WriteFile("b.nys", "[file]c.nys\n");
  server_.WriteFile("c.nys", "[file]b.nys\n[file]x.frm\n");
  server_.WriteFile("x.frm", "x\n");
  server_.WriteFile("many.nys", many);
  server_.WriteFile("long.nys", "[file]" + std::string(250, 'z') + "\n[file]x.frm\n");
  struct Transfer {
    const char* script;
    std::string requests;
    Lines log;
  };
  const std::string logged = "NyCommonDataState::GenerateFileRequests ";
  const Transfer transfers[] = {
      {"loop.nys", " loop.nys b.nys c.nys b.nys x.frm x.frm", {}},
      {"many.nys",
       many_requests,
       {logged + "more than 499 names in: " + CacheDir() + "/v1_many.nys"}},
      {"long.nys", " x.frm", {logged + "name too long, skipped: " + std::string(64, 'z')}},
  };
  for (const Transfer& transfer : transfers) {
    SCOPED_TRACE(transfer.script);
    ASSERT_EQ(Play(std::string("script ") + transfer.script + "\nexpect-requests" +
                   transfer.requests + "\n" + Exec(1) + "close\n"),
              0);
    Outcome(End::kServerClosed, transfer.log);
  }
}

// Data lines that are not base64, or that come where no file is open: the bytes decoded from
// them go to the file being received and nowhere else. A group left incomplete by a file the
// server gives up does not shift the next file's bytes, and the session goes on.
TEST_F(HostileServerTest, GarbageFileDataStaysInItsOwnFile) {
  std::string junk;
  for (int i = 1; i < 4000; ++i) {
    if (i % 256 != '\n' && i % 256 != '\r') junk += static_cast<char>(i % 256);
  }
  // The server offers `name`, the client takes it, and `data` follows, each line after the name.
  auto file = [](const std::string& name, const Lines& data, bool sent) {
    std::string steps = "send fgl_FileSend " + name + " 3\nexpect fgl_needfileupdate\n";
    for (const std::string& line : data) steps += "send fgl_FileData " + name + line + "\n";
    return steps + (sent ? "send fgl_FileSent " + name + "\n" : "");
  };
  ASSERT_EQ(Play("send fgl_FileData nothing.frm cGF5bG9hZAo=\n" +
                 file("given-up.frm", {" YW"}, false) +  // half a group, then given up
                 file("after-given-up.frm", {" cGF5bG9hZAo="}, true) +
                 file("garbage.frm", {" !!!!@@@@====*", "", " " + junk}, true) +
                 file("after-garbage.frm", {" cGF5bG9hZAo="}, true) + Exec(1) + "close\n"),
            0);
  const Cache cached =
      Outcome(End::kServerClosed, {"NyCommonDataState::FileSend: earlier download abandoned"});
  EXPECT_EQ(cached.size(), 3u);
  EXPECT_EQ(cached.count("given-up.frm"), 0u);
  EXPECT_EQ(cached.at("after-given-up.frm"), "payload\n");
  EXPECT_EQ(cached.at("after-garbage.frm"), "payload\n");
  EXPECT_LT(cached.at("garbage.frm").size(), junk.size());
}

// A server that stops in the middle of something: it closes, resets, or falls silent until the
// host gives up. The session ends by the first bound that applies, a partial file is neither
// kept nor recorded, and the cache lock is free afterwards.
TEST_F(HostileServerTest, ServerThatStopsMidwayEndsTheSessionCleanly) {
  server_.WriteFile("big.frm", std::string(10000, 'b'));
  struct Stop {
    std::string script;
    End end;
    const char* answer;  // the last answer the host gave (sent or not)
    int stop_after_ms;   // the host stops the session (0: it does not)
  };
  const std::string file = "file big.frm expect-update cut 5000\n";
  // In the middle of a compressed block, and of the file the block belongs to.
  const std::string block = Compressed(false) + file + "send-cut 9 zzzzzzzzzzzzzzzz\n";
  const Stop stops[] = {
      // The line cut by the end of the stream is taken as a line; its answer has nowhere to go.
      {"send-raw fgl_Exec prog 7\nclose\n", End::kServerClosed, "fgl_executed_true 7", 0},
      {"send-raw fgl_Exec prog 7\nsleep 200\ndrop\n", End::kLost, "fgl_executed_true 7", 0},
      {file + "close\n", End::kServerClosed, "fgl_needfileupdate", 0},
      {file + "drop\n", End::kLost, "fgl_needfileupdate", 0},
      {file + "expect-close\n", End::kStopped, "fgl_needfileupdate", 300},
      {block + "close\n", End::kServerClosed, "fgl_needfileupdate", 0},
      {block + "expect-close\n", End::kStopped, "fgl_needfileupdate", 300},
  };
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.script);
    stop_after = std::chrono::milliseconds(stop.stop_after_ms);
    ASSERT_EQ(Play(stop.script), 0);
    EXPECT_EQ(record_.answers.back(), stop.answer);
    EXPECT_EQ(Outcome(stop.end, {}, 1500), Cache());
  }
}

// A server that stops in the middle of the TLS handshake it asked for. Silent, it holds the
// client's TLS wait to its bound, and the session goes on in plain; gone, it ends the wait at
// once.
TEST_F(HostileServerTest, ServerThatStopsMidTlsHandshakeEndsTheTlsWait) {
  struct Cut {
    int wait_limit_ms;
    std::string then;  // what the server does after the cut
    std::string logged;
    int within_ms;
  };
  const Cut cuts[] = {
      {500, "sleep 1000\n" + Exec(9), "TLS did not start within 500 ms; going on without it", 5000},
      {10000, "", "the TLS handshake failed; going on without it", 1000},
  };
  tls = true;
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.logged);
    configure = [&](NyCommonDataState* state) { state->SetTlsWaitLimit(cut.wait_limit_ms); };
    ASSERT_EQ(Play("handshake 5.0 S\nsend fgl_StartSession\ntls-cut 30\n" + cut.then + "close\n"),
              0);
    EXPECT_EQ(Outcome(End::kServerClosed, {"fgl_StartSession: " + cut.logged}, cut.within_ms),
              Cache());
  }
}

// The server asks for a large file and does not read it, then reads it: the upload waits while
// what is queued unsent reaches the connection's bound, so memory stays bounded; the server
// that reads gets the whole file, and the one that goes away ends the upload.
TEST_F(HostileServerTest, UploadToAServerThatDoesNotReadKeepsMemoryBounded) {
  std::string bytes(24 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
  const std::string path = tree_ / "big.bin";
  testing_cache::WriteFile(path, bytes);
  for (bool reads : {true, false}) {
    SCOPED_TRACE(reads ? "reads" : "does not read");
    ResetPeak();
    const long before = StatusKiB("VmRSS:");
    ASSERT_EQ(Play(reads ? "upload " + path + " expect-same " + path + "\nclose\n"
                         : "send fgl_FileRequest " + path + "\nsleep 1000\ndrop\n"),
              0);
    const long growth_kib = StatusKiB("VmHWM:") - before;
    if (!kQuarantine) {
      EXPECT_LT(growth_kib, 16 << 10);
    }
    EXPECT_EQ(result_.end, reads ? End::kServerClosed : End::kLost);
  }
}

}  // namespace
}  // namespace session_test
}  // namespace nycl
