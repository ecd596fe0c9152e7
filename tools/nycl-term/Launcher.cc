#include "Launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace nycl_term {

Launcher::~Launcher() {
  Reap();
}

int Launcher::Launch(const std::string& command_line, bool wait) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return 0;
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  std::string shell = "/bin/sh";
  std::string dash_c = "-c";
  std::string command = command_line;
  char* argv[] = {&shell[0], &dash_c[0], &command[0], nullptr};
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0 || pid <= 0) return 0;
  if (!wait) {
    children_.push_back(pid);
    return static_cast<int>(pid);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? static_cast<int>(pid) : 0;
}

void Launcher::Reap() {
  children_.erase(std::remove_if(children_.begin(), children_.end(),
                                 [](pid_t pid) {
                                   int status;
                                   return waitpid(pid, &status, WNOHANG) != 0;
                                 }),
                  children_.end());
}

}  // namespace nycl_term
