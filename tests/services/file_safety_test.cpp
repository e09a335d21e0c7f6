// The file checks every front end relies on: whether an output names an
// input (however it is spelled), inputs read only from regular files (a FIFO
// never blocks), and a lock that never follows a planted link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "services/file_identity.hpp"
#include "services/folder_lock.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(FileIdentity, EverySpellingOfAnInputIsFoundAndOtherFilesAreNot) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  const std::string input = dir.Write("data/q.csv", "x\n");
  fs::create_directories(dir.path() / "out");
  fs::create_hard_link(input, dir.path() / "out/hard.csv");
  fs::create_symlink(input, dir.path() / "out/soft.csv");
  const std::vector<std::string> inputs = {root + "/data/other.csv", input};

  struct Case {
    std::string output;
    bool clash;
  };
  const Case cases[] = {
      {root + "/data/q.csv", true},
      {root + "/out/../data/q.csv", true},
      {root + "/./data//q.csv", true},
      {root + "\\data\\q.csv", true},        // the program's other separator
      {root + "/DATA/Q.CSV", true},           // the look-up ignores case
      {root + "/out/hard.csv", true},         // a hard link is the file
      {root + "/out/soft.csv", true},         // so is a symbolic link
      {root + "/data/other.csv", true},       // missing yet: by folder and name
      {root + "/data/q.csv_calculated", false},
      {root + "/out/q.csv", false},
      {root + "/data/q2.csv", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const auto clash = FindOutputOntoInput({root + "/data/unrelated.txt", c.output}, inputs);
    ASSERT_EQ(clash.has_value(), c.clash);
    if (!clash) continue;
    EXPECT_EQ(clash->output, 1u);
    EXPECT_EQ(clash->input, c.output.find("other") != std::string::npos ? 0u : 1u);
  }
}

TEST(FileIdentity, TheFirstPairNamingOneFileIsReportedInOrder) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.Write("a/OPTIM.TXT", "1\n");
  fs::create_directories(dir.path() / "b");
  const auto same = FindSameFileTwice(
      {root + "/a/OPTIM.TXT", root + "/b/OPTIM.TXT", root + "/b/../a/optim.txt", root + "/a/z"});
  ASSERT_TRUE(same.has_value());
  EXPECT_EQ(same->first, 0u);
  EXPECT_EQ(same->second, 2u);
  EXPECT_FALSE(FindSameFileTwice({root + "/a/1", root + "/a/2", root + "/a/3"}).has_value());
}

TEST(FileIdentity, TenThousandInputsAgainstTwentyThousandOutputsTakeASecondAtMost) {
  // The check compares by ordered sets: n log n look-ups and a stat call or
  // two a file. A pairwise check of these 2e8 pairs took minutes. The
  // inputs are named, not made (making 10^4 files is the slow part here);
  // the last one exists, so both look-ups are used.
  testing::TempDir dir;
  const std::string root = dir.path().string();
  std::vector<std::string> inputs, outputs;
  fs::create_directories(dir.path() / "in");
  for (int i = 0; i < 10000; ++i) {
    inputs.push_back(root + "/in/T" + std::to_string(i) + ".csv");
    outputs.push_back(root + "/out/T" + std::to_string(i) + ".VLT");
    outputs.push_back(root + "/out/T" + std::to_string(i) + ".TXT");
  }
  testing::WriteFile(inputs.back(), "");
  const auto start = Clock::now();
  EXPECT_FALSE(FindOutputOntoInput(outputs, inputs).has_value());
  outputs.push_back(root + "/in/t9999.CSV");
  const auto clash = FindOutputOntoInput(outputs, inputs);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(clash.has_value());
  EXPECT_EQ(clash->output, 20000u);
  EXPECT_EQ(clash->input, 9999u);
  EXPECT_LT(seconds, 2.0);  // about 0.3 s on a loaded machine
}

TEST(RegularFile, FifoFolderAndMissingFileAreRefusedWithoutWaiting) {
  testing::TempDir dir;
  const std::string fifo = (dir.path() / "pipe.csv").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(dir.path() / "folder.csv");
  const std::string plain = dir.Write("plain.csv", "a,b\n1,2\n");

  const auto start = Clock::now();
  std::string text, why;
  EXPECT_FALSE(ReadRegularFile(fifo, text, &why));  // a blocking open would hang here
  EXPECT_EQ(why, "is a FIFO (a named pipe), not a regular file");
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
  EXPECT_EQ(NotARegularFile(fifo), why);
  EXPECT_FALSE(ReadRegularFile((dir.path() / "folder.csv").string(), text, &why));
  EXPECT_EQ(why, "is a folder, not a file");
  EXPECT_EQ(NotARegularFile((dir.path() / "missing.csv").string()), "");
  ASSERT_TRUE(ReadRegularFile(plain, text, &why));
  EXPECT_EQ(text, "a,b\n1,2\n");
  EXPECT_EQ(NotARegularFile(plain), "");
}

TEST(FolderLock, APlantedLinkOrFifoIsRefusedAndTheFileItNamesIsUntouched) {
  testing::TempDir dir;
  const std::string victim = dir.Write("precious.txt", "keep me\n");
  fs::create_directories(dir.path() / "job");
  const fs::path lockName = dir.path() / "job" / kLockFileName;
  fs::create_symlink(victim, lockName);
  const std::string folder = (dir.path() / "job").string() + "/";

  FolderLock lock = FolderLock::Take(folder, "test run");
  EXPECT_EQ(lock.state(), FolderLock::State::kForeign);
  EXPECT_TRUE(lock.refused());
  EXPECT_FALSE(lock.held());
  EXPECT_NE(lock.cause().find("is a symbolic link, not a regular file"), std::string::npos)
      << lock.cause();
  lock.Release();
  EXPECT_EQ(testing::ReadFile(victim), "keep me\n");
  EXPECT_TRUE(fs::is_symlink(lockName));

  fs::remove(lockName);
  ASSERT_EQ(::mkfifo(lockName.c_str(), 0600), 0);
  const auto start = Clock::now();
  FolderLock fifo = FolderLock::Take(folder, "test run");
  EXPECT_EQ(fifo.state(), FolderLock::State::kForeign);
  EXPECT_NE(fifo.cause().find("is a FIFO"), std::string::npos) << fifo.cause();
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);

  // A regular lock file left by a killed run is taken as before.
  fs::remove(lockName);
  testing::WriteFile(lockName, "process 1, started long ago\n");
  FolderLock taken = FolderLock::Take(folder, "test run");
  EXPECT_TRUE(taken.held());
}

TEST(Paths, AFolderWhoseNameHoldsABackslashIsFoundByItsAbsolutePath) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.Write("a\\b/OPTIM.TXT", "1\n");
  EXPECT_EQ(ResolvePath(root + "/a\\b/OPTIM.TXT"), root + "/a\\b/OPTIM.TXT");
  // A file about to be written there stays in that folder.
  EXPECT_EQ(ResolvePath(root + "/a\\b/Optimization_result.txt"),
            root + "/a\\b/Optimization_result.txt");
  EXPECT_TRUE(FileExists(root + "/A\\B/optim.txt"));
  // Where no such name exists, a backslash still separates folders.
  dir.Write("c/d/E.TXT", "x");
  EXPECT_EQ(ResolvePath(root + "/c\\d\\e.txt"), root + "/c/d/E.TXT");
}

}  // namespace
}  // namespace soilcal::services
