// Script transfers, downloads, uploads and direct stores of the common data state against a
// real cache, with the test playing the server; the server trust and program details.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "support/CommonStateHost.h"

namespace nycl::test {
namespace {

using testing_cache::Exists;
using testing_cache::ListTree;
using testing_cache::ReadFile;
using testing_cache::WriteFile;
namespace fs = testing_cache::fs;

class FileTransferTest : public ::testing::Test {
 protected:
  FileTransferTest() : state(std::make_unique<CommonStateHost>(dir)) {}

  // Puts a file on the server.
  void Offer(const std::string& name, const std::string& contents, int tag = 7) {
    served[name] = {tag, contents};
  }
  // The server's side of one request: the file with its data in lines of 8 characters (so
  // groups are split across lines), or fgl_file_read_error for a file it does not have.
  void Send(const std::string& name) {
    auto file = served.find(name);
    if (file == served.end()) {
      state->FileSent(nullptr);
      return;
    }
    const int tag = freshTags ? ++lastTag : file->second.first;
    state->FileSend(Arg(name), Arg(std::to_string(tag)));
    if (state->log.empty() || state->log.back() != "fgl_needfileupdate") return;
    const std::string text = Base64(file->second.second);
    for (size_t at = 0; at < text.size(); at += 8) {
      state->FileData(Arg(name), Arg(text.substr(at, 8)));
    }
    state->FileSent(Arg(name));
  }
  // Answers requests until the client asks for nothing more.
  void Serve() {
    const std::string request = "fgl_filerequest ";
    for (int step = 0; step < 5000 && !state->log.empty(); ++step) {
      const std::string& last = state->log.back();
      if (last.compare(0, request.size(), request) != 0) return;
      Send(last.substr(request.size()));
    }
  }
  void RunScript(const std::string& root) {
    state->ScriptFileSend(Arg(root));
    Send(root);
    state->ScriptFileSent(Arg(root));
    Serve();
  }
  // The answers that steer a transfer: requested names, "cached" and "END".
  Log Steps() const {
    Log steps;
    for (const std::string& event : state->log) {
      if (event.compare(0, 16, "fgl_filerequest ") == 0) steps.push_back(event.substr(16));
      if (event == "fgl_fileincache") steps.push_back("cached");
      if (event == "fgl_EndServerScript") steps.push_back("END");
    }
    return steps;
  }
  // The contents of the newest cached copy of `name`, or "(none)".
  std::string Cached(const std::string& name) {
    char path[501];
    if (state->GetFileCache()->GetFile(name.c_str(), path, 500) == 0) return "(none)";
    return ReadFile(path);
  }

  CacheDirectory dir;
  std::unique_ptr<CommonStateHost> state;
  std::map<std::string, std::pair<int, std::string>> served;
  bool freshTags = false;  // a new tag for every send, as a server that never matches the cache
  int lastTag = 100;
};

TEST_F(FileTransferTest, RootScriptWithoutNamesEndsAtOnceAndLogsWhatItLoads) {
  Offer("root.nys", "APP.title: Alone\n");
  state->ScriptFileSend(Arg("root.nys"));
  Send("root.nys");
  EXPECT_EQ(state->Take(), (Log{"fgl_needfileupdate"}));
  state->logging = CommonStateHost::Logging::kAll;
  state->ScriptFileSent(Arg("root.nys"));
  char path[501];
  ASSERT_EQ(state->GetFileCache()->GetFile("root.nys", path, 500), 1);
  EXPECT_EQ(state->Take(),
            (Log{"ErrorLog(Tossick,SendResponceString,fgl_EndServerScript)", "fgl_EndServerScript",
                 "ErrorLog(Tossick,NyCommonDataState m_rootscriptfilename=,root.nys)",
                 "ErrorLog(Tossick,NyCommonDataState buffer=," + std::string(path) + ")"}));
  std::unique_ptr<ResInfo> info(state->GetResFile()->LocateResourceData("APP"));
  EXPECT_STREQ(Atom::DeAtomize(info->FindResourceA("title", nullptr)), "Alone");
}

// A window keeps querying the resource file it was made with after a later transfer replaced
// it; files no window queries are released (the sanitizer build checks both).
TEST_F(FileTransferTest, WindowsKeepTheirResourceFileAcrossLaterTransfers) {
  Offer("root.nys", "APP.MAIN.FORM.title: first\n");
  RunScript("root.nys");
  state->SetApplicationName("app");
  state->CreateRenderWindow("main", 0, 0, 80, 24, "", 0);
  auto* window = dynamic_cast<NyCommonRenderWindow*>(state->GetCurrentRenderWindow());
  ASSERT_NE(window, nullptr);
  const ResFile* first = state->GetResFile();
  EXPECT_EQ(window->GetQueriedResFile(), first);

  for (int round = 0; round < 3; ++round) RunScript("root.nys");
  EXPECT_NE(state->GetResFile(), first);
  window->SetFormName(Arg("form"));
  const char* title = Atom::DeAtomize(window->GetFormResInfo()->FindResourceA("title", nullptr));
  EXPECT_STREQ(title, "first");
  delete window;
  RunScript("root.nys");
}

// The cache lock is held from the download decision to FileSent. A download abandoned for
// another, cut by a read error or by the data state's end leaves no partial copy.
TEST_F(FileTransferTest, DownloadsHoldTheLockAndAbandonedOnesLeaveNoPartialCopy) {
  state->FileSend(Arg("a.frm"), Arg("1"));
  EXPECT_FALSE(dir.LockFree());
  state->FileData(Arg("a.frm"), Arg("YWJjZA"));  // "abc", and "ZA" carried
  EXPECT_FALSE(dir.LockFree());
  state->FileSent(Arg("a.frm"));
  EXPECT_TRUE(dir.LockFree());
  EXPECT_EQ(Cached("a.frm"), "abcd");

  const std::string bytes("x\0z", 3);
  state->FileSend(Arg("p.frm"), Arg("1"));
  state->FileData(Arg("p.frm"), Arg("YWJjZA"));  // leaves "ZA" carried
  state->FileSend(Arg("b.frm"), Arg("1"));
  state->FileData(Arg("b.frm"), Arg(Base64(bytes)));
  state->FileSent(Arg("b.frm"));
  EXPECT_TRUE(dir.LockFree());
  EXPECT_EQ(Cached("p.frm"), "(none)");
  EXPECT_EQ(Cached("b.frm"), bytes);
  const Log whole = {"NyCorvathCacheAcessMutex", "__Tamrel_Corvath_File_Cache", "v1_a.frm",
                     "v1_b.frm"};
  EXPECT_EQ(ListTree(dir.cache()), whole);

  // A read error in the middle of a file drops its partial copy too.
  state->FileSend(Arg("c.frm"), Arg("1"));
  state->FileData(Arg("c.frm"), Arg("YWJj"));
  state->FileSent(nullptr);
  EXPECT_TRUE(dir.LockFree());
  EXPECT_EQ(Cached("c.frm"), "(none)");
  EXPECT_FALSE(Exists(dir.cache() + "/v1_c.frm"));

  // So does a data state destroyed in the middle of a file; what came whole stays.
  state->FileSend(Arg("d.frm"), Arg("1"));
  state->FileData(Arg("d.frm"), Arg("YWJj"));
  state.reset();
  EXPECT_TRUE(dir.LockFree());
  EXPECT_EQ(ListTree(dir.cache()), whole);
  state = std::make_unique<CommonStateHost>(dir);
  EXPECT_EQ(Cached("d.frm"), "(none)");
  EXPECT_EQ(Cached("b.frm"), bytes);
}

TEST_F(FileTransferTest, ScriptsThatNameThemselvesOrEachOtherAreTakenOnce) {
  freshTags = true;
  Offer("root.nys", "[file]z.frm\n[file]p.nys\n[file]self.nys\n");
  Offer("self.nys", "[file]self.nys\n");
  Offer("p.nys", "[file]q.nys\n");
  Offer("q.nys", "[file]p.nys\n");
  Offer("z.frm", "Z");
  state->logging = CommonStateHost::Logging::kAll;
  RunScript("root.nys");
  EXPECT_EQ(Steps(), (Log{"self.nys", "self.nys", "p.nys", "q.nys", "p.nys", "z.frm", "END"}));
  Log taken;
  for (const std::string& event : state->log) {
    if (event.find("script already taken") != std::string::npos) taken.push_back(event);
  }
  const std::string logged = "ErrorLog(TOSSICK,NyCommonDataState::FileSent script already taken,";
  EXPECT_EQ(taken, (Log{logged + "self.nys)", logged + "p.nys)"}));
}

// A host whose script reader throws for one script.
class ThrowingDataState : public CommonStateHost {
 public:
  using CommonStateHost::CommonStateHost;
  int GenerateFileRequestsFromScriptFile(const char* path, int* count, void*** names) override {
    if (std::string(path).find("bad.nys") != std::string::npos) throw "boom";
    return CommonStateHost::GenerateFileRequestsFromScriptFile(path, count, names);
  }
};

TEST_F(FileTransferTest, ExceptionWhileReadingANestedScriptIsLoggedAndItsNamesDropped) {
  state = std::make_unique<ThrowingDataState>(dir);
  Offer("root.nys", "[file]a.frm\n[file]bad.nys\n");
  Offer("bad.nys", "[file]never.frm\n");
  Offer("a.frm", "A");
  RunScript("root.nys");
  EXPECT_EQ(Steps(), (Log{"bad.nys", "a.frm", "END"}));
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "AddLog(Exception 1 'boom' in NyCommonDataState:%p::FileSent('bad.nys')\n)",
                static_cast<void*>(static_cast<NyCommonDataState*>(state.get())));
  EXPECT_EQ(std::count(state->log.begin(), state->log.end(), expected), 1);
  EXPECT_TRUE(dir.LockFree());
}

// A name is trimmed at its end only; one too long to request is skipped, and the longest that
// fits is requested whole.
TEST_F(FileTransferTest, ScriptNamesAreTrimmedAtTheEndOnlyAndOverlongOnesSkipped) {
  const std::string script = dir.work() + "/names.nys";
  const std::string longest(183, 'k');
  WriteFile(script, std::string("[file]\"forms/main.frm\"\r\n") +  //
                        "x [file] b.frm \"\n" +                    //
                        "[file]c.frm\r\"\n" +                      // CR before the quote stays
                        "[file]d.frm\t\r\n" +                      // so does TAB before CR
                        "[FILE]upper.frm\n" +                      // the marker is exact
                        "[file]" + std::string(184, 'L') + "\n[file]" + longest + "\n" +
                        "[file]e.frm\"\t");  // no line feed at the end
  int count = 0;
  void** names = nullptr;
  ASSERT_EQ(state->GenerateFileRequestsFromScriptFile(script.c_str(), &count, &names), 1);
  std::vector<std::string> got;
  for (int i = 0; i < count; ++i) got.push_back(static_cast<char*>(names[i]));
  EXPECT_EQ(names[count], nullptr);
  for (int i = 0; i < count; ++i) std::free(names[i]);
  std::free(names);
  EXPECT_EQ(got, (std::vector<std::string>{"\"forms/main.frm", " b.frm ", "c.frm\r", "d.frm\t",
                                           longest, "e.frm"}));
  state->RequestFile(Arg(longest));
  EXPECT_EQ(state->Take(), (Log{"fgl_filerequest " + longest}));
}

TEST_F(FileTransferTest, MissingScriptsAndPipesGiveNoRequests) {
  int count = 0;
  void** names = nullptr;
  EXPECT_EQ(state->GenerateFileRequestsFromScriptFile("/no/such/script.nys", &count, &names), 0);
  EXPECT_EQ(count, -1);
  // The cache table is written by other processes: a script path naming a pipe is refused at
  // once rather than read (which would wait for a writer that never comes).
  const std::string pipe = dir.work() + "/pipe.nys";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(state->GenerateFileRequestsFromScriptFile(pipe.c_str(), &count, &names), 0);
}

TEST_F(FileTransferTest, ReadLineKeepsAtMost64KiBOfALine) {
  const std::string path = dir.work() + "/long.txt";
  WriteFile(path, std::string(70000, 'a') + "\nnext\nlast");
  FILE* file = std::fopen(path.c_str(), "r");
  XString line;
  EXPECT_EQ(state->ReadLine(file, line), 70001);
  EXPECT_EQ(line.length(), 65536);
  EXPECT_EQ(state->ReadLine(file, line), 5);
  EXPECT_STREQ(line.c_str(), "next\n");
  EXPECT_EQ(state->ReadLine(file, line), 4);
  EXPECT_EQ(state->ReadLine(file, line), 0);
  EXPECT_STREQ(line.c_str(), "");
  std::fclose(file);
}

TEST_F(FileTransferTest, AbsentArgumentsAreHarmless) {
  // A script announcement followed at once by its end has nothing to go on.
  state->ScriptFileSend(Arg("root.nys"));
  EXPECT_EQ(state->ScriptFileSent(Arg("root.nys")), 0);
  state->ScriptFileSend(nullptr);
  EXPECT_EQ(state->ScriptFileSent(nullptr), 0);
  state->FileSend(nullptr, nullptr);
  state->FileSend(Arg("x"), nullptr, nullptr, 1);
  state->FileData(nullptr, nullptr);
  state->FileSent(nullptr);
  state->FileSend(nullptr, Arg("1"));
  state->FileData(nullptr, nullptr);
  state->FileSent(nullptr);
  state->RequestFile(nullptr);
  state->BlobData(nullptr);
  state->BlobEnd();
  EXPECT_EQ(state->FileRequest(nullptr), 0);
  EXPECT_EQ(state->GetNysProgDetails(nullptr), 0);
  EXPECT_EQ(state->Take(), (Log{"fgl_needfileupdate", "fgl_filerequest ", "fgl_FileFound false",
                                "fgl_NysProgNone"}));
  EXPECT_TRUE(dir.LockFree());
}

// With a directory the server may be trusted with and one beside it.
class FileUploadTest : public FileTransferTest {
 protected:
  FileUploadTest() {
    fs::create_directory(allowed());
    fs::create_directory(outside());
  }
  std::string allowed() const { return dir.work() + "/allowed"; }
  std::string outside() const { return dir.work() + "/outside"; }

  // A direct store of `contents` to `target`; returns the answers.
  Log Store(const std::string& target, const std::string& contents) {
    state->FileSend(Arg("remote.bin"), Arg("5"), Arg(target), 1);
    state->FileData(Arg("remote.bin"), Arg(Base64(contents)));
    state->FileSent(Arg("remote.bin"));
    return state->Take();
  }
};

TEST_F(FileUploadTest, OnlyExistingRegularFilesAreUploaded) {
  const std::string fifo = dir.work() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.work() + "/missing", dir.work(), fifo}) {
    EXPECT_EQ(state->FileRequest(Arg(path)), 0);
    EXPECT_EQ(state->Take(), (Log{"fgl_FileFound false"})) << path;
  }
}

TEST_F(FileUploadTest, DirectStoreWritesTheTargetWithoutCacheEntry) {
  state->FileSend(Arg("remote.bin"), Arg("5"), Arg(dir.work() + "/new/./x/../file.bin"), 1);
  EXPECT_TRUE(dir.LockFree());
  state->FileData(Arg("remote.bin"), Arg("YWJjZA"));
  state->FileSent(Arg("remote.bin"));
  EXPECT_EQ(state->Take(), (Log{"fgl_FileStored " + dir.work() + "/new/file.bin"}));
  EXPECT_EQ(ReadFile(dir.work() + "/new/file.bin"), "abcd");
  EXPECT_FALSE(Exists(dir.work() + "/new/x"));
  EXPECT_EQ(Cached("remote.bin"), "(none)");

  // A relative target lies below the working directory; without the store flag the file
  // goes to the cache.
  const fs::path before = fs::current_path();
  fs::current_path(dir.work());
  EXPECT_EQ(Store("rel/file.bin", "xyz"), (Log{"fgl_FileStored " + dir.work() + "/rel/file.bin"}));
  fs::current_path(before);
  EXPECT_EQ(ReadFile(dir.work() + "/rel/file.bin"), "xyz");
  state->FileSend(Arg("remote.bin"), Arg("5"), Arg(dir.work() + "/unused"), 0);
  EXPECT_EQ(state->Take(), (Log{"fgl_needfileupdate"}));
}

TEST_F(FileUploadTest, StoresOutsideTheTrustedDirectoriesAreDroppedAndLogged) {
  state->GetServerTrust().ConfineStores({allowed()});
  state->logging = CommonStateHost::Logging::kAll;
  EXPECT_EQ(Store(allowed() + "/sub/ok.bin", "ok").back(),
            "fgl_FileStored " + allowed() + "/sub/ok.bin");
  EXPECT_EQ(ReadFile(allowed() + "/sub/ok.bin"), "ok");

  fs::create_directory_symlink(outside(), allowed() + "/link");
  fs::create_symlink(outside() + "/dangling.bin", allowed() + "/dangling.bin");
  const std::string escapes[] = {outside() + "/new/f.bin", allowed() + "/../outside/f.bin",
                                 allowed() + "/link/f.bin", allowed() + "/dangling.bin",
                                 allowed() + "\\..\\..\\evil\\f.bin"};
  for (const std::string& target : escapes) {
    SCOPED_TRACE(target);
    Log answers = Store(target, "bad");
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers.back().compare(0, 15, "fgl_FileStored "), 0);
    int refusals = 0;
    for (const std::string& event : answers) {
      refusals += event.find("refused by the server trust") != std::string::npos;
    }
    EXPECT_EQ(refusals, 1);
  }
  EXPECT_EQ(testing_cache::ListTree(outside()), (Log{}));
  EXPECT_FALSE(Exists(allowed() + "/../../evil"));
}

TEST_F(FileUploadTest, UploadsAndProgramReadsOutsideTheTrustedDirectoriesAreRefused) {
  WriteFile(allowed() + "/prog.nys",
            "DEFAULT.host: server.example\nDEFAULT.port: 8000\nDEFAULT.command: run app\n");
  WriteFile(outside() + "/secret.nys", "DEFAULT.host: h\nDEFAULT.port: 1\nDEFAULT.command: c\n");
  fs::create_symlink(outside() + "/secret.nys", allowed() + "/link.nys");

  // Trusted fully, as the protocol has it.
  EXPECT_EQ(state->GetNysProgDetails(Arg(allowed() + "/prog.nys")), 1);
  EXPECT_EQ(state->Take(), (Log{"fgl_NysProg run app|server.example 8000",
                                "AppendNysFile(" + allowed() + "/prog.nys)"}));
  WriteFile(allowed() + "/partial.nys", "DEFAULT.host: h\nDEFAULT.port: 1\n");
  EXPECT_EQ(state->GetNysProgDetails(Arg(allowed() + "/partial.nys")), 0);
  EXPECT_EQ(state->Take().back(), "fgl_NysProgNone");

  state->GetServerTrust().ConfineUploads({allowed()});
  EXPECT_EQ(state->GetNysProgDetails(Arg(allowed() + "/prog.nys")), 1);
  state->Take();
  for (const std::string& path :
       {outside() + "/secret.nys", allowed() + "/link.nys", allowed() + "/../outside/secret.nys"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(state->FileRequest(Arg(path)), 0);
    EXPECT_EQ(state->GetNysProgDetails(Arg(path)), 0);
    EXPECT_EQ(state->Take(), (Log{"fgl_FileFound false", "fgl_NysProgNone"}));
  }
  EXPECT_EQ(state->FileRequest(Arg(allowed() + "/prog.nys")), 0);
  EXPECT_EQ(state->Take().front(), "fgl_FileFound true");

  // A program file's includes are read for the server too: one leading outside is ignored,
  // one inside (in either form of its name) is followed.
  const std::string leaking = allowed() + "/leaking.nys", inner = allowed() + "/inner.nys";
  WriteFile(leaking, "%include " + outside() + "/secret.nys\n");
  WriteFile(inner, "%include \"" + allowed() + "/prog.nys\"\n");
  EXPECT_EQ(state->GetNysProgDetails(Arg(leaking)), 0);
  EXPECT_EQ(state->Take(), (Log{"AppendNysFile(" + leaking + ")", "fgl_NysProgNone"}));
  EXPECT_EQ(state->GetNysProgDetails(Arg(inner)), 1);
  EXPECT_EQ(state->Take().front(), "fgl_NysProg run app|server.example 8000");
  state->GetServerTrust().TrustFully();
  EXPECT_EQ(state->GetNysProgDetails(Arg(leaking)), 1);
  EXPECT_EQ(state->Take().front(), "fgl_NysProg c|h 1");
}

}  // namespace
}  // namespace nycl::test
