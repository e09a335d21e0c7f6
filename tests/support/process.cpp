#include "support/process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/files.hpp"

namespace soilcal::testing {

ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workDir) {
  const TempDir capture;
  const std::string outPath = (capture.path() / "stdout").string();
  const std::string errPath = (capture.path() / "stderr").string();
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::alarm(120);  // a hung program is killed by SIGALRM, which survives exec
    ::execv(program.c_str(), cargv.data());
    ::_exit(127);
  }
  ProcessRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

ProcessRun RunSoilcal(const std::optional<std::string>& argument,
                      const std::filesystem::path& workDir) {
  std::vector<std::string> args;
  if (argument) args.push_back(*argument);
  return RunProcess(BuildPath("soilcal"), args, workDir);
}

}  // namespace soilcal::testing
