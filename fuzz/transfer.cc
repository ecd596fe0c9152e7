// The session's file, script and blob transfer: protocol lines of the transfer commands run
// against a common data state whose cache lives in the scratch directory. Input: lines
// separated by line feeds; lines of other commands are made but not run, except opening and
// closing windows (blobs go to the current window).
//
// The server may store below "store", upload from "up" and launch nothing; lines it is
// answered with are dropped. Every input starts with an empty cache and store.
// Checked: when the data state is gone, the cache lock is free and nothing has appeared in
// the scratch directory outside the cache and the store.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "nycl/base/Base64.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/command/NyCommand.h"
#include "nycl/res/Atom.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyDataStateHolder.h"
#include "nycl/state/NyRenderWindow.h"

namespace {

using namespace nycl;

const std::set<std::string> kRun = {
    "fgl_ScriptFileSend",  "fgl_ScriptFileSent", "fgl_FileSend",   "fgl_FileData", "fgl_FileSent",
    "fgl_file_read_error", "fgl_FileRequest",    "fgl_ScriptEnd",  "fgl_Blob",     "fgl_BlobData",
    "fgl_BlobEnd",         "fgl_WindowOpen",     "fgl_WindowClose"};

const std::set<std::string> kScratchEntries = {"cache", "store", "up", "settings"};

class DroppingConnection : public BaseConnection {
 public:
  Socket* GetSocket() override { return nullptr; }
  int CloseConnection() override { return 0; }
  int SendString(char*) override { return 1; }
};

class TransferHost : public NyCommonDataState {
 public:
  explicit TransferHost(CCorvathFileCache* cache) : NyCommonDataState(cache) {}
  ~TransferHost() override {
    while (!windows.empty()) delete windows.back();
  }
  int ErrorLog(char*, char*, char*) override { return 0; }
};

std::string g_scratch;

bool LockIsFree() {
  const int fd = ::open("cache/__Tamrel_Corvath_File_Cache", O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

bool OnlyExpectedEntries() {
  DIR* dir = ::opendir(".");
  if (dir == nullptr) return false;
  bool expected = true;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && kScratchEntries.count(name) == 0) expected = false;
  }
  ::closedir(dir);
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_scratch = nycl::fuzz::EnterScratchDirectory("transfer");
  nycl::fuzz::WriteFile("settings", "CacheLocation=cache\n");
  nycl::fuzz::ResetDirectory("up");
  nycl::fuzz::WriteFile("up/data.bin", std::string(2041, 'u'));
  nycl::fuzz::WriteFile("up/empty", "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::ResetDirectory("cache");
  nycl::fuzz::ResetDirectory("store");
  ResetBase64Pipes();
  {
    DroppingConnection connection;
    NyDataStateHolder holder;
    auto* host = new TransferHost(new CCorvathFileCache("settings"));
    host->SetConnection(&connection);
    ServerTrust& trust = host->GetServerTrust();
    trust.ConfineStores({g_scratch + "/store"});
    trust.ConfineUploads({g_scratch + "/up"});
    trust.AllowLaunches(false);
    holder.PushDataState(host);
    for (const std::string& line : nycl::fuzz::Split(data, size, '\n')) {
      NyCommand* command = NyCommand::Create(line.c_str(), &holder);
      if (command == nullptr) continue;
      if (kRun.count(command->GetArg(0)) != 0) {
        command->Execute();
      } else {
        delete command;
      }
    }
    holder.PopDataState();
    delete host;
  }
  FUZZ_CHECK(LockIsFree());
  FUZZ_CHECK(OnlyExpectedEntries());
  Atom::Destroy();
  return 0;
}
