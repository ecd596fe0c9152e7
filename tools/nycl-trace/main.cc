// nycl-trace: runs protocol lines through the command interpreter against a host that prints
// every call it receives and every answer sent back to the server.
//
//   nycl-trace [--verbose] [FILE]
//   nycl-trace [--verbose] --connect HOST:PORT [--app NAME] [--no-tls] [--cache DIR]
//
// Lines come from FILE, or from standard input when FILE is absent or "-"; with --connect
// they come from a live session with the application server at HOST:PORT (see LiveTrace.h),
// its files received into the cache DIR (default: nycl-trace in the user's cache folder).
// Each input line is
// echoed with ">> ", the calls it causes follow indented, answers to the server start with
// "<< ", and a line whose keyword no command has is reported with "!! ". Lines whose first
// non-blank byte is '#' are comments of the transcript and are echoed unchanged; blank lines
// are kept. --verbose also prints the registry lookups and the exit lock.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LiveTrace.h"
#include "RecordingDataState.h"
#include "RecordingFormat.h"
#include "nycl/command/NyCommand.h"
#include "nycl/state/NyDataStateHolder.h"

namespace {

using nycl::NyCommand;

// Prints each record as it happens: calls indented, answers to the server after "<< ",
// registry lookups and the exit lock only when verbose.
class TraceSink : public nycl::recording::CallSink {
 public:
  TraceSink(FILE* stream, bool verbose) : stream_(stream), verbose_(verbose) {}
  void Call(const std::string& call) override { Line("   " + call); }
  void Answer(const std::string&, const std::string& line) override { Line("<< " + line); }
  void Lookup(const std::string& call) override {
    if (verbose_) Line("   " + call);
  }
  // Writes `text` as one line: control bytes in it appear as C escapes.
  void Line(const std::string& text) {
    for (unsigned char c : text) {
      if (c == '\n') {
        fputs("\\n", stream_);
      } else if (c == '\r') {
        fputs("\\r", stream_);
      } else if (c == '\t') {
        fputs("\\t", stream_);
      } else if (c < 0x20 || c == 0x7f) {
        fprintf(stream_, "\\x%02x", c);
      } else {
        fputc(c, stream_);
      }
    }
    fputc('\n', stream_);
  }
  // Writes an input line as it was read.
  void Echo(const std::string& text) {
    fputs(text.c_str(), stream_);
    fputc('\n', stream_);
  }

 private:
  FILE* stream_;
  bool verbose_;
};

// Reaches the tokeniser to name the keyword of a line no command accepts.
class Keyword : public NyCommand {
 public:
  static std::string Of(const char* line) {
    int count = 0;
    char** vector = nullptr;
    BuildArgList(line, &count, &vector);
    std::string keyword = count > 0 ? vector[0] : "";
    for (int i = 0; i < count; ++i) free(vector[i]);
    free(vector);
    return keyword;
  }
};

int Usage() {
  fputs(
      "usage: nycl-trace [--verbose] [FILE]\n"
      "       nycl-trace [--verbose] --connect HOST:PORT [--app NAME] [--no-tls] [--cache DIR]\n",
      stderr);
  return 2;
}

void EchoLine(void* sink, const std::string& line) {
  static_cast<TraceSink*>(sink)->Line(line);
}

std::string DefaultCache() {
  const char* xdg = getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/nycl-trace";
  const char* home = getenv("HOME");
  if (home != nullptr && *home == '/') {
    mkdir((std::string(home) + "/.cache").c_str(), 0700);
    return std::string(home) + "/.cache/nycl-trace";
  }
  return "/tmp/nycl-trace-" + std::to_string(getuid());
}

bool IsBlankLine(const char* line) {
  for (; *line != '\0'; ++line) {
    if (strchr(" \t\r\n\v\f", *line) == nullptr) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false;
  const char* path = nullptr;
  const char* connect = nullptr;
  nycl::recording::LiveTraceOptions live;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (strcmp(argv[i], "--verbose") == 0) {
      verbose = true;
    } else if (strcmp(argv[i], "--connect") == 0 && has_value) {
      connect = argv[++i];
    } else if (strcmp(argv[i], "--app") == 0 && has_value) {
      live.application = argv[++i];
    } else if (strcmp(argv[i], "--cache") == 0 && has_value) {
      live.cache = argv[++i];
    } else if (strcmp(argv[i], "--no-tls") == 0) {
      live.tls = false;
    } else if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
      Usage();
      return 0;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      return Usage();
    }
  }
  if (connect != nullptr) {
    const char* colon = strrchr(connect, ':');
    if (path != nullptr || colon == nullptr || colon == connect || colon[1] == '\0') {
      return Usage();
    }
    live.host.assign(connect, colon);
    live.port = colon + 1;
    if (live.cache.empty()) live.cache = DefaultCache();
    nycl::recording::SetQuotedTexts(true);
    TraceSink out(stdout, verbose);
    return nycl::recording::RunLiveTrace(live, &out, &EchoLine, &out);
  }

  FILE* input = stdin;
  if (path != nullptr && strcmp(path, "-") != 0) {
    input = fopen(path, "re");
    if (input == nullptr) {
      fprintf(stderr, "nycl-trace: cannot open %s: %s\n", path, strerror(errno));
      return 2;
    }
  }

  // Quoted texts keep empty arguments and commas inside texts readable.
  nycl::recording::SetQuotedTexts(true);
  TraceSink out(stdout, verbose);
  nycl::NyDataStateHolder holder;
  auto* state = new nycl::recording::RecordingDataState(&out);
  holder.PushDataState(state);

  char* line = nullptr;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, input)) >= 0) {
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
      line[--length] = '\0';
    }
    const char* text = line + strspn(line, " \t");
    if (text[0] == '#' || IsBlankLine(line)) {
      out.Echo(line);
      continue;
    }
    out.Echo(std::string(">> ") + line);
    NyCommand* command = NyCommand::Create(line, &holder);
    if (command == nullptr) {
      out.Line("!! no command has the keyword \"" + Keyword::Of(line) + "\"");
      continue;
    }
    if (command->Execute()) out.Line("   => Execute returned true");
    fflush(stdout);
  }
  free(line);
  if (input != stdin) fclose(input);

  holder.PopDataState();
  state->DeleteMe();
  return 0;
}
