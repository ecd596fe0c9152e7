// Launcher: starts the programs the server asks for ("fgl_Exec", "fgl_ShellExec"), when the
// host allows launches at all (ServerTrust), with posix_spawn.
//
// A command line is run by /bin/sh -c, detached from the terminal: its standard input,
// output and error are /dev/null, so it cannot write over the screen. Finished children are
// collected by Reap, which the host calls now and then, and by the destructor (which does not
// wait for children still running).
//
// Threads: the command thread.
#ifndef NYCL_TERM_LAUNCHER_H
#define NYCL_TERM_LAUNCHER_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace nycl_term {

class Launcher {
 public:
  Launcher() = default;
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Starts `command_line`; with `wait`, waits until it ends. The process id (positive), or 0
  // when it could not be started (or, with `wait`, did not end with status 0).
  int Launch(const std::string& command_line, bool wait);
  // Collects every child that has ended.
  void Reap();

 private:
  std::vector<pid_t> children_;
};

}  // namespace nycl_term

#endif  // NYCL_TERM_LAUNCHER_H
