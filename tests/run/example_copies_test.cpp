// The tests copy a job's own files only: after "scripts/setup" has run the
// example in its folder, its outputs (and a stray AbortCalc) never reach the
// copies the tests run, so "scripts/setup" then "scripts/test" passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) out.insert(entry.path().filename().string());
  return out;
}

TEST(ExampleCopies, OutputsOfARunInTheJobFolderAreNotCopied) {
  TempDir fresh, used, copy;
  CopyExample("sand_triaxial", fresh.path());
  CopyExample("sand_triaxial", used.path());
  ASSERT_TRUE(Names(fresh.path()).count(".gitignore"));
  // The example run where it lies, and an abort file left behind.
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", used.path()).exitStatus, 0);
  used.Write("AbortCalc", "");
  ASSERT_GT(Names(used.path()).size(), Names(fresh.path()).size() + 5);

  CopyJobFiles(used.path(), copy.path());  // not a git work tree: its .gitignore decides
  EXPECT_EQ(Names(copy.path()), Names(fresh.path()));
  for (const std::string& name : Names(fresh.path())) {
    EXPECT_EQ(ReadFile(copy.path() / name), ReadFile(fresh.path() / name)) << name;
  }
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", copy.path()).exitStatus, 0);
  EXPECT_EQ(KeyValue(ParseResultFile(copy.Read("Optimization_result.txt")), "General", "Exit Code"), 0.0);
}

TEST(ExampleCopies, InAGitWorkTreeOnlyTrackedFilesAreCopied) {
  const char* gits[] = {"/usr/bin/git", "/bin/git", "/usr/local/bin/git"};
  const auto git = std::find_if(std::begin(gits), std::end(gits), [](const char* g) { return fs::exists(g); });
  if (git == std::end(gits)) GTEST_SKIP() << "no git";
  TempDir repo, copy;
  CopyExample("sand_triaxial", repo.path());
  ASSERT_EQ(RunProcess(*git, {"init", "-q", "."}, repo.path()).exitStatus, 0);
  ASSERT_EQ(RunProcess(*git, {"add", "."}, repo.path()).exitStatus, 0);
  const std::set<std::string> tracked = Names(repo.path());
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", repo.path()).exitStatus, 0);
  repo.Write("notes.txt", "neither tracked nor ignored");
  CopyJobFiles(repo.path(), copy.path());
  std::set<std::string> expected = tracked;
  expected.erase(".git");
  EXPECT_EQ(Names(copy.path()), expected);
}

}  // namespace
}  // namespace soilcal::testing
