// Clocks, the "%I" placeholder, the run-time report, memory and toggles.
#include <gtest/gtest.h>

#include "services/channels.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

// Diagnostic channel on a temporary file for the length of a test.
class DiagFile {
 public:
  DiagFile() { OpenWithRetry(2, (dir_.path() / "file2").string(), OpenMode::kWrite); }
  ~DiagFile() { CloseUnit(2); }
  std::string Text() {
    Diag().Flush();
    return dir_.Read("file2");
  }

 private:
  testing::TempDir dir_;
};

TEST(Clock, FillIntegerPlaceholderReplacesOnlyTheFirstPlaceholder) {
  EXPECT_EQ(FillIntegerPlaceholder("Memory allocation error, position %I", 17),
            "Memory allocation error, position 17");
  EXPECT_EQ(FillIntegerPlaceholder("Material set %I, MCC model with M=0", -3),
            "Material set -3, MCC model with M=0");
  EXPECT_EQ(FillIntegerPlaceholder("%I and %I", 5), "5 and %I");
  EXPECT_EQ(FillIntegerPlaceholder("no placeholder", 5), "no placeholder");
}

TEST(Clock, TogglesAreFoundBesideTheProgramOrInItsParentFolder) {
  DiagFile diag;
  testing::TempDir root;
  const std::string program = (root.path() / "bin").string() + "/";
  root.Write("bin/toggles/OWN_TOGGLE", "");
  root.Write("toggles/PARENT_TOGGLE", "");
  root.Write("bin/program", "");

  std::string path;
  EXPECT_TRUE(CheckToggleIn(program, "OWN_TOGGLE", &path));
  EXPECT_EQ(path, program + "toggles/OWN_TOGGLE");
  EXPECT_TRUE(CheckToggleIn(program, "PARENT_TOGGLE", &path));
  EXPECT_EQ(path, program + "../toggles/PARENT_TOGGLE");
  EXPECT_FALSE(CheckToggleIn(program, "USE_PARALLEL_UDSM_STRESS_INTEGRATION", &path));

  const std::string text = diag.Text();
  EXPECT_NE(text.find(" Toggle found: " + program + "toggles/OWN_TOGGLE\n"), std::string::npos);
  EXPECT_NE(text.find(" Toggle found: " + program + "../toggles/PARENT_TOGGLE\n"),
            std::string::npos);
  EXPECT_EQ(text.find("USE_PARALLEL"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::services
