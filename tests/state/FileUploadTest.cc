// Uploads, direct stores, the server trust, program details and blobs of the common data
// state.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "nycl/state/NyRenderWindow.h"
#include "support/CommonStateHost.h"

namespace nycl::test {
namespace {

using testing_cache::Exists;
using testing_cache::ReadFile;
using testing_cache::WriteFile;
namespace fs = testing_cache::fs;

class FileUploadTest : public ::testing::Test {
 protected:
  FileUploadTest() : state(std::make_unique<CommonStateHost>(dir)) {
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

  CacheDirectory dir;
  std::unique_ptr<CommonStateHost> state;
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
  char path[501];
  EXPECT_EQ(state->GetFileCache()->GetFile("remote.bin", path, 500), 0);

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

// A window that records the blob it receives.
class BlobWindow : public NyRenderWindow {
 public:
  BlobWindow(NyDataState* state) : NyRenderWindow("blob", 0, 0, 0, 0, "", state, 0) {}
  int AddToReceivedBlob(char* bytes, int count) override {
    received += "[" + std::string(bytes, count) + "]";
    return 1;
  }
  int EndBlobReceive() override {
    received += "end";
    return 1;
  }
  std::string received;
};

TEST_F(FileUploadTest, BlobBytesReachTheCurrentWindowAndTheEndFlushesTheRest) {
  state->BlobData(Arg("YWJjZA"));  // no window: dropped, and nothing breaks
  state->BlobEnd();
  BlobWindow window(state.get());
  state->AddRenderWindow(&window);
  state->BlobData(Arg("YWJjZA"));
  state->BlobData(Arg("=="));
  state->BlobData(Arg("eA"));
  state->BlobEnd();
  EXPECT_EQ(window.received, "[abc][d][x]end");
}

}  // namespace
}  // namespace nycl::test
