// File and script transfer of the common data state: downloads into the client file cache or
// to a local path, and the chain of requests a script starts, which ends with loading the
// session's resource file. Uploads, blobs and program details are in FileUpload.cc.
//
// The exchange (S the server, C this client; one protocol line each):
//
//   script   := S fgl_ScriptFileSend <script>
//               download(<script>)
//               S fgl_ScriptFileSent <script>
//               { C fgl_filerequest <name>  (download(<name>) | S fgl_file_read_error) }
//               C fgl_EndServerScript
//   download := S fgl_FileSend <name> <tag> [<target> <store>]
//               ( C fgl_fileincache
//               | C fgl_needfileupdate  { S fgl_FileData <name> <base64> }  S fgl_FileSent <name>
//               | C fgl_FileStored <path>  { S fgl_FileData ... }  S fgl_FileSent <name> )
//
// Request list: an array of 500 entries, the names still to request at indices
// 0 .. fileRequestCount - 1 and a null entry after them. The top (highest index) is requested
// next: the root script's names are requested last to first, and a nested script's names are
// pushed so that its first name is on top, so nested scripts are requested in file order.
//
// Script lines: every line holding "[file]" names one file, the text after the marker to the
// end of the line, with trailing runs removed in the order LF, TAB, CR, LF, '"' (nothing is
// removed at the front). Other lines are ignored.
//
// The cache lock is held from the "fgl_needfileupdate" decision until that file's
// "fgl_FileSent" (cachePath is set exactly while this hold lasts), and for the duration of a
// "fgl_fileincache" answer. Every hold is given back, whatever the server sends.
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "nycl/base/Base64.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/cache/CFileSystemOperations.h"
#include "nycl/res/ResFile.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "state/StateLog.h"
#include "state/TransferIo.h"

namespace nycl {

using transfer::Answer;

namespace {

constexpr int kRequestSlots = 500;               // entries of a request list
constexpr int kMaxRequests = kRequestSlots - 1;  // names it holds, with the null entry after
constexpr int kRequestLineSize = 200;            // "fgl_filerequest <name>" and its NUL
constexpr char kRequestPrefix[] = "fgl_filerequest ";
constexpr int kMaxRequestName = kRequestLineSize - 1 - (sizeof kRequestPrefix - 1);
constexpr int kCachePathSize = 500;   // a cache path, as the transfer asks for one
constexpr int kRootPathSize = 2000;   // the root script's path, loaded as the resource file
constexpr int kDirectorySize = 400;   // the directory created before a file is written
constexpr int kStorePathSize = 1000;  // the absolute path of a direct store
constexpr size_t kMaxLineKept = 64 * 1024;
constexpr char kFileMarker[] = "[file]";

// A protocol number: decimal, clamped to the range of an int (0 without digits).
int TagOf(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<int>(std::max<long>(INT_MIN, std::min<long>(INT_MAX, value)));
}

int LengthOf(const char* text) {
  return static_cast<int>(std::min<size_t>(std::strlen(text), INT_MAX));
}

// A request list owned until released: frees every entry and the array.
class RequestList {
 public:
  explicit RequestList(void** names = nullptr) : names_(names) {}
  ~RequestList() { Free(&names_); }
  RequestList(const RequestList&) = delete;
  RequestList& operator=(const RequestList&) = delete;

  void** get() const { return names_; }
  void*** address() { return &names_; }
  void** release() {
    void** names = names_;
    names_ = nullptr;
    return names;
  }
  static void Free(void*** names) {
    if (*names == nullptr) return;
    for (int i = 0; i < kRequestSlots; ++i) std::free((*names)[i]);
    std::free(*names);
    *names = nullptr;
  }

 private:
  void** names_;
};

// One hold of the cache lock, given back (with the path of the download it covered, when one
// is given) when the scope ends, however it ends, unless kept.
class LockHold {
 public:
  explicit LockHold(CCorvathFileCache* cache, char* path = nullptr) : cache_(cache), path_(path) {}
  ~LockHold() {
    if (cache_ == nullptr) return;
    std::free(path_);
    cache_->UnlockAndSynchronize();
  }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;
  // The hold now belongs to a download, which gives it back when it ends.
  void Keep() { cache_ = nullptr; }

 private:
  CCorvathFileCache* cache_;
  char* path_;
};

// Drops the top name of a list.
void PopRequest(void** names, int* count) {
  if (*count <= 0) return;
  --*count;
  if (names == nullptr) return;
  std::free(names[*count]);
  names[*count] = nullptr;
}

// The name of `line` after its first "[file]" with the trailing runs removed, or false when
// the line holds no marker.
bool NameOnLine(const XString& line, std::string* name) {
  const char* text = line.c_str();
  const void* marker = ::memmem(text, line.length(), kFileMarker, sizeof kFileMarker - 1);
  if (marker == nullptr) return false;
  *name = static_cast<const char*>(marker) + (sizeof kFileMarker - 1);
  for (char trailing : {'\n', '\t', '\r', '\n', '"'}) {
    while (!name->empty() && name->back() == trailing) name->pop_back();
  }
  return true;
}

// Writes decoded bytes to the FILE given as context.
void WriteToFile(void* file, const unsigned char* bytes, int count) {
  if (count > 0) std::fwrite(bytes, 1, static_cast<size_t>(count), static_cast<FILE*>(file));
}

// Closes `file`; false when a write failed or the close did.
bool CloseWritten(FILE* file) {
  const bool failed = std::ferror(file) != 0;
  return std::fclose(file) == 0 && !failed;
}

// `path` made absolute against the working directory with "." and ".." resolved by name (no
// link is followed), into `out` of `size` bytes. False when the working directory is unknown
// or the result does not fit.
bool AbsoluteByName(const std::string& path, char* out, size_t size) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
    joined = std::string(cwd) + "/" + path;
  }
  std::string result;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t stop = joined.find('/', start);
    if (stop == std::string::npos) stop = joined.size();
    const std::string component = joined.substr(start, stop - start);
    start = stop + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      result.erase(result.empty() ? 0 : result.rfind('/'));
      continue;
    }
    result += "/" + component;
  }
  if (result.empty()) result = "/";
  if (result.size() >= size) return false;
  std::memcpy(out, result.c_str(), result.size() + 1);
  return true;
}

// Creates the directories on the way to `path`. A directory part that does not fit its
// buffer is not created at all: a cut one would name another directory.
void CreateDirectoriesFor(const char* path) {
  char directory[kDirectorySize + 1];
  if (CFileSystemOperations::GetFullDirectoryPath(path, directory, kDirectorySize) == 0) return;
  if (std::strlen(directory) >= static_cast<size_t>(kDirectorySize)) return;
  CFileSystemOperations::CreateDirectoryPaths(directory);
}

}  // namespace

int NyCommonDataState::ScriptFileSend(char* script) {
  m_rootscriptfilename = script != nullptr ? script : "";
  scriptState = 0;
  return 1;
}

int NyCommonDataState::FileSend(char* name, char* tag) {
  // A new file while another is still being received: the server gave that one up.
  if (writingFile != nullptr || cachePath != nullptr) {
    LogTo(this, "TOSSICK", "NyCommonDataState::FileSend", "earlier download abandoned");
    AbandonDownload();
  }
  if (tag == nullptr) {
    if (fileRequestCount > 0) {
      PopRequest(fileRequests, &fileRequestCount);
    } else if (fileRequestCount == 0) {
      fileRequestCount = -1;
    }
    return 1;
  }
  const char* remote = name != nullptr ? name : "";
  fileCache->WaitLockAndSynchronize();
  LockHold hold(fileCache);
  if (fileCache->QueryCache(remote, TagOf(tag)) != 0) {
    if (scriptState == 0) scriptState = -1;
    Answer(this, "fgl_fileincache");
    FileSent(nullptr);
    return 1;
  }
  if (scriptState == 0) scriptState = 1;
  char path[kCachePathSize + 1];
  fileCache->QueryForFilename(remote, path, kCachePathSize);
  // A copy name that filled the buffer may have been cut, and a cut name could be another
  // copy's: such a file is received like one that cannot be created, and is not recorded.
  if (std::strlen(path) >= static_cast<size_t>(kCachePathSize)) {
    LogTo(this, "TOSSICK", "NyCommonDataState::FileSend", "name too long for the cache, dropped");
    Answer(this, "fgl_needfileupdate");
    return 1;
  }
  cachePath = strdup(path);
  if (cachePath == nullptr) {
    Answer(this, "fgl_needfileupdate");
    return 1;
  }
  hold.Keep();
  fileTag = TagOf(tag);
  CreateDirectoriesFor(path);
  ResetBase64Pipes();  // nothing carried over from an earlier stream
  // The cache builds its copy names itself: a link found there is not ours to follow.
  writingFile = transfer::OpenRegular(path, transfer::OpenFor::kWriting, false);
  Answer(this, "fgl_needfileupdate");
  return 1;
}

int NyCommonDataState::FileSend(char* name, char* tag, char* target, int store) {
  LogTo(this, "NyCommandLayer", "NyCommonDataState::FileSend", target);
  if (store == 0 || target == nullptr || target[0] == '\0') return FileSend(name, tag);
  if (writingFile != nullptr || cachePath != nullptr) {
    LogTo(this, "TOSSICK", "NyCommonDataState::FileSend", "earlier download abandoned");
    AbandonDownload();
  }
  // The directory helpers take "\" as a separator too; made "/" first, the path that is
  // judged, the directories that are created and the file that is opened are the same.
  std::string wanted = target;
  std::replace(wanted.begin(), wanted.end(), '\\', '/');
  char absolute[kStorePathSize];
  const std::string stored = AbsoluteByName(wanted, absolute, sizeof absolute) ? absolute : wanted;
  if (!GetServerTrust().MayStore(stored.c_str())) {
    // Received like a file that cannot be created: nothing is made, the data is dropped.
    LogTo(this, "TOSSICK", "NyCommonDataState::FileSend refused by the server trust",
          stored.c_str());
  } else {
    CreateDirectoriesFor(stored.c_str());
    ResetBase64Pipes();
    writingFile = transfer::OpenRegular(stored.c_str(), transfer::OpenFor::kWriting, true);
  }
  Answer(this, "fgl_FileStored " + stored);
  return 1;
}

int NyCommonDataState::FileData(char*, char* text) {
  // Without an open file (none announced, or it could not be created) the data is dropped.
  if (writingFile == nullptr || text == nullptr) return 1;
  DecodeBase64Pipe(text, LengthOf(text), WriteToFile, writingFile);
  return 1;
}

int NyCommonDataState::FileSent(char* name) {
  // The download ends here. Its path and lock hold belong to this call from now on, so a
  // download the next request starts (even from inside RequestFile) finds none open.
  char* completed = cachePath;
  cachePath = nullptr;
  LockHold release(completed != nullptr ? fileCache : nullptr, completed);
  if (name != nullptr) {
    bool intact = false;  // a copy that could not be created is not there to record
    if (writingFile != nullptr) {
      DecodeBase64Pipe(nullptr, 0, WriteToFile, writingFile);  // the last, short group
      intact = CloseWritten(writingFile);
      writingFile = nullptr;
    }
    if (completed != nullptr) {
      // A copy that could not be created or written whole would pass for the tagged file (in
      // this session, and in later ones when half written); it is deleted instead of recorded.
      // So is one the cache cannot name.
      if (intact && name[0] != '\0') {
        fileCache->AddFile(name, completed, fileTag);
      } else {
        LogTo(this, "TOSSICK", "NyCommonDataState::FileSent copy not recorded", completed);
        ::unlink(completed);
      }
    }
    fileTag = 0;
  } else if (writingFile != nullptr || completed != nullptr) {
    // The server gave the file up while it was being received: its partial copy is never
    // recorded.
    ResetBase64Pipes();
    if (writingFile != nullptr) std::fclose(writingFile);
    writingFile = nullptr;
    if (completed != nullptr) ::unlink(completed);
    fileTag = 0;
  }

  if (fileRequestCount > 0) {
    PopRequest(fileRequests, &fileRequestCount);
    if (name != nullptr) PushScriptNames(name);
    if (fileRequestCount == 0) {
      all_files_received(name);
    } else if (fileRequestCount > 0 && fileRequests != nullptr) {
      RequestFile(static_cast<const char*>(fileRequests[fileRequestCount - 1]));
    }
  }
  return 1;  // `release` gives the download's hold back after the next request went out
}

void NyCommonDataState::PushScriptNames(const char* name) {
  RequestList names;
  int count = -1;
  const char* error = nullptr;
  XStringException* owned = nullptr;
  // What the cache, the script reader (a host may replace it) or the string class throw is
  // logged, and the script's names are dropped.
  try {
    char path[kCachePathSize + 1];
    if (fileCache->GetFile(name, path, kCachePathSize) == 0) return;
    if (std::strstr(path, ".nys") == nullptr) return;
    // A script taken once in this transfer is not taken again: one that names itself, or two
    // that name each other, would otherwise keep the requests going for ever.
    for (const std::string& expanded : expandedScripts) {
      if (strcasecmp(expanded.c_str(), name) == 0) {
        LogTo(this, "TOSSICK", "NyCommonDataState::FileSent script already taken", name);
        return;
      }
    }
    expandedScripts.emplace_back(name);
    GenerateFileRequestsFromScriptFile(path, &count, names.address());
  } catch (const char* text) {
    error = text;
  } catch (const XStringException& exception) {
    error = exception.GetMessage();
  } catch (XStringException* exception) {
    owned = exception;
    error = exception != nullptr ? exception->GetMessage() : nullptr;
  } catch (const std::exception& exception) {
    error = exception.what();
  }
  if (error != nullptr || owned != nullptr) {
    char text[1024];
    std::snprintf(text, sizeof text, "Exception 1 '%s' in NyCommonDataState:%p::FileSent('%s')\n",
                  error != nullptr ? error : "", static_cast<void*>(this), name);
    delete owned;
    AddLog(text, 0);
    return;
  }
  if (count <= 0 || names.get() == nullptr || fileRequests == nullptr) return;

  // The first names of the script are kept when the list cannot take them all.
  const int room = kMaxRequests - fileRequestCount;
  const int taken = std::min(count, std::max(room, 0));
  if (taken < count) {
    LogTo(this, "TOSSICK", "NyCommonDataState::FileSent request list full, names dropped", name);
  }
  for (int i = taken - 1; i >= 0; --i) {
    fileRequests[fileRequestCount++] = names.get()[i];
    names.get()[i] = nullptr;
  }
  fileRequests[fileRequestCount] = nullptr;
}

int NyCommonDataState::ScriptFileSent(char* script) {
  if (script == nullptr) return 0;
  char path[kCachePathSize + 1];
  if (fileCache->GetFile(script, path, kCachePathSize) == 0 || scriptState == 0) return 0;
  RequestList::Free(&fileRequests);
  fileRequestCount = -1;
  expandedScripts.assign(1, script);
  GenerateFileRequestsFromScriptFile(path, &fileRequestCount, &fileRequests);
  if (fileRequestCount > 0 && fileRequests != nullptr) {
    RequestFile(static_cast<const char*>(fileRequests[fileRequestCount - 1]));
  } else {
    all_files_received(script);
  }
  return 1;
}

int NyCommonDataState::GenerateFileRequestsFromScriptFile(const char* path, int* count,
                                                          void*** names) {
  if (count == nullptr || names == nullptr) return 0;
  *count = -1;
  if (path == nullptr) return 0;
  // The path comes from the cache table, which other processes write: only a regular file is
  // read, so a pipe or a device named there cannot stall or flood the command thread.
  std::unique_ptr<FILE, int (*)(FILE*)> file(
      transfer::OpenRegular(path, transfer::OpenFor::kReading, true), &std::fclose);
  if (file == nullptr) return 0;
  RequestList list(static_cast<void**>(std::calloc(kRequestSlots, sizeof(void*))));
  if (list.get() == nullptr) return 0;

  int found = 0;
  XString line;
  std::string name;
  while (ReadLine(file.get(), line) > 0) {
    if (!NameOnLine(line, &name)) continue;
    // A cut name would request another file: one that does not fit the request line is
    // skipped.
    if (name.size() > static_cast<size_t>(kMaxRequestName)) {
      LogTo(this, "TOSSICK", "NyCommonDataState::GenerateFileRequests name too long, skipped",
            name.substr(0, 64).c_str());
      continue;
    }
    // A script naming more files than the list holds keeps the first 499.
    if (found == kMaxRequests) {
      LogTo(this, "TOSSICK", "NyCommonDataState::GenerateFileRequests more than 499 names in",
            path);
      break;
    }
    char* copy = strdup(name.c_str());
    if (copy != nullptr) list.get()[found++] = copy;
  }
  *names = list.release();
  if (found > 0) *count = found;
  return 1;
}

int NyCommonDataState::ReadLine(FILE* file, XString& line) {
  line = "";
  if (file == nullptr) return 0;
  std::string kept;
  int read = 0;
  int c;
  // At most kMaxLineKept bytes of a line are kept; the rest up to its line feed is skipped.
  while ((c = std::getc(file)) != EOF) {
    if (read < INT_MAX) ++read;
    if (kept.size() < kMaxLineKept) kept += static_cast<char>(c);
    if (c == '\n') break;
  }
  if (!kept.empty()) line = XString(kept.data(), static_cast<int>(kept.size()));
  return read;
}

int NyCommonDataState::all_files_received(char*) {
  Answer(this, "fgl_EndServerScript");
  char path[kRootPathSize + 1];
  if (fileCache->GetFile(m_rootscriptfilename.c_str(), path, kRootPathSize) == 0) path[0] = '\0';
  LogTo(this, "Tossick", "NyCommonDataState m_rootscriptfilename=", m_rootscriptfilename.c_str());
  LogTo(this, "Tossick", "NyCommonDataState buffer=", path);
  if (resFile != nullptr) RetireResFile(resFile);
  resFile = new ResFile(path, fileCache);
  expandedScripts.clear();
  return 1;
}

void NyCommonDataState::RetireResFile(ResFile* replaced) {
  retiredResFiles.push_back(replaced);
  auto queried = [this](const ResFile* file) {
    for (NyRenderWindow* window : windows) {
      auto* common = dynamic_cast<NyCommonRenderWindow*>(window);
      if (common != nullptr && common->GetQueriedResFile() == file) return true;
    }
    return false;
  };
  auto kept = retiredResFiles.begin();
  for (ResFile* file : retiredResFiles) {
    if (queried(file)) {
      *kept++ = file;
    } else {
      delete file;
    }
  }
  retiredResFiles.erase(kept, retiredResFiles.end());
}

int NyCommonDataState::RequestFile(const char* name) {
  char line[kRequestLineSize];
  const int length =
      std::snprintf(line, sizeof line, "%s%s", kRequestPrefix, name != nullptr ? name : "");
  if (length < 0 || length >= kRequestLineSize) {
    LogTo(this, "TOSSICK", "NyCommonDataState::RequestFile name too long, not requested", "");
    return 0;
  }
  SendResponceString(line);
  return 1;
}

void NyCommonDataState::AbandonDownload() {
  if (writingFile == nullptr && cachePath == nullptr) return;
  ResetBase64Pipes();
  if (writingFile != nullptr) std::fclose(writingFile);
  writingFile = nullptr;
  if (cachePath != nullptr) {
    ::unlink(cachePath);  // the partial copy was never recorded
    std::free(cachePath);
    cachePath = nullptr;
    fileCache->UnlockAndSynchronize();
  }
  fileTag = 0;
}

void NyCommonDataState::AbandonTransfer() {
  AbandonDownload();
  RequestList::Free(&fileRequests);
  fileRequestCount = -1;
  expandedScripts.clear();
}

}  // namespace nycl
