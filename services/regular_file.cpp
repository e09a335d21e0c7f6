#include "services/regular_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "services/paths.hpp"

namespace soilcal::services {
namespace {

std::string KindSentence(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a FIFO (a named pipe), not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is a device, not a regular file";
}

bool Readable(const struct stat& st, const std::string& path) {
  return S_ISREG(st.st_mode) || IsNullDevice(path);
}

}  // namespace

std::string NotARegularFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::string();
  return Readable(st, path) ? std::string() : KindSentence(st.st_mode);
}

std::string KindInParentheses(const std::string& programPath) {
  const std::string kind = NotARegularFile(ResolvePath(programPath));
  return kind.empty() ? std::string() : " (it " + kind + ")";
}

std::FILE* OpenRegularFile(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (why != nullptr) *why = std::string("cannot be opened: ") + std::strerror(error);
    errno = error;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !Readable(st, path)) {
    if (why != nullptr) *why = KindSentence(st.st_mode);
    ::close(fd);
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  // Reads of a regular file never wait; the flag is cleared all the same so
  // the stream behaves as one opened the ordinary way.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "r");
  if (file == nullptr) {
    const int error = errno;
    if (why != nullptr) *why = std::string("cannot be opened: ") + std::strerror(error);
    ::close(fd);
    errno = error;
  }
  return file;
}

bool ReadRegularFile(const std::string& path, std::string& text, std::string* why) {
  std::FILE* file = OpenRegularFile(path, why);
  if (file == nullptr) return false;
  text.clear();
  char buffer[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  const bool ok = std::ferror(file) == 0;
  if (!ok && why != nullptr) *why = "cannot be read";
  std::fclose(file);
  return ok;
}

}  // namespace soilcal::services
