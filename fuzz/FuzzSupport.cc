#include "FuzzSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nycl::fuzz {

namespace {

std::string g_scratch;

void RemoveScratch() {
  if (g_scratch.empty()) return;
  if (::chdir("/") == 0) RemoveTree(g_scratch);
}

}  // namespace

const std::string& EnterScratchDirectory(const char* target) {
  if (!g_scratch.empty()) return g_scratch;
  // A memory file system when there is one: the cache's file locks are slow on some disks.
  const char* base = std::getenv("NYCL_FUZZ_SCRATCH");
  if ((base == nullptr || *base == '\0') && ::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  if (base == nullptr || *base == '\0') base = std::getenv("TMPDIR");
  if (base == nullptr || *base == '\0') base = "/tmp";
  std::string pattern = std::string(base) + "/nycl-fuzz-" + target + "-XXXXXX";
  if (::mkdtemp(&pattern[0]) == nullptr || ::chdir(pattern.c_str()) != 0) {
    std::perror("nycl fuzz: no scratch directory");
    std::abort();
  }
  char* absolute = ::realpath(pattern.c_str(), nullptr);
  g_scratch = absolute != nullptr ? absolute : pattern;
  std::free(absolute);
  std::atexit(RemoveScratch);
  return g_scratch;
}

void RemoveTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
          continue;
        }
        RemoveTree(path + "/" + entry->d_name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

void ResetDirectory(const std::string& path) {
  RemoveTree(path);
  ::mkdir(path.c_str(), 0777);
}

bool WriteFile(const std::string& path, const std::string& contents) {
  FILE* file = std::fopen(path.c_str(), "wbe");
  if (file == nullptr) return false;
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  return std::fclose(file) == 0 && written;
}

std::string ReadFile(const std::string& path) {
  std::string contents;
  FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return contents;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
  std::fclose(file);
  return contents;
}

std::vector<std::string> Split(const uint8_t* data, size_t size, char separator) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<char>(data[i]) == separator) {
      pieces.emplace_back();
    } else {
      pieces.back() += static_cast<char>(data[i]);
    }
  }
  return pieces;
}

std::string InputReader::Piece(size_t limit) {
  size_t length = limit > 255 ? Short() : Byte();
  if (length > limit) length = limit;
  if (length > size_ - std::min(at_, size_)) length = size_ - std::min(at_, size_);
  std::string piece(reinterpret_cast<const char*>(data_) + std::min(at_, size_), length);
  at_ += length;
  return piece;
}

std::string InputReader::Rest() {
  if (at_ >= size_) return std::string();
  std::string rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
  at_ = size_;
  return rest;
}

std::vector<std::string> Pieces(const std::string& text, uint8_t pattern, size_t unit) {
  std::vector<std::string> pieces;
  uint32_t state = pattern;
  for (size_t at = 0; at < text.size();) {
    state = state * 1103515245u + 12345u;
    const size_t size = pattern == 0 ? text.size() : unit * (1 + (state >> 16) % pattern);
    pieces.push_back(text.substr(at, size));
    at += size;
  }
  return pieces;
}

void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  std::abort();
}

}  // namespace nycl::fuzz
