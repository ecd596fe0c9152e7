#include "nycl/cache/CCorvathFileCache.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "cache/CacheIndex.h"
#include "cache/CacheIo.h"
#include "nycl/base/StringParse.h"

namespace nycl {

namespace {

constexpr const char kDefaultSettingsFile[] = "/etc/Tamrel/Corvath/Settings";
constexpr const char kLocationKey[] = "CacheLocation=";
constexpr const char kTableName[] = "__Tamrel_Corvath_File_Cache";
constexpr const char kMutexName[] = "NyCorvathCacheAcessMutex";
constexpr int kTableAttempts = 100;
constexpr auto kTableRetryDelay = std::chrono::milliseconds(100);

// Results of one attempt at taking the table file.
constexpr int kTaken = 1;
constexpr int kBusy = 0;
constexpr int kReplaced = 2;
constexpr int kFailed = -1;

// Takes one hold for the lifetime of an operation.
class ScopedHold {
 public:
  explicit ScopedHold(CCorvathFileCache* cache) : cache_(cache) {
    cache_->WaitLockAndSynchronize();
  }
  ~ScopedHold() { cache_->UnlockAndSynchronize(); }
  ScopedHold(const ScopedHold&) = delete;
  ScopedHold& operator=(const ScopedHold&) = delete;

 private:
  CCorvathFileCache* cache_;
};

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

// Copies at most `size` bytes and a NUL at index min(length, size).
void CopyOut(const std::string& text, char* out, int size) {
  if (out == nullptr) return;
  const std::size_t count = std::min<std::size_t>(text.size(), std::max(size, 0));
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A relative path that cannot leave the directory it is joined to: components are cut at
// both separators and joined with "/", and the ones that would climb or restart the path
// are replaced by escapes.
std::string ContainedPath(const std::string& relative) {
  std::string result;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type stop = relative.find_first_of("/\\", start);
    std::string component = relative.substr(start, stop - start);
    if (component.empty()) {
      component = "%2F";
    } else if (component == ".") {
      component = "%2E";
    } else if (component == "..") {
      component = "%2E%2E";
    }
    result += component;
    if (stop == std::string::npos) return result;
    result += '/';
    start = stop + 1;
  }
}

}  // namespace

bool CCorvathFileCache::TableStamp::operator==(const TableStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

CCorvathFileCache::TableStamp CCorvathFileCache::StampOf(const struct stat& info) {
  TableStamp stamp;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modified = info.st_mtim;
  return stamp;
}

CCorvathFileCache::CCorvathFileCache() {
  initCacheLocation(kDefaultSettingsFile);
  Open();
}

CCorvathFileCache::CCorvathFileCache(const std::string& settings_file) {
  initCacheLocation(settings_file);
  Open();
}

CCorvathFileCache::CCorvathFileCache(DirectoryTag, const std::string& directory) {
  cache_directory_ = directory;
  // The table records copies by the path built from this directory: a relative one would
  // name other files for a process working in another directory.
  if (!cache_directory_.empty() && cache_directory_[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) cache_directory_ = std::string(cwd) + "/" + directory;
  }
  ::mkdir(cache_directory_.c_str(), 0777);  // an existing directory is fine
  Open();
}

std::unique_ptr<CCorvathFileCache> CCorvathFileCache::InDirectory(const std::string& directory) {
  return std::unique_ptr<CCorvathFileCache>(new CCorvathFileCache(DirectoryTag{}, directory));
}

void CCorvathFileCache::Open() {
  table_path_ = cache_directory_ + "/" + kTableName;
  struct stat info;
  if (::stat(table_path_.c_str(), &info) == 0) table_time_ = StampOf(info);
  const std::string mutex_path = cache_directory_ + "/" + kMutexName;
  mutex_fd_ = cacheio::RetryOnInterrupt(
      [&] { return ::open(mutex_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666); });
  // Every client start prunes the cache.
  WaitLockAndSynchronize();
  CleanCache();
  UnlockAndSynchronize();
}

CCorvathFileCache::~CCorvathFileCache() {
  while (lock_depth_ > 0) UnlockAndSynchronize();
  if (table_fd_ >= 0) ::close(table_fd_);
  if (mutex_fd_ >= 0) ::close(mutex_fd_);
}

int CCorvathFileCache::initCacheLocation(const std::string& settings_file) {
  std::string settings;
  const int fd = cacheio::RetryOnInterrupt(
      [&] { return ::open(settings_file.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd >= 0) {
    cacheio::ReadAll(fd, &settings);
    ::close(fd);
  }
  std::string::size_type start = 0;
  while (start < settings.size()) {
    std::string::size_type stop = settings.find('\n', start);
    if (stop == std::string::npos) stop = settings.size();
    std::string line = settings.substr(start, stop - start);
    start = stop + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, std::strlen(kLocationKey), kLocationKey) != 0) continue;
    const std::string location = line.substr(std::strlen(kLocationKey));
    if (location.empty()) continue;
    cache_directory_ = location;
    return 1;
  }
  const char* base = std::getenv("TEMP");
  if (base == nullptr || *base == '\0') base = std::getenv("TMP");
  if (base == nullptr || *base == '\0') base = "/tmp";
  cache_directory_ = std::string(base) + "/Corvath_cache";
  return ::mkdir(cache_directory_.c_str(), 0777) == 0 || errno == EEXIST ? 1 : 0;
}

// Read access suffices for the lock and the load: a new table replaces the file, it is
// never written in place.
int CCorvathFileCache::TryTakeTable() {
  const int fd = cacheio::RetryOnInterrupt(
      [&] { return ::open(table_path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666); });
  if (fd < 0) return kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK || error == EINTR ? kBusy : kFailed;
  }
  // The previous holder may have published a new table while this descriptor still named
  // the old one; only the lock on the current file counts.
  struct stat held;
  struct stat current;
  if (::fstat(fd, &held) != 0 || ::stat(table_path_.c_str(), &current) != 0 ||
      held.st_dev != current.st_dev || held.st_ino != current.st_ino) {
    ::close(fd);
    return kReplaced;
  }
  table_fd_ = fd;
  return kTaken;
}

int CCorvathFileCache::WaitLockAndSynchronize() {
  if (lock_depth_ > 0) {
    ++lock_depth_;
    return 1;
  }
  // The lock file only serialises the opening; the table file is the lock for the hold.
  const bool serialised =
      mutex_fd_ >= 0 && cacheio::RetryOnInterrupt([&] { return ::flock(mutex_fd_, LOCK_EX); }) == 0;
  int taken = kBusy;
  for (int attempt = 0; attempt < kTableAttempts; ++attempt) {
    taken = TryTakeTable();
    if (taken == kTaken || taken == kFailed) break;
    if (taken == kBusy && attempt + 1 < kTableAttempts) {
      std::this_thread::sleep_for(kTableRetryDelay);
    }
  }
  if (taken == kTaken) {
    lock_depth_ = 1;
    if (!table_ || has_cache_been_modified()) LoadCacheTable();
  }
  if (serialised) ::flock(mutex_fd_, LOCK_UN);
  return taken == kTaken ? 1 : 0;
}

int CCorvathFileCache::UnlockAndSynchronize() {
  if (lock_depth_ > 1) {
    --lock_depth_;
    return 1;
  }
  lock_depth_ = 0;
  if (table_fd_ < 0) return 0;
  if (modified_) SaveCacheTable();
  struct stat info;
  if (::fstat(table_fd_, &info) == 0) table_time_ = StampOf(info);
  ::close(table_fd_);
  table_fd_ = -1;
  return 0;
}

int CCorvathFileCache::has_cache_been_modified() {
  struct stat info;
  if (::stat(table_path_.c_str(), &info) != 0) return 0;
  return StampOf(info) == table_time_ ? 0 : 1;
}

void CCorvathFileCache::ResetTable() {
  if (!index_) index_ = std::make_unique<CacheIndex>();
  index_->Clear();
  table_ = std::make_unique<std::list<tag_file_entry>>();
}

tag_file_entry* CCorvathFileCache::AppendRecord(const std::string& remote_name) {
  table_->push_back(tag_file_entry{remote_name, {}});
  index_->Add(&table_->back());
  return &table_->back();
}

std::list<tag_ver_entry>* CCorvathFileCache::does_remote_file_exist_in_cache(const char* name) {
  if (!table_ || name == nullptr) return nullptr;
  const std::string wanted = name;
  tag_file_entry* found = index_->FirstPrefixOf(wanted);
  if (found == nullptr) {
    const std::string upper = UpperCase(wanted);
    const std::string::size_type marker = upper.find("[FILE]");
    if (marker != std::string::npos) {
      found = index_->FirstPrefixOf(std::string_view(upper).substr(marker + 6));
    }
  }
  if (found == nullptr) found = index_->FirstEqualIgnoringCase(wanted);
  if (found == nullptr) {
    std::vector<char> writable(wanted.begin(), wanted.end());
    writable.push_back('\0');
    char* cursor = writable.data();
    if (const char* token = StringParse::GetToken(&cursor)) {
      found = index_->FirstEqualIgnoringCase(token);
    }
  }
  if (found == nullptr) {
    std::string slashed = wanted;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    found = index_->FirstEqualIgnoringCase(slashed);
  }
  return found != nullptr ? &found->versions : nullptr;
}

int CCorvathFileCache::getnextversion(const char* name) {
  if (!table_) return 0;
  const std::list<tag_ver_entry>* versions = does_remote_file_exist_in_cache(name);
  if (versions == nullptr) return 1;
  int32_t highest = 0;
  for (const tag_ver_entry& copy : *versions) highest = std::max(highest, copy.version);
  return highest == INT32_MAX ? INT32_MAX : highest + 1;
}

std::string CCorvathFileCache::LocalNameFor(const char* remote_name, int version) const {
  const std::string name = Text(remote_name);
  const std::string prefix = "v" + std::to_string(version) + "_";
  const std::string::size_type backslash = name.rfind('\\');
  const std::string::size_type slash = name.rfind('/');
  std::string::size_type cut = std::string::npos;
  if (backslash != std::string::npos && slash != std::string::npos) {
    cut = std::min(backslash, slash);
  } else if (backslash != std::string::npos) {
    cut = backslash;
  } else {
    cut = slash;
  }
  const std::string relative = cut == std::string::npos
                                   ? prefix + name
                                   : name.substr(0, cut) + "/" + prefix + name.substr(cut + 1);
  return cache_directory_ + "/" + ContainedPath(relative);
}

bool CCorvathFileCache::InsideCache(const std::string& filename) const {
  if (!StartsWith(filename, cache_directory_ + "/")) return false;
  const std::string rest = filename.substr(cache_directory_.size());
  return (rest + "/").find("/../") == std::string::npos;
}

int CCorvathFileCache::AddFile(const char* remote_name, const char* local_name, int tag) {
  if (remote_name == nullptr || *remote_name == '\0') return 1;
  ScopedHold hold(this);
  if (!table_) {
    // A table that exists only in memory must never be saved over the file's: a stamp no
    // file has makes the next successful hold load the file first.
    ResetTable();
    table_time_ = TableStamp();
  }
  if (std::list<tag_ver_entry>* versions = does_remote_file_exist_in_cache(remote_name)) {
    const int version = getnextversion(remote_name);
    versions->push_back(tag_ver_entry{Text(local_name), tag, version});
  } else {
    AppendRecord(remote_name)->versions.push_back(tag_ver_entry{Text(local_name), tag, 1});
  }
  modified_ = 1;
  return 1;
}

int CCorvathFileCache::QueryForFilename(const char* remote_name, char* out, int size) {
  ScopedHold hold(this);
  int version = 1;
  if (does_remote_file_exist_in_cache(remote_name) != nullptr) {
    version = getnextversion(remote_name);
  }
  CopyOut(LocalNameFor(remote_name, version), out, size);
  return 1;
}

int CCorvathFileCache::GetFile(const char* remote_name, char* out, int size) {
  ScopedHold hold(this);
  const std::list<tag_ver_entry>* versions = does_remote_file_exist_in_cache(remote_name);
  if (versions == nullptr) return 0;
  const tag_ver_entry* newest = nullptr;
  for (const tag_ver_entry& copy : *versions) {
    if (newest == nullptr || copy.version > newest->version) newest = &copy;
  }
  CopyOut(newest != nullptr ? newest->filename : std::string(), out, size);
  return 1;
}

int CCorvathFileCache::ReverseGetFile(const char* local_name, char* out, int size) {
  ScopedHold hold(this);
  if (!table_ || local_name == nullptr) return 0;
  std::string wanted = local_name;
  const bool quoted = wanted.size() >= 2 && wanted.front() == '"' && wanted.back() == '"';
  if (quoted) wanted = wanted.substr(1, wanted.size() - 2);
  for (const tag_file_entry& record : *table_) {
    for (const tag_ver_entry& copy : record.versions) {
      if (quoted ? StartsWith(copy.filename, wanted) : copy.filename == wanted) {
        CopyOut(record.remote_name, out, size);
        return 1;
      }
    }
  }
  return 0;
}

int CCorvathFileCache::QueryCache(const char* remote_name, int tag) {
  ScopedHold hold(this);
  const std::list<tag_ver_entry>* versions = does_remote_file_exist_in_cache(remote_name);
  if (versions == nullptr) return 0;
  for (const tag_ver_entry& copy : *versions) {
    if (copy.tag == tag) return 1;
  }
  return 0;
}

int CCorvathFileCache::CleanCache() {
  if (!table_) return 0;
  for (tag_file_entry& record : *table_) {
    std::list<tag_ver_entry>& versions = record.versions;
    // The newest copy is never a candidate, so a copy that cannot be deleted never costs
    // the record its newest one.
    auto copy = versions.begin();
    while (versions.size() >= 2 && copy != std::prev(versions.end())) {
      const bool gone =
          !InsideCache(copy->filename) || ::unlink(copy->filename.c_str()) == 0 || errno == ENOENT;
      if (gone) {
        versions.erase(copy);
        copy = versions.begin();
      } else {
        ++copy;
      }
    }
  }
  modified_ = 1;
  return 1;
}

int CCorvathFileCache::FreeCacheMemory() {
  return 1;
}

}  // namespace nycl
