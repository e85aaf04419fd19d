#include "tools/lvpack/Process.h"

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace lvpack {

#ifdef _WIN32

// The Windows build of lvpack makes and checks packages; signing is done on
// the host, where osslsigncode runs.
ProgramRun RunProgram(const std::string&, const std::vector<std::string>&) {
  ProgramRun run;
  run.output = "not available in the Windows build of lvpack";
  return run;
}

#else

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);

  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  pid_t child = 0;
  const int spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    return run;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
    if (n > 0) run.output.append(buffer, static_cast<std::size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.started = true;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

#endif

}  // namespace lvpack
