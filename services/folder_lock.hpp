// One calibration at a time in a job folder.
//
// A run takes the lock of its job folder before it writes anything there and
// keeps it to its end. The lock is an advisory flock on the file
// ".soilcal.lock" in the folder, which holds one line naming the run that
// holds it. A second run, in this process or in any other, finds the lock
// taken and stops at once without touching the folder, and can name the run
// that holds it. The kernel drops the lock whenever its holder ends, even by
// SIGKILL, so a lock is never left behind; the holder removes the file when
// it lets go (a killed holder leaves the file, which the next run reuses).
//
// Every program that writes into a job folder takes the lock through this
// type: the calibration, the batch runner and the Python module, so that a
// folder never has two writers.
//
//   services::FolderLock lock =
//       services::FolderLock::Take(folder, services::DescribeThisRun(jobPath));
//   if (lock.state() == services::FolderLock::State::kBusy) {
//     ... lock.holder() names the run that holds the folder ...
//   }
//
// Taking never waits. A folder where no lock file can be made or opened (a
// read-only folder) gives kUnavailable: nothing is held, and the caller
// decides (the calibration goes on, since it can write nothing there
// anyway, and says so for every file it cannot write).
#pragma once

#include <string>

namespace soilcal::services {

// Name of the lock file in a job folder.
inline constexpr const char* kLockFileName = ".soilcal.lock";

class FolderLock {
 public:
  enum class State {
    kNone,         // a default object: nothing tried, nothing held
    kHeld,         // this object holds the folder until it is released
    kBusy,         // another run holds the folder; holder() names it
    kUnavailable,  // no lock file could be opened; cause() says why
    // The lock file's name is taken by a symbolic link, a FIFO, a folder or
    // another thing that is no regular file: it is neither followed nor
    // opened, and the folder is not taken; cause() says what is there.
    kForeign,
  };

  // Tries once to take the lock of `folder` (a program path with its
  // trailing separator; "" is the current folder). `owner` is the one line
  // a second run shows to name this one.
  static FolderLock Take(const std::string& folder, const std::string& owner);

  FolderLock() = default;
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // Releases the lock (see Release).
  ~FolderLock();

  State state() const { return state_; }
  bool held() const { return state_ == State::kHeld; }
  // Another run holds the folder, or its lock file is no regular file: in
  // both cases a run must not write there.
  bool refused() const { return state_ == State::kBusy || state_ == State::kForeign; }
  // When busy: the line of the run that holds the folder ("" when that run
  // has not written it yet).
  const std::string& holder() const { return text_; }
  // When unavailable or foreign: why no lock file could be opened.
  const std::string& cause() const { return text_; }
  // The lock file (a file-system path).
  const std::string& path() const { return path_; }

  // True when this object holds the lock of `folder` (the same lock file,
  // however the folder is spelled): a run handed a lock its caller took
  // keeps it rather than taking the folder a second time.
  bool HoldsFolder(const std::string& folder) const;

  // Removes the lock file and lets go of the lock; nothing when not held.
  void Release();

 private:
  State state_ = State::kNone;
  int fd_ = -1;
  bool ownsFile_ = false;  // opened for writing: this holder removes the file
  std::string path_;
  std::string text_;
};

// "process 1234, started 2024-05-01 14:03:07, job /path/OPTIM.TXT": the line
// a run writes into its lock.
std::string DescribeThisRun(const std::string& job);

}  // namespace soilcal::services
