// The physical range of each free parameter, in the values its slot holds:
// what a linearised interval is cut to besides the bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "run/uncertainty_step.hpp"

namespace soilcal::run {
namespace {

TEST(PhysicalRanges, SlotsGetTheirRangeInStoredValues) {
  input::Job job;
  job.modelNumber = 106;  // Hardening Soil
  job.material.version = 9;
  job.material.params[2] = 0.2;
  // φ (a sine in 0..1), νur [0, 0.5), E50ref (0, ∞), n0 [0, 1), and a slot
  // without a name.
  job.settings.index = {3, 2, 40, 20, 117};
  optimisation::UncertaintyOptions o;
  PhysicalRanges(job, o);
  ASSERT_EQ(o.physicalLow.size(), 5u);
  ASSERT_EQ(o.physicalHigh.size(), 5u);
  EXPECT_DOUBLE_EQ(o.physicalLow[0], 0.0);
  EXPECT_DOUBLE_EQ(o.physicalHigh[0], 1.0);  // sin 90°
  EXPECT_DOUBLE_EQ(o.physicalLow[1], 0.0);
  EXPECT_DOUBLE_EQ(o.physicalHigh[1], 0.5);
  EXPECT_DOUBLE_EQ(o.physicalLow[2], 0.0);
  EXPECT_TRUE(std::isinf(o.physicalHigh[2]) && o.physicalHigh[2] > 0);
  EXPECT_DOUBLE_EQ(o.physicalLow[3], 0.0);
  EXPECT_DOUBLE_EQ(o.physicalHigh[3], 1.0);
  EXPECT_TRUE(std::isinf(o.physicalLow[4]) && o.physicalLow[4] < 0);
  EXPECT_TRUE(std::isinf(o.physicalHigh[4]) && o.physicalHigh[4] > 0);
}

// A model without a table (a user library nobody describes) leaves every
// range open.
TEST(PhysicalRanges, AnUnknownModelLeavesThemOpen) {
  input::Job job;
  job.modelNumber = 27;
  job.material.name = "nobody.dll";
  job.settings.index = {1, 2};
  optimisation::UncertaintyOptions o;
  PhysicalRanges(job, o);
  ASSERT_EQ(o.physicalLow.size(), 2u);
  for (std::size_t j = 0; j < 2; ++j) {
    EXPECT_TRUE(std::isinf(o.physicalLow[j]));
    EXPECT_TRUE(std::isinf(o.physicalHigh[j]));
  }
}

}  // namespace
}  // namespace soilcal::run
