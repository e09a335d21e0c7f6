// Hoek-Brown rock (model 15) through the lab-test driver, against the
// generalised criterion sigma1 = sigma3 + sci (mb sigma3 / sci + s)^a.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "labtest/lab_records.hpp"
#include "models/setup.hpp"

namespace soilcal::testing {
namespace {

constexpr double kSci = 50000.0;  // 50 MPa in kN and m

// Rock mass of GSI 60, mi 10, D 0 (mb 2.3965, s 0.011744, a 0.50284).
std::unique_ptr<input::Job> RockJob(double tensionFactor = 0.0, double psiDeg = 0.0,
                                    double sigPsi = 0.0) {
  auto job = MakeJob(15, {.G = 2.0e6, .nu = 0.25, .sinPhi = 0.0, .c = 0.0, .sinPsi = 0.0});
  auto& p = job->material.params;
  const std::pair<int, double> slots[] = {
      {31, kSci}, {32, 10.0}, {33, 60.0}, {36, 0.0}, {41, tensionFactor}, {48, psiDeg},
      {49, sigPsi}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  return job;
}

models::PropSoil Completed(double mi, double gsi, double D) {
  models::MaterialSet set;
  set.modelCode = 15;
  set.prop[31] = kSci;
  set.prop[32] = mi;
  set.prop[33] = gsi;
  set.prop[36] = D;
  models::CopySoilProp(1, set, models::ModelConstants{});
  return set.prop;
}

double Strength(double s3) {
  const models::PropSoil p = Completed(10.0, 60.0, 0.0);
  return s3 + kSci * std::pow(p[45] * s3 / kSci + p[46], p[47]);
}

TEST(HoekBrownCompletion, GsiAndDisturbanceGiveTheTabulatedMbSA) {
  // Intact rock: mb = mi, s = 1, a = 1/2 exactly.
  const models::PropSoil intact = Completed(10.0, 100.0, 0.0);
  EXPECT_NEAR(intact[45], 10.0, 1e-12);
  EXPECT_NEAR(intact[46], 1.0, 1e-12);
  EXPECT_NEAR(intact[47], 0.5, 1e-12);
  EXPECT_NEAR(intact[58], kSci / 10.0, 1e-9);
  // GSI 50, D 0.5 (values of the 2002 edition of the criterion):
  // mb = mi e^(-50/21), s = e^(-50/7.5), a = 0.5 + (e^(-10/3) - e^(-20/3))/6.
  const models::PropSoil disturbed = Completed(10.0, 50.0, 0.5);
  EXPECT_NEAR(disturbed[45], 0.924625, 1e-6);
  EXPECT_NEAR(disturbed[46], 0.00127263, 1e-8);
  EXPECT_NEAR(disturbed[47], 0.505734, 1e-6);
  EXPECT_NEAR(disturbed[58], 0.00127263 * kSci / 0.924625, 1e-3);
  // Given values are kept; defaults of the tension factor and the
  // dilatancy confinement.
  models::MaterialSet set;
  set.modelCode = 15;
  const std::pair<int, double> propSlots[] = {
      {31, kSci}, {45, 4.0}, {46, 0.5}, {47, 0.6}, {41, 0.05}, {49, 300.0}};
  for (const auto& [slot, value] : propSlots) set.prop[slot] = value;
  models::CopySoilProp(1, set, models::ModelConstants{});
  const std::pair<int, double> completed[] = {
      {45, 4.0}, {46, 0.5}, {47, 0.6}, {41, 1.0}, {49, 1e10}, {58, 0.5 * kSci / 4.0}};
  for (const auto& [slot, value] : completed) EXPECT_EQ(set.prop[slot], value) << slot;
  // Once derived they count as given: completing again after mi and GSI
  // changed keeps them.
  set.prop = disturbed;
  set.prop[32] = 20.0;
  set.prop[33] = 80.0;
  models::CopySoilProp(1, set, models::ModelConstants{});
  for (int slot : {45, 46, 47}) EXPECT_EQ(set.prop[slot], disturbed[slot]) << slot;
}

TEST(HoekBrownLab, DrainedTriaxialPeaksOnTheCriterionAtEveryCellPressure) {
  auto job = RockJob();
  for (double s3 : {0.0, 500.0, 2000.0, 8000.0}) {
    const RunOutcome out = Simulate(*job, TriaxialCompression(15, -0.03, 100, 1e-7, s3));
    ASSERT_EQ(out.run.status, 0) << s3;
    const input::RecordedPoint last = out.ctx->rec.Point(101);
    // 1e-5: perfect plasticity, the solver's tolerance 1e-7 on the stresses.
    EXPECT_NEAR(-last.stress[1], Strength(s3), 1e-5 * Strength(s3)) << s3;
    EXPECT_NEAR(-last.stress[0], s3, 1e-3) << s3;
    // Still elastic early on: E = 5 GPa, 0.1 % strain gives 5 MPa deviator.
    const input::RecordedPoint early = out.ctx->rec.Point(4);
    EXPECT_NEAR(-(early.stress[1] - early.stress[0]), 5.0e6 * 0.0009, 1.0) << s3;
  }
}

TEST(HoekBrownLab, DilatancyFollowsPsiAndFadesWithConfinement) {
  // Plastic flow in triaxial compression with the potential
  // c1 - k c3, k = (1 + sin psi)/(1 - sin psi): d eps_v / d eps_1 = 1 - k
  // (compression positive), the classical Mohr-Coulomb result.
  const double sigPsi = 4000.0;
  auto job = RockJob(0.0, 10.0, sigPsi);
  auto rate = [&](double s3) {
    const RunOutcome out = Simulate(*job, TriaxialCompression(15, -0.03, 100, 1e-7, s3));
    EXPECT_EQ(out.run.status, 0);
    const input::RecordedPoint a = out.ctx->rec.Point(81), b = out.ctx->rec.Point(101);
    return (VolumetricStrain(b.strain) - VolumetricStrain(a.strain)) / (b.strain[1] - a.strain[1]);
  };
  auto expected = [](double psiDeg) {
    const double sp = std::sin(psiDeg * std::numbers::pi / 180.0);
    return 1.0 - (1.0 + sp) / (1.0 - sp);
  };
  // 1e-6: at constant stress the strain increments are plastic only.
  EXPECT_NEAR(rate(10.0), expected(10.0 * (1.0 - 10.0 / sigPsi)), 1e-6);
  EXPECT_NEAR(rate(0.5 * sigPsi), expected(5.0), 1e-6);
  EXPECT_NEAR(rate(sigPsi), 0.0, 1e-6);
}

TEST(HoekBrownLab, UniaxialTensionStopsAtTheTensileStrength) {
  const models::PropSoil p = Completed(10.0, 60.0, 0.0);
  const double st = p[46] * kSci / p[45];
  // A small cell pressure keeps the solver's relative out-of-balance
  // measure away from 0/0; then the sample is pulled.
  const Phase pull{100, {0, 0.0005, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const input::LabTest test = MakeTest(15, {-10, -10, -10, 0, 0, 0}, {pull});
  // Full tensile strength: the criterion itself meets sigma1 = 0 at
  // s sci / mb (1 - s/mb^2 + ...), 0.2 % below it for this rock, and
  // sigma1 = 10 kPa a little further on.
  const RunOutcome full = Simulate(*RockJob(), test);
  ASSERT_EQ(full.run.status, 0);
  const double reached = full.ctx->rec.Point(101).stress[1];
  EXPECT_NEAR(reached, st, 0.01 * st);
  EXPECT_NEAR(10.0 + reached - kSci * std::pow(-p[45] * reached / kSci + p[46], p[47]), 0.0,
              1e-6 * kSci);
  // Half of it by the tension factor: the cut-off holds exactly.
  const RunOutcome half = Simulate(*RockJob(0.5), test);
  ASSERT_EQ(half.run.status, 0);
  EXPECT_NEAR(half.ctx->rec.Point(101).stress[1], 0.5 * st, 1e-6 * st);
  EXPECT_NEAR(half.ctx->rec.Point(101).stress[0], -10.0, 1e-6 * st);
}

}  // namespace
}  // namespace soilcal::testing
