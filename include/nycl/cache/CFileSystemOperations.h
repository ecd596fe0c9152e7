// CFileSystemOperations: path and directory helpers used before a received file is written.
#ifndef NYCL_CACHE_CFILESYSTEMOPERATIONS_H
#define NYCL_CACHE_CFILESYSTEMOPERATIONS_H

namespace nycl {

// Static helpers on NUL-terminated byte paths. Both "/" and "\" count as separators when a
// path is cut; before a path reaches the operating system every "\" is turned into "/", so
// a\b and a/b name the same directory. A null path is treated like an empty one.
//
// Threads: every operation is safe to call from any thread; none changes the process's
// working directory.
class CFileSystemOperations {
 public:
  CFileSystemOperations() = default;
  virtual ~CFileSystemOperations() = default;

  // Cuts `path` at its last separator and writes the part before it into `out`: at most
  // `size` bytes and a NUL at index min(length, size), so `out` must hold size + 1 bytes.
  // A path whose only separator is its first byte gives "". Returns 1, or 0 (leaving `out`
  // untouched) when `path` holds no separator.
  static int GetFullDirectoryPath(const char* path, char* out, int size);

  // 1 when `path` names an existing file or directory, else 0.
  static int file_exists(const char* path);

  // The directory part of `path`, keeping its separator: "a/b" gives "a/", "/b" gives "/",
  // "b" gives ".", "a/b/" gives "a/", "" gives "" and a path made only of separators gives
  // a single backslash. The result is allocated with malloc; the caller frees it with free().
  static char* dirname(const char* path);

  // Creates the directory `path`, creating missing parents first. Returns 1 when `path`
  // itself was created, 0 when it could not be or already existed.
  static int mkdir(const char* path);

  // Creates every missing directory of `path`, starting below its deepest existing
  // ancestor (the working directory when no ancestor named in `path` exists). A path ending
  // with a separator is taken as already complete and nothing is created. Components that
  // cannot be created are passed over silently: the caller learns of a failure when it then
  // fails to open a file there. Always returns 1.
  static int CreateDirectoryPaths(const char* path);
};

}  // namespace nycl

#endif  // NYCL_CACHE_CFILESYSTEMOPERATIONS_H
