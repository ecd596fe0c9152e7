// The cache table file: one item per line, each line ended by a line feed, records in table
// order, each record's copies oldest first.
//
//   table       := { record-line { copy-line } } [ empty-line ]
//   record-line := '@' ' ' '"' remote-name '"' LF
//   copy-line   := '"' local-name '"' ' ' tag ' ' version LF      (tag, version: decimal)
//
// Reading takes each line whole (up to 9,999 bytes) and classifies it by its first byte:
//  - an empty line, or the end of the file, ends reading successfully;
//  - '@': a record line. The name runs from the fourth byte to the next '"' (or the end of
//    the line), at most 8,000 bytes. A non-empty name starts a new current record; an empty
//    one leaves no current record;
//  - anything else: a copy line, of which the first 8,000 bytes count. The local name lies
//    between the first and the second '"'; the two numbers behind it read like "%d %d", a
//    missing one as 0. The copy joins the current record only when its file exists.
//  - a copy line with no current record, or without both quotes, ends reading with failure;
//    what was read before stays.
//
// Writing lists every record that has copies, with a copy line for each copy whose file
// still exists. Names that a line cannot hold (a '"', CR or LF in them) are left out: a
// record whose remote name has one is kept in memory only, and so is such a copy. The new
// table is written to a side file and renamed over the old one, so a reader sees either
// table whole.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cache/CacheIo.h"
#include "nycl/cache/CCorvathFileCache.h"

namespace nycl {

namespace {

constexpr std::size_t kLineBuffer = 10000;
constexpr std::size_t kNameLimit = 8000;
constexpr const char kSideSuffix[] = ".new";

bool FileExists(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), F_OK) == 0;
}

bool Representable(const std::string& text) {
  return text.find_first_of("\"\r\n") == std::string::npos;
}

int32_t ClampToInt32(long long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Reads a decimal like "%d" from `*cursor`, moving it behind the number. False when no
// number is there.
bool ReadNumber(const char** cursor, int32_t* value) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(*cursor, &end, 10);
  if (end == *cursor) return false;
  *value = ClampToInt32(parsed);
  *cursor = end;
  return true;
}

}  // namespace

int CCorvathFileCache::readline(const char** text, const char* end, std::string* line) {
  line->clear();
  if (*text >= end) return 0;
  const char* start = *text;
  const char* feed = static_cast<const char*>(std::memchr(start, '\n', end - start));
  const char* stop = feed != nullptr ? feed : end;
  *text = feed != nullptr ? feed + 1 : end;
  std::size_t length = std::min<std::size_t>(stop - start, kLineBuffer - 1);
  // The line is a C string from here on: an embedded NUL ends it.
  const void* nul = std::memchr(start, '\0', length);
  if (nul != nullptr) length = static_cast<const char*>(nul) - start;
  line->assign(start, length);
  return 1;
}

int CCorvathFileCache::LoadCacheTable() {
  modified_ = 0;
  ResetTable();
  if (table_fd_ < 0) return 0;
  std::string contents;
  if (!cacheio::ReadAll(table_fd_, &contents)) return 0;
  struct stat info;
  if (::fstat(table_fd_, &info) == 0) table_time_ = StampOf(info);

  const char* cursor = contents.data();
  const char* const end = contents.data() + contents.size();
  std::string line;
  tag_file_entry* current = nullptr;
  while (readline(&cursor, end, &line)) {
    if (line.empty()) return 1;
    if (line[0] == '@') {
      std::string name = line.size() > 3 ? line.substr(3) : std::string();
      name = name.substr(0, std::min(name.find('"'), kNameLimit));
      if (name.empty()) {
        current = nullptr;
      } else {
        current = AppendRecord(name);
      }
      continue;
    }
    const std::string text = line.substr(0, kNameLimit);
    const std::string::size_type open = text.find('"');
    const std::string::size_type close =
        open == std::string::npos ? std::string::npos : text.find('"', open + 1);
    if (current == nullptr || close == std::string::npos) return 0;
    tag_ver_entry copy{text.substr(open + 1, close - open - 1), 0, 0};
    const char* numbers = text.c_str() + close + 1;
    if (ReadNumber(&numbers, &copy.tag)) ReadNumber(&numbers, &copy.version);
    // A copy whose file has gone is dropped; the next save leaves it out for good.
    if (FileExists(copy.filename)) current->versions.push_back(std::move(copy));
  }
  return 1;
}

int CCorvathFileCache::SaveCacheTable() {
  modified_ = 0;
  if (!table_ || table_fd_ < 0) return 0;
  std::string contents;
  for (const tag_file_entry& record : *table_) {
    if (record.versions.empty() || !Representable(record.remote_name)) continue;
    contents += "@ \"" + record.remote_name + "\"\n";
    for (const tag_ver_entry& copy : record.versions) {
      if (!Representable(copy.filename) || !FileExists(copy.filename)) continue;
      contents += "\"" + copy.filename + "\" " + std::to_string(copy.tag) + " " +
                  std::to_string(copy.version) + "\n";
    }
  }
  return PublishTable(contents);
}

// REQUIRES: the lock is held (table_fd_ is the current table). Only the holder writes the
// side file, so one fixed name serves every process; one left behind by a writer that died
// is simply overwritten.
int CCorvathFileCache::PublishTable(const std::string& contents) {
  const std::string side = table_path_ + kSideSuffix;
  const int fd = cacheio::RetryOnInterrupt(
      [&] { return ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
  if (fd < 0) return 0;
  // Locked before it becomes the table, so no other process can take the new table while
  // this object still holds the lock.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !cacheio::WriteAll(fd, contents) ||
      ::rename(side.c_str(), table_path_.c_str()) != 0) {
    ::unlink(side.c_str());
    ::close(fd);
    return 0;
  }
  ::close(table_fd_);
  table_fd_ = fd;
  return 1;
}

}  // namespace nycl
