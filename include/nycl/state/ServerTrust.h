// ServerTrust: how far the application server may reach into this machine.
//
// Beyond the client file cache, the protocol lets the server store a file at any local path
// ("fgl_FileSend" with a target and the store flag), read any local file ("fgl_FileRequest"
// uploads it; "fgl_GetNysProg" reads one to answer with a program's connection details) and
// start local programs ("fgl_Exec", "fgl_ShellExec"). A fresh ServerTrust allows all of it, as
// the protocol does; a host narrows it before the session starts:
//
//   ServerTrust& trust = dataState->GetServerTrust();
//   trust.ConfineStores({"/home/ann/.acme/received"});  // stores only below this directory
//   trust.ConfineUploads({});                            // no uploads at all
//   trust.AllowLaunches(false);
//
// What the common data state does when the server asks for more than it may: a refused store
// behaves like a file that cannot be created (the data is dropped), a refused upload answers
// "fgl_FileFound false", a refused program read answers "fgl_NysProgNone", and a refused launch
// is answered like a launch that failed ("fgl_executed_false"). A program file's "%include"
// lines are read for the server as well: only those inside the upload directories are followed.
// Files received into the cache are not governed here: the cache maps every remote name
// inside its own directory.
//
// A path lies inside a directory when, made absolute against the working directory, with "."
// and ".." resolved and the symbolic links of its existing part followed, it is that directory
// or lies below it (the directory resolved the same way). A path through a link that leads
// nowhere lies inside no directory. A directory that does not exist confines nothing: no path
// lies inside it.
//
// A value type. Threads: read on the command thread; set it before the session starts.
#ifndef NYCL_STATE_SERVERTRUST_H
#define NYCL_STATE_SERVERTRUST_H

#include <string>
#include <vector>

namespace nycl {

class ServerTrust {
 public:
  // Everything the protocol allows: stores, uploads and launches.
  ServerTrust() = default;

  // Only paths inside one of `directories` may be stored to (an empty list refuses every
  // store). Replaces an earlier confinement.
  void ConfineStores(std::vector<std::string> directories);
  // Only files inside one of `directories` may be read for the server (an empty list refuses
  // every upload and program read). Replaces an earlier confinement.
  void ConfineUploads(std::vector<std::string> directories);
  void AllowLaunches(bool allowed) { launches_allowed_ = allowed; }
  // Back to what the protocol allows.
  void TrustFully();

  bool MayStore(const char* path) const;
  bool MayUpload(const char* path) const;
  bool MayLaunch() const { return launches_allowed_; }

  bool StoresConfined() const { return stores_confined_; }
  bool UploadsConfined() const { return uploads_confined_; }
  const std::vector<std::string>& StoreDirectories() const { return store_dirs_; }
  const std::vector<std::string>& UploadDirectories() const { return upload_dirs_; }

 private:
  bool stores_confined_ = false;
  bool uploads_confined_ = false;
  bool launches_allowed_ = true;
  std::vector<std::string> store_dirs_;
  std::vector<std::string> upload_dirs_;
};

}  // namespace nycl

#endif  // NYCL_STATE_SERVERTRUST_H
