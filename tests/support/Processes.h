// Child processes for tests: a program started with its output in files, a function run in a
// forked copy of the test, and bounded waits for either. Header-only, so that test programs
// built without the library (nycl-server's) can use it too.
#ifndef NYCL_TESTS_SUPPORT_PROCESSES_H
#define NYCL_TESTS_SUPPORT_PROCESSES_H

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/WaitFor.h"

extern char** environ;

namespace nycl {
namespace test_processes {

// Starts the program `words[0]` with the arguments that follow, standard input empty, output
// and errors written to the files `out` and `err`. The process id, or -1.
inline pid_t Spawn(std::vector<std::string> words, const std::string& out, const std::string& err) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// Runs `body` in a forked copy of this process, which exits with its result without running
// this process's exit handlers. The child's id, or -1.
template <class Body>
pid_t Fork(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  return child;
}

// Waits at most `timeout_ms` for the child `pid` to end; when it does, true with its exit
// status in *status (-1 when it did not exit normally).
inline bool Reap(pid_t pid, int timeout_ms, int* status) {
  int raw = 0;
  if (!WaitFor([&] { return ::waitpid(pid, &raw, WNOHANG) == pid; }, timeout_ms / 1000.0)) {
    return false;
  }
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return true;
}

// The exit status of the child `pid`; -1 when it died otherwise or had to be killed, not
// having ended within `timeout_ms`.
inline int ReapOrKill(pid_t pid, int timeout_ms) {
  int status = -1;
  if (!Reap(pid, timeout_ms, &status)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  return status;
}

}  // namespace test_processes
}  // namespace nycl

#endif  // NYCL_TESTS_SUPPORT_PROCESSES_H
