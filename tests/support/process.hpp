// Running the built programs from the tests.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace soilcal::testing {

struct ProcessRun {
  int exitStatus = -1;  // -1: did not end normally (crash or timeout)
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs `program` with `args` in the working folder `workDir`. Standard output
// and error are captured outside that folder; a run that takes longer than
// 120 s is killed (exitStatus -1).
ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workDir);

// The built soilcal on `argument` in `workDir` (nullopt: no argument).
ProcessRun RunSoilcal(const std::optional<std::string>& argument,
                      const std::filesystem::path& workDir);

// RunProcess with `beforeExec` called in the child just before the program
// starts, once its standard output and error are set up: the place to close
// descriptors or set resource limits. Output and error are captured through
// pipes, so a limit on file sizes does not cut them.
ProcessRun RunProcessWith(const std::string& program, const std::vector<std::string>& args,
                          const std::filesystem::path& workDir,
                          const std::function<void()>& beforeExec);

// A program started in the background. Its standard output is read as it
// comes (WaitFor), its standard error is kept; it is killed after 120 s.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::filesystem::path& workDir);
  // Waits for the end of the process if Wait() was not called.
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Reads standard output until it holds `text`; false when the output
  // ended first.
  bool WaitFor(const std::string& text);
  void Signal(int signo) const;
  // Reads the rest and waits: the exit status, or 128 + the signal that
  // ended the process.
  int Wait();
  int pid() const { return pid_; }
  const std::string& out() const { return out_; }
  std::string err() const;

 private:
  int pid_ = -1;
  int outFd_ = -1;
  int status_ = -1;
  std::string out_;
  std::filesystem::path errFile_;
};

}  // namespace soilcal::testing
