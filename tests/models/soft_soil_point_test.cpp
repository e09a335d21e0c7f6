// The soft-soil family at one stress point: the parameter completion and
// GenMat rules, and single calls of its stress routines from hand-made
// states: the corner cases of the Cam-Clay return and the limits of the
// creep step and of the creep stiffness.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "models/family.hpp"
#include "models/soft_soil/cam_clay.hpp"
#include "models/soft_soil/creep.hpp"
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

Vec6 Iso(double p) { return Vec6{-p, -p, -p, 0.0, 0.0, 0.0}; }

// One call of the Cam-Clay routine: M 1.2, kappa = 0.04 at e = 1
// (kappa*_cur = 0.02), G 1000, nu 0.2.
struct CamClayTrial {
  PropSoil prop;
  StressCall call;
  CamClayTrial(double lambdaOverKappa, double pc0) {
    const std::pair<int, double> propSlots[] = {
        {2, 0.2}, {31, 1.2}, {32, lambdaOverKappa}, {35, 100.0}, {40, 0.04}};
    for (const auto& [slot, value] : propSlots) prop[slot] = value;
    call.prop = &prop;
    call.G = 1000.0;
    call.nu = 0.2;
    call.voidRatio = 1.0;
    call.tol = 0.01;
    call.pms0.pc = pc0;
    call.pms.pc = pc0;
  }
  void Run(const Vec6& sigE, const Vec6& sigEQ) {
    call.sigE = sigE;
    call.sigEQ = sigEQ;
    call.sigC = sigE;
    soft_soil::CamClaySig(call);
  }
};

TEST(ModifiedCamClay, ReturnHandlesDegenerateTrialStates) {
  {  // On the surface (F = 0): elastic, the trial stress stands.
    CamClayTrial t(5.0, 100.0);
    t.Run(Iso(100.0), Iso(100.0));
    EXPECT_EQ(t.call.iArea, 0);
    EXPECT_EQ(t.call.sigC, Iso(100.0));
  }
  {  // Isotropic trial beyond pc: q stays 0, p and pc meet between 100 and 120.
    CamClayTrial t(5.0, 100.0);
    t.Run(Iso(120.0), Iso(120.0));
    EXPECT_EQ(t.call.iArea, 3);
    EXPECT_TRUE(t.call.capFlag);
    const double p = -t.call.sigC[0];
    EXPECT_GT(p, 100.0);
    EXPECT_LT(p, 120.0);
    EXPECT_DOUBLE_EQ(t.call.sigC[0], t.call.sigC[1]);
    EXPECT_DOUBLE_EQ(t.call.sigC[3], 0.0);
    EXPECT_NEAR(t.call.pms.pc, p, 0.001 * p);  // the convergence test of the return
    // Trapezoidal hardening, pc - pc0 = theta (pc + pc0)/2 dLambda (2p - pc),
    // with the elastic volume change K dLambda (2p - pc) = 120 - p:
    // theta = 1/(0.02 * 4) = 12.5 and K = 2 G (1 + nu)/(3 (1 - 2 nu)) = 2400/1.8.
    const double K = 2400.0 / 1.8, theta = 12.5;
    const double pc = t.call.pms.pc;
    EXPECT_NEAR(pc - 100.0, theta * 0.5 * (pc + 100.0) * (120.0 - p) / K, 1e-9 * pc);
  }
  {  // A reference stress inside the start surface marks a newly plastic point.
    CamClayTrial t(5.0, 100.0);
    t.Run(Iso(120.0), Iso(90.0));
    EXPECT_EQ(t.call.iArea, -3);
  }
}

// Creep clay: lambda* 0.1, kappa* 0.02, mu* 0.004, t = 1, M 1.3, nu 0.15.
struct CreepCase {
  PropSoil prop;
  ModelConstants k;
  CreepCase() {
    const std::pair<int, double> propSlots[] = {
        {2, 0.15}, {31, 1.3}, {35, 100.0}, {38, 0.02}, {39, 0.1}, {40, 0.004}};
    for (const auto& [slot, value] : propSlots) prop[slot] = value;
    CallFamilyCopySoilProp(SoftSoilFamily(), 8, 1, prop, k);
  }
  double G(double p) const { return 1.5 * 0.7 / 1.15 * p / 0.02; }  // K = p / kappa*
  double K(double p) const { return 2.0 * G(p) * 1.15 / (3.0 * 0.7); }
};

TEST(SoftSoilCreep, CreepStepRespectsItsLimits) {
  const CreepCase c;
  // The model's own state follows the point record: the equivalent pressure,
  // then the summed creep multiplier.
  constexpr std::size_t kOwn = kModelStateOffset;
  std::array<double, kOwn + 2> state0{}, state{};
  StressCall call;
  call.prop = &c.prop;
  call.k = &c.k;
  call.G = c.G(100.0);
  call.nu = 0.15;
  call.sig0 = Iso(100.0);
  call.dEps = Vec6{-1e-3, -1e-3, -1e-3, 0.0, 0.0, 0.0};
  call.pms0.pc = 100.0;
  call.stVar0 = state0.data();
  call.stVar = state.data();
  call.nStat = 2;

  // No time: no creep, the elastic response with K = p / kappa*.
  call.dTime = 0.0;
  soft_soil::CrpSig(call);
  EXPECT_NEAR(-call.sigC[0], 100.0 + c.K(100.0) * 3e-3, 1e-9);
  EXPECT_DOUBLE_EQ(call.pms.pc, 100.0);
  EXPECT_DOUBLE_EQ(state[kOwn + 1], 0.0);

  // A trial stress in tension: no creep whatever the time, pc unchanged.
  call.sig0 = Iso(0.5);
  call.dEps = Vec6{1e-2, 1e-2, 1e-2, 0.0, 0.0, 0.0};
  call.dTime = 1e6;
  soft_soil::CrpSig(call);
  EXPECT_DOUBLE_EQ(call.pms.pc, 100.0);
  EXPECT_DOUBLE_EQ(state[kOwn + 1], 0.0);

  // A very long step at fixed strain: the stress relaxes by K times the
  // creep strain, pc grows by exp(creep / (lambda* - kappa*)), and the creep
  // strain is mu* ln(1 + X) with X from the relaxed stress.
  call.sig0 = Iso(100.0);
  call.dEps = Vec6{};
  call.dTime = 1e30;
  soft_soil::CrpSig(call);
  const double creep = state[kOwn + 1];
  EXPECT_GT(creep, 0.0);
  EXPECT_GT(state[kOwn], 0.0);
  // The record's G and water bulk are MatSig's to write, not the routine's.
  EXPECT_EQ(state[0], 0.0);
  EXPECT_EQ(state[1], 0.0);
  EXPECT_GT(-call.sigC[0], 0.0);
  EXPECT_NEAR(-call.sigC[0], 100.0 - c.K(100.0) * creep, 1e-6);
  EXPECT_NEAR(call.pms.pc, 100.0 * std::exp(creep / 0.08), 1e-9 * call.pms.pc);
  // The creep of the step is mu* ln(1 + X) with X from the end stress.
  const double X = std::min(1e15, 1e30 * std::pow(-call.sigC[0] / 100.0, 20.0));
  // 1e-3: the iteration stops when its step is below 5e-6 of the creep
  // strain; the residual is that step times the slope 1 - dTarget/dLambda,
  // about 100 at this strongly relaxed state.
  EXPECT_NEAR(creep, 0.004 * std::log1p(X), 1e-3 * creep);
}

// The stiffness the step solver gets: elastic p/kappa* for a step without
// time; for a step long enough to creep fully (X >> 1) on the normal
// compression line the bulk stiffness is p/lambda*.
TEST(SoftSoilCreep, CreepStiffnessSpansElasticAndNormalCompressionStiffness) {
  const CreepCase c;
  MaterialSet set;
  set.modelCode = 8;
  set.prop = c.prop;
  PointMatState pms;
  pms.G = c.G(100.0);
  pms.pc = 100.0;
  ElasticCall e{.set = &set, .k = &c.k, .model = 8, .pms = &pms, .sig0 = Iso(100.0)};
  auto bulk = [&](double dT) {
    e.dTime = dT;
    SoftSoilFamily().elasticMatrix(e);
    return (e.D[0][0] + 2.0 * e.D[0][1]) / 3.0;
  };
  EXPECT_NEAR(bulk(0.0), 100.0 / 0.02, 1e-6);
  EXPECT_NEAR(bulk(1e12), 100.0 / 0.1, 1e-6);
  EXPECT_NEAR(e.D[3][3] / e.D[0][0], 0.7 / 2.0 / 0.85, 1e-12);  // nu kept: G / (2G(1-nu)/(1-2nu))
}

}  // namespace
}  // namespace soilcal::models
