// Checked, atomic output files: temporary file, checked writes, fsync,
// checked close, rename into place.
#include "services/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "services/notices.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

constexpr std::size_t kNameMax = 255;  // bytes of one file name on Linux

std::atomic<unsigned> temporarySerial{0};

// ".<name>.<pid>-<serial>.tmp" beside the target, so that the rename stays
// within one file system; a name too long for that takes a short stem.
std::string TemporaryPath(const std::string& path) {
  std::string stem = BareName(path);
  const std::string tag = "." + std::to_string(::getpid()) + "-" +
                          std::to_string(temporarySerial.fetch_add(1)) + ".tmp";
  if (1 + stem.size() + tag.size() > kNameMax) stem = "soilcal";
  return FolderOf(path) + "." + stem + tag;
}

}  // namespace

std::string ErrorText(int errnum) {
  char buffer[256];
  // The GNU strerror_r returns the text, which need not be in the buffer.
  return ::strerror_r(errnum, buffer, sizeof buffer);
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

WriteStatus WriteFileAtomically(const std::string& path, std::string_view text) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryPath(path);
    // 0666 and the process's umask, as for a file opened the ordinary way.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return {false, ErrorText(errno)};

  int error = WriteAll(fd, text);
  // The data reach the disk before the name points at them: after a crash
  // the target holds the old text or the new one, never an empty file.
  if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return {false, ErrorText(error)};
  }
  return {};
}

void ReportOutputFailure(const std::string& path, const std::string& cause) {
  ReportFileFailure("cannot write " + path + ": " + cause);
}

void ReportFileFailure(const std::string& sentence) {
  CurrentServices().outputFailures.fetch_add(1);
  Notice(sentence);
}

int OutputFailures() { return CurrentServices().outputFailures.load(); }

}  // namespace soilcal::services
