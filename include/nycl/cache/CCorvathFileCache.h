// CCorvathFileCache: the client file cache, shared by every client process on the machine.
#ifndef NYCL_CACHE_CCORVATHFILECACHE_H
#define NYCL_CACHE_CCORVATHFILECACHE_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <list>
#include <memory>
#include <string>

#include "nycl/cache/CCacheInterface.h"

namespace nycl {

class CacheIndex;

// One local copy of a remote file.
struct tag_ver_entry {
  std::string filename;  // full local path of the copy
  int32_t tag;           // the server's tag for this version of the file
  int32_t version;       // 1 for the first copy, then one more than the highest held
};

// One remote file with its local copies, oldest first (the last is the newest).
struct tag_file_entry {
  std::string remote_name;
  std::list<tag_ver_entry> versions;
};

// The cache directory holds the copies, the table file "__Tamrel_Corvath_File_Cache" that
// lists them, and the lock file "NyCorvathCacheAcessMutex".
//
// The directory is the "CacheLocation=<directory>" line of the settings file
// /etc/Tamrel/Corvath/Settings when there is one (used as is, not created); otherwise
// $TEMP, else $TMP, else /tmp, followed by "/Corvath_cache", created when missing.
//
// A remote name a/b/c.frm at version 3 is stored as <cache dir>/a/b/v3_c.frm. Both "/" and
// "\" separate the remote name, and a name that would leave the cache directory is mapped
// inside it: an empty component (a leading or doubled separator) becomes "%2F", "." becomes
// "%2E" and ".." becomes "%2E%2E". A server that sends such components literally shares
// those copy names with the mapped ones; a valid server sends neither.
//
// Between processes: an operation holds the lock for its duration (see
// WaitLockAndSynchronize); a process that dies releases it with its descriptors. The table
// is reloaded at the start of a hold when another process published a new one. A process
// that keeps the lock makes the others give up after about 10 s; they then work on the
// table in memory and do not save it.
//
// Pruning deletes only copies that lie inside the cache directory; a copy recorded
// elsewhere is forgotten but its file is left alone.
//
// Threads: one thread at a time per object. Two objects, in one process or in several,
// exclude each other through the lock. Not copyable.
class CCorvathFileCache : public CCacheInterface {
 public:
  // Opens the cache named by the machine's settings file, prunes it (only the newest copy
  // of each remote file survives) and saves the table.
  CCorvathFileCache();
  // The same with another settings file, for hosts installed elsewhere.
  explicit CCorvathFileCache(const std::string& settings_file);
  // Opens the cache in `directory` (a relative one is taken from the working directory),
  // whatever the settings say; the directory is created when missing (its parent must exist).
  // For hosts that keep a cache of their own.
  static std::unique_ptr<CCorvathFileCache> InDirectory(const std::string& directory);
  // Releases every hold, saving a modified table.
  ~CCorvathFileCache() override;

  CCorvathFileCache(const CCorvathFileCache&) = delete;
  CCorvathFileCache& operator=(const CCorvathFileCache&) = delete;

  // An empty or null remote name is not recorded (it would match every name). A name that a
  // table line cannot hold (one with a double quote, CR or LF) is kept in memory only.
  int AddFile(const char* remote_name, const char* local_name, int tag) override;
  int QueryForFilename(const char* remote_name, char* out, int size) override;
  int GetFile(const char* remote_name, char* out, int size) override;
  // A local name in double quotes matches every copy whose name begins with the quoted
  // text; an unquoted one matches a copy with exactly that name.
  int ReverseGetFile(const char* local_name, char* out, int size) override;
  int QueryCache(const char* remote_name, int tag) override;

  // Takes the lock, or one more hold of it (holds nest). When this object does not hold it
  // yet: waits for the lock file without limit, then tries up to 100 times, 100 ms apart,
  // to take the table file; reloads the table when it is new to this object. Returns 1 when
  // the lock is held, 0 when it could not be taken (the hold then works in memory).
  // Every call must be paired with UnlockAndSynchronize.
  int WaitLockAndSynchronize();
  // Gives back one hold; giving back the last saves a modified table and releases the lock.
  // Returns 1 when the lock is still held afterwards, else 0.
  int UnlockAndSynchronize();

  // The copies of the first record that matches `name`, trying in turn: a record name that
  // is a prefix of `name`; after a "[file]" marker (any case) in `name`, a record name that
  // is a prefix of the upper-cased rest; equality ignoring case; equality ignoring case with
  // the first token of `name`; equality ignoring case with every "\" of `name` turned into
  // "/". Null when none matches or the table was never loaded. The list belongs to this
  // object and stays valid until the next operation or hold.
  std::list<tag_ver_entry>* does_remote_file_exist_in_cache(const char* name);

  const std::string& CacheDirectory() const { return cache_directory_; }
  const std::string& TablePath() const { return table_path_; }

 protected:
  // Identity of a published table: any change means another process replaced it.
  struct TableStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const TableStamp& other) const;
  };

  int initCacheLocation(const std::string& settings_file);
  int LoadCacheTable();
  int SaveCacheTable();
  int CleanCache();
  int has_cache_been_modified();
  // 0 when the table was never loaded, 1 when no record matches `name`, else one more than
  // the highest version the matching record holds.
  int getnextversion(const char* name);
  // Moves the next line of `*text` (without its line feed) into `line`, keeping at most
  // 9,999 bytes of it. Returns 0 at the end of the text.
  static int readline(const char** text, const char* end, std::string* line);
  int FreeCacheMemory();

 private:
  struct DirectoryTag {};
  CCorvathFileCache(DirectoryTag, const std::string& directory);
  // Opens the table and the lock file of cache_directory_ and prunes the cache.
  void Open();
  // One attempt at taking the table file: 1 taken, 0 held by another process, -1 failed.
  int TryTakeTable();
  int PublishTable(const std::string& contents);
  // Starts an empty table (and index).
  void ResetTable();
  // Appends a record to the table (and index).
  tag_file_entry* AppendRecord(const std::string& remote_name);
  std::string LocalNameFor(const char* remote_name, int version) const;
  bool InsideCache(const std::string& filename) const;
  static TableStamp StampOf(const struct stat& info);

  std::unique_ptr<std::list<tag_file_entry>> table_;
  std::unique_ptr<CacheIndex> index_;  // the records of table_, for lookups
  int32_t modified_ = 0;
  TableStamp table_time_;
  std::string cache_directory_;
  std::string table_path_;
  int table_fd_ = -1;  // the table file while the lock is held
  int32_t lock_depth_ = 0;
  int mutex_fd_ = -1;  // the lock file "NyCorvathCacheAcessMutex"
};

}  // namespace nycl

#endif  // NYCL_CACHE_CCORVATHFILECACHE_H
