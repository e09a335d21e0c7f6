// What the doors of the program other than the host's own owe a script that
// starts them: a native job behaves as the host expects (status 0 unless
// --exit-status, the host's lines on standard output); a TOML job, a batch,
// a comparison and every later front end (a job's inspection, a new job, the
// local server) end with their outcome as the process status and keep the
// host's standard-output lines in a console log beside their results.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "services/console.hpp"

namespace soilcal::jobs {

// The file the console output of a job's run goes to, in its output folder.
inline constexpr const char* kConsoleLogName = "soilcal_console.log";

enum class Door {
  kNativeJob,  // the host's: `soilcal PATH/OPTIM.TXT`
  kFrontEnd,   // everything else
};

// The process status of a run that ended with `status` (an exit code of the
// result file, 1 for a kernel error, 74 for an output not written).
int ExitStatusOf(Door door, bool exitStatusOption, int status);

// The console of a front end's run. Standard-output lines (the echo of each
// test file's header, the search's "ERROR = ..." lines) go to the log file,
// and to standard output with `verbose`; standard-error lines go to standard
// error and into the log, so that the log is the run's whole record. When
// standard output already is the log file (a batch's child), each line is
// written there once. A log that cannot be opened costs nothing but itself:
// its lines go to standard output then.
class ConsoleLog : public services::ConsoleSink {
 public:
  ConsoleLog(const std::string& path, bool verbose);
  void Write(services::ConsoleStream stream, std::string_view text) override;

 private:
  struct Close {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::mutex mutex_;
  std::unique_ptr<std::FILE, Close> file_;
  bool toStdout_ = false;
};

}  // namespace soilcal::jobs
