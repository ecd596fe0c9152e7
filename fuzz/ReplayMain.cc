// Runs a fuzz target's entry function on every file of the directories named on the command
// line, in name order: the regression inputs and seed corpus of a target, replayed by the
// normal test suite without libFuzzer. A failing input ends the run the way it ends a fuzzer
// run (a sanitizer report or an abort); the name of the input is printed before it runs.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> files;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return files;
  while (dirent* entry = readdir(dir)) {
    const std::string path = directory + "/" + entry->d_name;
    struct stat info;
    if (entry->d_name[0] != '.' && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      files.push_back(path);
    }
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

std::string Contents(const std::string& path) {
  std::string contents;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
    std::fclose(file);
  }
  return contents;
}

}  // namespace

int main(int argc, char** argv) {
  // Targets change the working directory when they start: the directories are made absolute
  // first.
  std::vector<std::string> directories;
  for (int i = 1; i < argc; ++i) {
    char* absolute = realpath(argv[i], nullptr);
    if (absolute != nullptr) directories.push_back(absolute);
    std::free(absolute);
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  int count = 0;
  for (const std::string& directory : directories) {
    for (const std::string& path : FilesIn(directory)) {
      std::fprintf(stderr, "replaying %s\n", path.c_str());
      const std::string input = Contents(path);
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
      ++count;
    }
  }
  std::printf("%d inputs replayed\n", count);
  return 0;
}
