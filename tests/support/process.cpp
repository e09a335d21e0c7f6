#include "support/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

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

namespace {

std::vector<char*> ArgumentVector(std::vector<std::string>& argv) {
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  return cargv;
}

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads both pipes to their end.
void Drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* into[2] = {&out, &err};
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) break;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
      if (n > 0) {
        into[k]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProcessRun RunProcessWith(const std::string& program, const std::vector<std::string>& args,
                          const std::filesystem::path& workDir,
                          const std::function<void()>& beforeExec) {
  int out[2];
  int err[2];
  if (::pipe(out) != 0) return {};
  if (::pipe(err) != 0) return {};
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv = ArgumentVector(argv);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    ::alarm(120);
    beforeExec();
    ::execv(program.c_str(), cargv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ProcessRun run;
  Drain(out[0], err[0], run.out, run.err);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  return run;
}

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& workDir) {
  std::random_device rd;
  errFile_ = std::filesystem::temp_directory_path() /
             ("soilcal_background_" + std::to_string(rd()) + ".err");
  int out[2];
  if (::pipe(out) != 0) return;
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv = ArgumentVector(argv);
  pid_ = ::fork();
  if (pid_ == 0) {
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    const int err = ::open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::alarm(120);
    ::execv(program.c_str(), cargv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  outFd_ = out[0];
}

BackgroundProcess::~BackgroundProcess() {
  Wait();
  std::error_code ignored;
  std::filesystem::remove(errFile_, ignored);
}

bool BackgroundProcess::WaitFor(const std::string& text) {
  char buffer[256];
  while (out_.find(text) == std::string::npos) {
    const ssize_t n = outFd_ < 0 ? 0 : ::read(outFd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    out_.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

void BackgroundProcess::Signal(int signo) const {
  if (pid_ > 0 && status_ < 0) ::kill(pid_, signo);
}

int BackgroundProcess::Wait() {
  if (pid_ <= 0 || status_ >= 0) return status_;
  WaitFor(std::string(1, '\0'));  // reads to the end of the output
  if (outFd_ >= 0) ::close(outFd_);
  outFd_ = -1;
  int status = 0;
  if (::waitpid(pid_, &status, 0) == pid_) status_ = StatusOf(status);
  return status_;
}

std::string BackgroundProcess::err() const { return ReadFile(errFile_); }

}  // namespace soilcal::testing
