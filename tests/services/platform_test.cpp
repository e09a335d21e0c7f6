// Message boxes, the floating-point mode and loading libraries by name.
#include <gtest/gtest.h>

#include <cfenv>
#include <filesystem>
#include <limits>

#include "services/clock.hpp"
#include "services/library.hpp"
#include "test_support.hpp"

namespace soilcal::services {
namespace {

TEST(FloatingPointMode, DenormalsAreFlushedToZero) {
  std::fenv_t saved;
  std::fegetenv(&saved);
  volatile double tiny = std::numeric_limits<double>::min();  // smallest normal
  volatile double half = 0.5;
  ASSERT_GT(tiny * half, 0.0);  // a denormal before the switch
  SetFlushToZero();
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__)
  EXPECT_EQ(tiny * half, 0.0);
#endif
  std::fesetenv(&saved);
}

TEST(SharedLibrary, LoadsByProgramNameAndResolvesSymbols) {
  SharedLibrary lib;
  // "soilcal_test_nocap.dll" is found as libsoilcal_test_nocap.so in the
  // folder of the path.
  ASSERT_TRUE(lib.LoadPath(testing::FixturePath("soilcal_test_nocap.dll"))) << lib.error();
  EXPECT_EQ(std::filesystem::path(lib.path()).filename(), "libsoilcal_test_nocap.so");
  EXPECT_NE(lib.Symbol("SoilcalTestFixtureVersion"), nullptr);
  EXPECT_EQ(lib.Symbol("HS_CapItr"), nullptr);

  SharedLibrary moved = std::move(lib);
  EXPECT_FALSE(lib.loaded());
  EXPECT_TRUE(moved.loaded());

  SharedLibrary missing;
  EXPECT_FALSE(missing.LoadByName("no_such_library_anywhere.dll"));
  EXPECT_NE(missing.error().find("no_such_library_anywhere"), std::string::npos)
      << missing.error();
}

}  // namespace
}  // namespace soilcal::services
