// The file services that keep outputs honest: whole-file replacement, the
// job folder's lock, the standard streams of a started program and the null
// device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "services/folder_lock.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"
#include "services/standard_streams.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

namespace fs = std::filesystem;
using soilcal::testing::ReadFile;
using soilcal::testing::TempDir;

int FilesIn(const fs::path& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
  return n;
}

TEST(OutputFile, ReplacesTheTargetWholeOrLeavesItAsItWas) {
  TempDir dir;
  const std::string target = dir.Write("Q_EPS.TXT_calculated", "old curve\n");
  // A reader that opened the old file keeps reading the old file whole.
  const int reader = ::open(target.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  const std::string text(100000, '7');
  EXPECT_TRUE(WriteFileAtomically(target, text));
  EXPECT_EQ(ReadFile(target), text);
  char buffer[64] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 10);
  EXPECT_EQ(std::string(buffer), "old curve\n");
  ::close(reader);
  EXPECT_EQ(FilesIn(dir.path()), 1);  // no temporary file left

  // A folder in the target's place, a folder that does not exist: the cause
  // in words, nothing left behind, nothing changed.
  fs::create_directory(dir.path() / "taken");
  const WriteStatus onFolder = WriteFileAtomically((dir.path() / "taken").string(), "x");
  EXPECT_FALSE(onFolder.ok);
  EXPECT_EQ(onFolder.cause, "Is a directory");
  EXPECT_TRUE(fs::is_directory(dir.path() / "taken"));
  const WriteStatus nowhere = WriteFileAtomically((dir.path() / "no/such/file").string(), "x");
  EXPECT_EQ(nowhere.cause, "No such file or directory");
  EXPECT_EQ(FilesIn(dir.path()), 2);
}

TEST(FolderLock, ASecondTakerFindsTheFolderBusyAndNamesTheHolder) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  FolderLock first = FolderLock::Take(folder, "run A");
  ASSERT_TRUE(first.held());
  EXPECT_EQ(ReadFile(dir.path() / kLockFileName), "run A\n");
  {
    const FolderLock second = FolderLock::Take(folder, "run B");
    EXPECT_EQ(second.state(), FolderLock::State::kBusy);
    EXPECT_EQ(second.holder(), "run A");
  }
  // Moving the lock moves the hold; the folder stays taken.
  FolderLock moved = std::move(first);
  EXPECT_EQ(FolderLock::Take(folder, "run C").state(), FolderLock::State::kBusy);
  moved.Release();
  EXPECT_FALSE(fs::exists(dir.path() / kLockFileName));
  EXPECT_TRUE(FolderLock::Take(folder, "run D").held());  // released again at once
  EXPECT_FALSE(fs::exists(dir.path() / kLockFileName));

  EXPECT_EQ(FolderLock::Take(folder + "missing/", "run E").state(),
            FolderLock::State::kUnavailable);
}

// A program started with standard output and error closed: the descriptors
// are taken by the null device before any file, so the first file opened
// is never descriptor 1 or 2.
TEST(StandardStreams, ClosedDescriptorsAreOpenedOnTheNullDevice) {
  TempDir dir;
  const std::string file = (dir.path() / "result").string();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
    OpenMissingStandardStreams();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    const bool streamsOnNull = IsNullDevice("/proc/self/fd/1") && IsNullDevice("/proc/self/fd/2");
    ::_exit(fd > STDERR_FILENO && streamsOnNull ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Paths, NulIsTheNullDeviceEvenWhereAFileOfThatNameExists) {
  TempDir dir;
  dir.Write("nul", "notes");
  dir.Write("NUL.TXT", "not the device");
  EXPECT_EQ(ResolvePath((dir.path() / "nul").string()), "/dev/null");
  EXPECT_EQ(ResolvePath((dir.path() / "Nul").string()), "/dev/null");
  EXPECT_EQ(ResolvePath(dir.path().string() + "\\nul"), "/dev/null");
  EXPECT_EQ(ResolvePath((dir.path() / "nul.txt").string()), (dir.path() / "NUL.TXT").string());
}

}  // namespace
}  // namespace soilcal::services
