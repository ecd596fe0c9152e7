// CCacheInterface: the client file cache as its users see it.
#ifndef NYCL_CACHE_CCACHEINTERFACE_H
#define NYCL_CACHE_CCACHEINTERFACE_H

namespace nycl {

// Maps remote file names (as the server names them) to local copies on disk, each copy with
// the server's tag and a local version number. The session file transfer and the resource
// loader see only this interface; CCorvathFileCache is the implementation.
//
// Out buffers: an operation writing a name copies at most `size` bytes and puts a NUL at index
// min(length, size), so every out buffer must hold size + 1 bytes.
//
// Threads: one thread at a time per object. Hosts depend on the order of the virtual
// operations below; keep it.
class CCacheInterface {
 public:
  // Records `local_name` as the newest copy of `remote_name`, with the server's `tag`.
  // Returns 1.
  virtual int AddFile(const char* remote_name, const char* local_name, int tag) = 0;
  // Writes into `out` the local file name the next copy of `remote_name` should be stored
  // under. Directories on the way are not created. Returns 1.
  virtual int QueryForFilename(const char* remote_name, char* out, int size) = 0;
  // Writes into `out` the local name of the newest copy of `remote_name` and returns 1
  // (an empty name when the file is known but has no copy); returns 0, leaving `out`
  // untouched, when the file is unknown.
  virtual int GetFile(const char* remote_name, char* out, int size) = 0;
  // Writes into `out` the remote name of the file that `local_name` is a copy of and
  // returns 1; returns 0 when no copy has that name.
  virtual int ReverseGetFile(const char* local_name, char* out, int size) = 0;
  // 1 when a copy of `remote_name` carrying exactly `tag` is held, else 0.
  virtual int QueryCache(const char* remote_name, int tag) = 0;

  virtual ~CCacheInterface() = default;

 protected:
  CCacheInterface() = default;
  CCacheInterface(const CCacheInterface&) = default;
  CCacheInterface& operator=(const CCacheInterface&) = default;
};

}  // namespace nycl

#endif  // NYCL_CACHE_CCACHEINTERFACE_H
