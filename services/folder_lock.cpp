// The job folder's lock: flock on ".soilcal.lock", never waiting.
#include "services/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::services {
namespace {

constexpr int kAttempts = 5;

bool SameFile(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The first line of the lock file, without its line end.
std::string FirstLine(int fd) {
  char buffer[512];
  const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return {};
  std::string text(buffer, static_cast<std::size_t>(n));
  return TrimRight(text.substr(0, text.find('\n')));
}

// What a name that is no regular file is, in words.
std::string KindOf(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "a symbolic link";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "a device";
}

// The lock's name is looked at without following it: anything but a regular
// file (or nothing) there is refused, so that a planted link never makes a
// run truncate the file it points to.
bool ForeignName(const std::string& path, std::string& what) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return false;
  what = "the lock file " + path + " is " + KindOf(st) + ", not a regular file";
  return true;
}

}  // namespace

FolderLock FolderLock::Take(const std::string& folder, const std::string& owner) {
  FolderLock lock;
  lock.path_ = ResolvePath(folder + kLockFileName);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (ForeignName(lock.path_, lock.text_)) {
      lock.state_ = State::kForeign;
      return lock;
    }
    bool writable = true;
    // O_NOFOLLOW and O_NONBLOCK: a link or FIFO put there after the look
    // above is still neither followed nor waited on.
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(lock.path_.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
    if (fd < 0) {
      // A folder that cannot take a new file may still hold one to lock.
      const int openError = errno;
      writable = false;
      fd = ::open(lock.path_.c_str(), O_RDONLY | kFlags);
      if (fd < 0) {
        if (ForeignName(lock.path_, lock.text_)) {
          lock.state_ = State::kForeign;
          return lock;
        }
        lock.state_ = State::kUnavailable;
        lock.text_ = ErrorText(openError);
        return lock;
      }
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      lock.text_ = "the lock file " + lock.path_ + " is " + KindOf(opened) + ", not a regular file";
      lock.state_ = State::kForeign;
      ::close(fd);
      return lock;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int lockError = errno;
      lock.text_ = lockError == EWOULDBLOCK ? FirstLine(fd) : ErrorText(lockError);
      lock.state_ = lockError == EWOULDBLOCK ? State::kBusy : State::kUnavailable;
      ::close(fd);
      return lock;
    }
    // A holder removes the file before it unlocks: a lock on a file that no
    // longer has this name is no lock, and the name is opened again.
    if (!SameFile(fd, lock.path_)) {
      ::close(fd);
      continue;
    }
    lock.fd_ = fd;
    lock.ownsFile_ = writable;
    lock.state_ = State::kHeld;
    if (writable) {
      const std::string line = owner + "\n";
      // The line only names the holder for a second run: a failure to write
      // it costs that name, never the lock.
      if (::ftruncate(fd, 0) == 0) WriteAll(fd, line);
    }
    return lock;
  }
  lock.state_ = State::kUnavailable;
  lock.text_ = "the lock file keeps being replaced";
  return lock;
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : state_(std::exchange(other.state_, State::kNone)),
      fd_(std::exchange(other.fd_, -1)),
      ownsFile_(std::exchange(other.ownsFile_, false)),
      path_(std::move(other.path_)),
      text_(std::move(other.text_)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::exchange(other.state_, State::kNone);
    fd_ = std::exchange(other.fd_, -1);
    ownsFile_ = std::exchange(other.ownsFile_, false);
    path_ = std::move(other.path_);
    text_ = std::move(other.text_);
  }
  return *this;
}

FolderLock::~FolderLock() { Release(); }

bool FolderLock::HoldsFolder(const std::string& folder) const {
  return held() && SameFile(fd_, ResolvePath(folder + kLockFileName));
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  // Removed while still locked, so that no one locks the old file after us.
  if (ownsFile_ && SameFile(fd_, path_)) ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  ownsFile_ = false;
  state_ = State::kNone;
}

std::string DescribeThisRun(const std::string& job) {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  char when[32] = "";
  if (::localtime_r(&now, &local) != nullptr) {
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  }
  return "process " + std::to_string(::getpid()) + ", started " + when + ", job " + job;
}

}  // namespace soilcal::services
