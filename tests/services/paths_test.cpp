// Windows-style program paths on a case-sensitive file system.
#include <gtest/gtest.h>

#include <filesystem>

#include "services/paths.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

TEST(Paths, UpperCaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(ToUpperCase("c:\\proj 1\\optim.txt"), "C:\\PROJ 1\\OPTIM.TXT");
  // Digits, separators, blanks and non-ASCII bytes (UTF-8 of a-umlaut) stay.
  EXPECT_EQ(ToUpperCase("a\xC3\xA4z-09/_"), "A\xC3\xA4Z-09/_");
}

TEST(Paths, FolderEndsAtTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(FolderOf("C:\\JOB\\SUB/OPTIM.TXT"), "C:\\JOB\\SUB/");
  EXPECT_EQ(FolderOf("/tmp/job\\optim.txt"), "/tmp/job\\");
  EXPECT_EQ(FolderOf("OPTIM.TXT"), "");
  EXPECT_EQ(BareName("/tmp/job\\optim.txt"), "optim.txt");
  EXPECT_EQ(FolderLength("a/b\\c"), 4u);
}

TEST(Paths, ResolvesComponentsIgnoringCaseWhenTheExactNameIsMissing) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.Write("Project/Tests/triax1.vlt", "x");
  dir.Write("LOWER/CURVE.TXT", "x");

  // Upper-cased argument, mixed-case folders on disk.
  const std::string upper = ToUpperCase(root + "/PROJECT/TESTS/TRIAX1.VLT");
  EXPECT_EQ(ResolvePath(upper), root + "/Project/Tests/triax1.vlt");
  EXPECT_TRUE(FileExists(upper));
  // The reverse: lower-case names for upper-case entries.
  EXPECT_EQ(ResolvePath(root + "/lower/curve.txt"), root + "/LOWER/CURVE.TXT");
  // Backslashes separate folders too.
  EXPECT_EQ(ResolvePath(root + "\\project\\tests\\TRIAX1.vlt"), root + "/Project/Tests/triax1.vlt");
  // A file about to be created keeps its name; its folder is still resolved.
  EXPECT_EQ(ResolvePath(root + "/PROJECT/Optimization_result.txt"),
            root + "/Project/Optimization_result.txt");
  EXPECT_FALSE(FileExists(root + "/PROJECT/Optimization_result.txt"));
  // A folder is not a file.
  EXPECT_FALSE(FileExists(root + "/PROJECT"));
}

TEST(Paths, ExactNameWinsOverACaseInsensitiveMatch) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.Write("a.txt", "lower");
  dir.Write("A.TXT", "upper");
  EXPECT_EQ(ResolvePath(root + "/A.TXT"), root + "/A.TXT");
  EXPECT_EQ(ResolvePath(root + "/a.txt"), root + "/a.txt");
  // Neither exact: the smallest matching name, so the choice is repeatable.
  EXPECT_EQ(ResolvePath(root + "/a.TXT"), root + "/A.TXT");
}

TEST(Paths, NulIsTheNullDevice) {
  EXPECT_EQ(ResolvePath("nul"), "/dev/null");
  EXPECT_EQ(ResolvePath("NUL"), "/dev/null");
  EXPECT_TRUE(IsNullDevice(ResolvePath("nul")));
  testing::TempDir dir;
  EXPECT_FALSE(IsNullDevice(dir.Write("file2", "")));
}

}  // namespace
}  // namespace soilcal::services
