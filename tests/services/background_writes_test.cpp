// Atomic writes started together: every file whole with its own text, the
// outcomes in start order with the failed one in its place, and no
// temporary file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "services/background_writes.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

namespace fs = std::filesystem;
using soilcal::testing::TempDir;

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(BackgroundWrites, EveryFileWholeAndTheOutcomesInStartOrder) {
  TempDir dir;
  const fs::path folder = dir.path();
  BackgroundWrites writes;
  // Texts of different lengths (the longest several MB), so that the writes
  // end in another order than they started.
  std::vector<std::string> texts;
  for (int k = 0; k < 6; ++k) {
    texts.push_back(std::string(static_cast<std::size_t>(1) << (22 - 4 * (k % 3)), 'a' + k));
  }
  for (int k = 0; k < 6; ++k) {
    const fs::path target =
        k == 3 ? folder / "missing" / "c.txt" : folder / ("f" + std::to_string(k) + ".txt");
    writes.Start(target.string(), texts[k]);
  }
  const std::vector<BackgroundWrites::Done> done = writes.Wait();
  ASSERT_EQ(done.size(), 6u);
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    if (k == 3) {
      EXPECT_FALSE(done[k].status.ok);
      EXPECT_EQ(done[k].status.cause, "No such file or directory");
      EXPECT_EQ(done[k].path, (folder / "missing" / "c.txt").string());
      continue;
    }
    EXPECT_TRUE(done[k].status.ok) << done[k].status.cause;
    EXPECT_EQ(done[k].path, (folder / ("f" + std::to_string(k) + ".txt")).string());
    EXPECT_EQ(Read(done[k].path), texts[k]);
  }
  // Only the five targets: no temporary file stays.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) files += entry.is_regular_file();
  EXPECT_EQ(files, 5);
  EXPECT_TRUE(writes.Wait().empty());  // waited for once
}

TEST(BackgroundWrites, TheDestructorWaitsForWritesNobodyWaitedFor) {
  TempDir dir;
  const fs::path target = dir.path() / "late.txt";
  {
    BackgroundWrites writes;
    writes.Start(target.string(), std::string(1 << 20, 'x'));
  }
  EXPECT_EQ(Read(target), std::string(1 << 20, 'x'));
}

}  // namespace
}  // namespace soilcal::services
