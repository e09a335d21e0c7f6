// Model numbers, CopySoilProp, per-test completion and GenMat.
#include <gtest/gtest.h>

#include <cmath>

#include "models/setup.hpp"

namespace soilcal::models {
namespace {

TEST(ModelNumber, ReductionTakesTheRemainderAndLowersAliasesAboveFifty) {
  struct Case {
    int code, model, codeAfter;
  };
  // 56 is an alias of 6 and is written back lowered; the drainage digit of
  // 156 survives the lowering.
  for (const Case c : {Case{106, 6, 106}, Case{56, 6, 6}, Case{2, 2, 2}, Case{156, 6, 106},
                       Case{221, 21, 221}, Case{50, 50, 50}, Case{99, 49, 49}}) {
    int code = c.code;
    EXPECT_EQ(ReduceModelNumber(code), c.model) << c.code;
    EXPECT_EQ(code, c.codeAfter) << c.code;
  }
}

TEST(GenMat, StiffnessAndStrengthGrowWithDepthBelowTheReferenceLevel) {
  PropSoil p;
  const std::pair<int, double> slots[] = {
      {1, 2000.0}, {3, 0.5}, {4, 10.0}, {6, 5.0},  // Gref, sin(phi), Cref, vert_ref
      {7, 2.0}, {19, 100.0}};  // cincr, Ginc
  for (const auto& [slot, value] : slots) p[slot] = value;
  GenMatCall call{.prop = &p, .model = 2, .y = 2.0};
  PointMatState pms;
  GenMat(call, pms);
  // 3 below the reference level: G = 2000 + 3*100, c = 10 + 3*2.
  EXPECT_DOUBLE_EQ(pms.G, 2300.0);
  EXPECT_DOUBLE_EQ(pms.SPhi, 0.5);
  EXPECT_NEAR(pms.CoheSi, 16.0 * std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(pms.CCotPhi, 16.0 * std::sqrt(0.75) / 0.5, 1e-12);

  call.y = 9.0;  // above the reference level: the reference values
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 2000.0);
  EXPECT_NEAR(pms.CoheSi, 10.0 * std::sqrt(0.75), 1e-12);

  p[1] = -50.0;  // G proportional to the cohesion
  call.model = 1;
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 500.0);

  p[1] = 1000.0;  // a decreasing stiffness stops at 0.001 Gref
  p[19] = -1000.0;
  call.y = 0.0;
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 1.0);

  p[3] = 0.0;  // no friction: no apex
  GenMat(call, pms);
  EXPECT_EQ(pms.CCotPhi, 1e10);
  EXPECT_DOUBLE_EQ(pms.CoheSi, 20.0);
}

}  // namespace
}  // namespace soilcal::models
