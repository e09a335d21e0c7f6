// Parameter completion and GenMat rules of the soft-soil family.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "models/family.hpp"
#include "models/soft_soil/parameters.hpp"
#include "services/errors.hpp"

namespace soilcal::models {
namespace {

PropSoil SoftClay() {
  PropSoil p;
  const std::pair<int, double> slots[] = {
      {2, 0.2}, {20, 0.5}, {31, 1.0}, {37, 0.5},  // nu, initial porosity: e0 = 1, M, K0nc
      {38, 0.02}, {39, 0.1}, {40, 0.004}};  // kappa*, lambda*, mu* (model 8)
  for (const auto& [slot, value] : slots) p[slot] = value;
  return p;
}

// `p` completed for `model` as before a test; slot 1 is cleared after the
// copy so that the per-test completion must derive it.
PropSoil Completed(int model, PropSoil p = SoftClay()) {
  const ModelConstants k;
  CallFamilyCopySoilProp(SoftSoilFamily(), model, 1, p, k);
  p[1] = 0.0;
  EXPECT_EQ(CallFamilyPerTestCompletion(SoftSoilFamily(), model, p, k, ModelResources{}), 0)
      << model;
  return p;
}

TEST(SoftSoilParameters, PerTestCompletionDerivesCriticalStateSlopeFromK0nc) {
  const PropSoil p = Completed(4);
  EXPECT_NEAR(p[32], 5.0, 1e-12);
  // Gref = 3 (1 - 2 nu) / (2 (1 + nu)) pref / kappa* = 0.75 * 100 / 0.02
  EXPECT_NEAR(p[1], 3750.0, 1e-9);
  // K0 = 0.5, nu = 0.2, r = 5: (1-K0)^2/(1+2K0)^2 = 1/16 and
  // 0.6 * 0.5 * 4 / (2 * 0.6 * 5 - 0.5 * 1.2) = 1.2 / 5.4 = 2/9, so
  // M = 3 sqrt(1/16 + 2/9) = sqrt(9/16 + 2) = sqrt(2.5625).
  EXPECT_NEAR(p[31], std::sqrt(2.5625), 1e-12);

  // Model 5 keeps its own M.
  PropSoil own = SoftClay();
  own[31] = 1.1;
  const PropSoil mcc = Completed(5, own);
  EXPECT_DOUBLE_EQ(mcc[31], 1.1);
  EXPECT_NEAR(mcc[32], 5.0, 1e-12);
  EXPECT_NEAR(mcc[1], 3750.0, 1e-9);
}

TEST(SoftSoilParameters, MissingSlopeOrCompressionIndexStopsTheRun) {
  const int mode = services::VirtualLabMode();
  services::SetVirtualLabMode(1);
  const ModelConstants k;
  const ModelFamily& f = SoftSoilFamily();
  auto messageOf = [&](int model, int iSet, PropSoil p) -> std::string {
    try {
      CallFamilyCopySoilProp(f, model, iSet, p, k);
    } catch (const services::KernelAbort& e) {
      return e.message;
    }
    return "no stop";
  };
  PropSoil noM = SoftClay();
  noM[31] = 0.0;
  EXPECT_EQ(messageOf(4, 3, noM), "Material set 3, soft-soil model with M=0");
  EXPECT_EQ(messageOf(5, 3, noM), "Material set 3, MCC model with M=0");
  EXPECT_EQ(messageOf(8, 12, noM), "Material set 12, soft-soil creep model with M=0");
  PropSoil noLambda = SoftClay();
  noLambda[39] = 0.0;
  EXPECT_EQ(messageOf(8, 7, noLambda), "7_lambda_or_kappa~0");
  EXPECT_EQ(messageOf(8, 7, SoftClay()), "no stop");
  services::SetVirtualLabMode(mode);
}

TEST(SoftSoilParameters, GenMatStiffnessFollowsMeanStressAndVolume) {
  const ModelConstants k;
  GenMatCall call{.k = &k, .stress = Vec6{-150.0, -250.0, -200.0, 10.0, 0.0, 0.0}};  // p = 200
  // The bulk modulus of GenMat's shear modulus with nu = 0.2.
  auto bulk = [&call](const PropSoil& p, int model) {
    call.prop = &p;
    call.model = model;
    return 2.0 * SoftSoilFamily().genMatShearModulus(call) * 1.2 / (3.0 * 0.6);
  };

  // Models 4 and 8 with c = 0: K = p / kappa*.
  for (int model : {4, 8}) EXPECT_NEAR(bulk(Completed(model), model), 200.0 / 0.02, 1e-6) << model;
  // Model 4 with c cot(phi) = 10 * cos 30 / sin 30 measures p from the apex.
  PropSoil cohesive = SoftClay();
  cohesive[3] = 0.5;
  cohesive[4] = 10.0;
  EXPECT_NEAR(bulk(Completed(4, cohesive), 4), (200.0 + 10.0 * std::sqrt(3.0)) / 0.02, 1e-6);

  // Model 5 in update mode: K = (1 + e) p / kappa with kappa = (1 + e0) kappa*.
  const PropSoil mcc = Completed(5);
  EXPECT_NEAR(bulk(mcc, 5), 200.0 / 0.02, 1e-6);
  call.updateMode = true;
  call.voidRatio = 0.6;
  EXPECT_NEAR(bulk(mcc, 5), 1.6 * 200.0 / 0.04, 1e-6);
  // Without a void ratio, e follows from the volumetric strain: a sample of
  // porosity 0.5 compressed by 10 % has n = 0.4 / 0.9 and e = 0.8.
  call.voidRatio = -1.0;
  call.epsV = -0.1;
  EXPECT_NEAR(bulk(mcc, 5), 1.8 * 200.0 / 0.04, 1e-6);
}

}  // namespace
}  // namespace soilcal::models
