// The --verbose transcript: what each session sends and receives, and its switches.
#ifndef NYCL_SERVER_TRANSCRIPT_H
#define NYCL_SERVER_TRANSCRIPT_H

#include <cstdio>
#include <mutex>
#include <string>

namespace nycl_server {

// Writes whole lines to a stream shared by the session threads; lines never interleave.
// Does not own the stream.
class Transcript {
 public:
  // With `numbered`, every line starts with "[N] ", N the session's number.
  Transcript(FILE* stream, bool numbered) : stream_(stream), numbered_(numbered) {}
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // `tag` is "S>" for a line sent, "C<" for a line received, "--" for a switch or a note.
  void Write(int session, const char* tag, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (numbered_) std::fprintf(stream_, "[%d] ", session);
    std::fprintf(stream_, "%s %s\n", tag, text.c_str());
    std::fflush(stream_);
  }

 private:
  std::mutex mutex_;
  FILE* stream_;
  bool numbered_;
};

}  // namespace nycl_server

#endif  // NYCL_SERVER_TRANSCRIPT_H
