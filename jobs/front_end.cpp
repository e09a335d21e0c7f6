#include "jobs/front_end.hpp"

#include <sys/stat.h>

#include "services/paths.hpp"

namespace soilcal::jobs {
namespace {

// True when standard output is the file `path` (a batch runs its children
// with their output redirected into their console logs).
bool StdoutIs(const std::string& path) {
  struct stat out {}, file {};
  if (::fstat(fileno(stdout), &out) != 0 || ::stat(path.c_str(), &file) != 0) return false;
  return out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

}  // namespace

int ExitStatusOf(Door door, bool exitStatusOption, int status) {
  return door == Door::kFrontEnd || exitStatusOption ? status : 0;
}

ConsoleLog::ConsoleLog(const std::string& path, bool verbose) : toStdout_(verbose) {
  const std::string resolved = services::ResolvePath(path);
  if (StdoutIs(resolved)) {
    toStdout_ = true;
    return;
  }
  file_.reset(std::fopen(resolved.c_str(), "wb"));
  // Without a log the host's lines stay where the host would see them.
  if (!file_) toStdout_ = true;
}

void ConsoleLog::Write(services::ConsoleStream stream, std::string_view text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stream == services::ConsoleStream::kErr) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  } else if (toStdout_) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  if (file_) {
    std::fwrite(text.data(), 1, text.size(), file_.get());
    std::fflush(file_.get());
  }
}

}  // namespace soilcal::jobs
