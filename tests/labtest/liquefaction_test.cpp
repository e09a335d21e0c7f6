// Liquefaction of the UBC3D sand (model 34) in undrained cyclic simple
// shear as soil mechanics, not as a step the solver gave up: the test runs
// through cyclic mobility to its last cycle, liquefaction is read by r_u
// 0.98 and by 3 % single-amplitude shear strain, the cycles to it hardly
// depend on the load steps, the curve of cycles against CSR falls
// monotonically, and the post-liquefaction factor f_Epost sets how fast
// the shear strain grows once the sand has liquefied.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "labtest/ubc3d_sand.hpp"
#include "optimisation/objective.hpp"
#include "services/run_services.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::testing {
namespace {

// Maximum shear strain of simple shear without lateral strain (eps_xx =
// eps_zz = 0): the principal strains of the xy plane differ by
// hypot(eps_yy, gamma_xy), and the third (0) lies between them.
double ShearStrainOf(const input::RecordedPoint& p) { return std::hypot(p.strain[1], p.strain[3]); }
double RuOf(const input::RecordedPoint& p) { return -p.pw / 100.0; }

TEST(Liquefaction, ByPorePressureAndByStrainBothReportedAndTheTestGoesOn) {
  // A loose sand ((N1)60 5, the published correlations), K0 1, CSR 0.1,
  // 15 cycles: the prescribed iteration alone stalls in cyclic mobility.
  const auto job = CorrelatedSandJob(5.0);
  const CyclicOutcome out = CyclicSimpleShear(*job, 1.0, 0.1, 15, 20);
  ASSERT_EQ(out.status, 0) << labtest::DescribeRun(out.run, false);
  EXPECT_EQ(out.run.nRecorded, 1 + 15 * 40);  // every step of every cycle
  EXPECT_GT(out.run.subSteppedSteps, 0);
  const labtest::LiquefactionWatch& w = out.run.liquefaction;
  ASSERT_GT(w.pointByRu, 1);
  ASSERT_GT(w.pointByStrain, 1);
  // Each reported point ends the first load step that met its criterion,
  // read back from the recorded pore pressure and strains; r_u is watched
  // within the step too, so its time may lie inside that step.
  const auto& rec = out.ctx->rec;
  EXPECT_LT(RuOf(rec.Point(w.pointByRu - 1)), 0.98);
  EXPECT_GE(RuOf(rec.Point(w.pointByRu)), 0.97);
  EXPECT_GE(w.maxRu, 0.98);
  EXPECT_GE(ShearStrainOf(rec.Point(w.pointByStrain)), 0.03 - 1e-12);
  EXPECT_LT(ShearStrainOf(rec.Point(w.pointByStrain - 1)), 0.03);
  for (int k = 1; k < std::min(w.pointByRu, w.pointByStrain); ++k) {
    EXPECT_LT(RuOf(rec.Point(k)), 0.98) << k;
  }
  EXPECT_GT(w.timeByRu, rec.Point(w.pointByRu - 1).time);
  EXPECT_LE(w.timeByRu, rec.Point(w.pointByRu).time + 1e-12);
  EXPECT_EQ(out.cycles, std::min(w.timeByRu, w.timeByStrain));
  // Undrained throughout: the volume is kept by the pore water.
  EXPECT_LT(std::fabs(VolumetricStrain(rec.Point(out.run.nRecorded).strain)), 1e-3);
  // Asked to stop: the same record up to the first criterion, then nothing.
  const CyclicOutcome stop =
      CyclicSimpleShear(*job, 1.0, 0.1, 15, 20, labtest::StepSolver::kPrescribed, true);
  ASSERT_EQ(stop.status, 0);
  EXPECT_TRUE(stop.run.stoppedAtLiquefaction);
  ASSERT_EQ(stop.run.nRecorded, w.Point());
  EXPECT_EQ(stop.ctx->rec.Point(w.Point()).stress, rec.Point(w.Point()).stress);
}

TEST(Liquefaction, ALoadAboveTheUndrainedStrengthEndsTheTestWithItsStateInWords) {
  // A loose sand whose peak friction angle is its constant-volume one
  // (33 degrees) under CSR 0.4: it contracts on the first loading and
  // cannot dilate on its peak surface, so its undrained strength lies
  // below 40 kPa and the first quarter cycle cannot be completed, whatever
  // the steps. Status 3 and a sentence with the cycle, r_u and the shear
  // strain where it stopped. (With the peak angle of the correlations,
  // 33.5 degrees, the same sand dilates on its peak surface and carries
  // the load after 12 % shear strain: it liquefies by strain instead.)
  auto job = CorrelatedSandJob(5.0);
  job->material.params[39] = 33.0;
  const CyclicOutcome o = CyclicSimpleShear(*job, 1.0, 0.4, 5, 20);
  ASSERT_EQ(o.status, 3);
  const labtest::StepFailure& f = o.run.failure;
  EXPECT_TRUE(f.subSteps);
  EXPECT_LT(f.time, 0.25);
  EXPECT_EQ(f.phase, 1);
  EXPECT_EQ(f.point, o.run.nRecorded + 1);
  // Where it stopped, the recorded shear stress is below the load asked for.
  const input::RecordedPoint last = o.ctx->rec.Point(o.run.nRecorded);
  EXPECT_LT(last.stress[3], 40.0);
  EXPECT_NEAR(f.ru, RuOf(last), 1e-12);
  const std::string text = labtest::DescribeRun(o.run, false);
  for (const char* part : {"did not converge", "cannot carry this load step", "r_u ",
                           "the test did not finish"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("--solver=fast"), std::string::npos) << text;
  // A search point there is refused for the load, not for the solver: the
  // fast iteration was tried already.
  {
    services::RunServices run;
    services::ServicesBinding binding(run);
    job->tests.push_back(
        CyclicTest(input::CyclicDirectSimpleShearAtRatio(100.0, 1.0, 0.4, 5, 20)));
    job->tests.back().testFile = "CDSS.VLT";
    labtest::SimulationContext ctx;
    labtest::InitContext(ctx, *job, {});
    const optimisation::Evaluation e = optimisation::EvaluateObjective(*job, ctx, {});
    EXPECT_EQ(e.status, 3);
    ASSERT_NE(e.reason, nullptr);
    EXPECT_NE(std::string(e.reason).find("above what the sample can carry"), std::string::npos)
        << e.reason;
    EXPECT_EQ(std::string(e.reason).find("--solver=fast"), std::string::npos) << e.reason;
  }
  // The sand of the correlations under the same load: 3 % in the first
  // quarter cycle, and the quarter cycle completed at 40 kPa.
  const auto dilating = CorrelatedSandJob(5.0);
  const CyclicOutcome flow = CyclicSimpleShear(*dilating, 1.0, 0.4, 1, 20);
  ASSERT_EQ(flow.status, 0) << labtest::DescribeRun(flow.run, false);
  EXPECT_LT(flow.cyclesByStrain, 0.25);
  EXPECT_NEAR(flow.ctx->rec.Point(11).stress[3], 40.0, 0.1);
  EXPECT_GT(ShearStrainOf(flow.ctx->rec.Point(11)), 0.1);
}

// The field curve of Idriss and Boulanger (2008), CRR at M 7.5 and 1 atm.
double FieldCrr(double n) {
  return std::exp(n / 14.1 + std::pow(n / 126.0, 2) - std::pow(n / 23.6, 3) +
                  std::pow(n / 25.4, 4) - 2.8);
}

// Cycles to liquefaction of the sand of the correlations (f_dens from
// (N1)60 too), K0 1, at most 40 cycles, stopped at liquefaction.
double CyclesTo(double n160, double csr, int steps) {
  const auto job = CorrelatedSandJob(n160);
  const CyclicOutcome o =
      CyclicSimpleShear(*job, 1.0, csr, 40, steps, labtest::StepSolver::kPrescribed, true);
  EXPECT_EQ(o.status, 0) << labtest::DescribeRun(o.run, false);
  return o.cycles;
}

TEST(Liquefaction, TheSandsOfTheCorrelationsLiquefyInFifteenCyclesNearTheFieldCurve) {
  // The CSR that liquefies in 15 cycles lies within 25 % of the field CRR:
  // at 0.8 times the field CRR the sand takes more than 15 cycles, at 1.25
  // times 15 or fewer. The dense sand ((N1)60 25) gets there only because
  // the lowest effective stress of each cycle is followed within the load
  // step: its r_u levels off just above 0.98 in cyclic mobility.
  for (const double n : {5.0, 8.0, 15.0, 25.0}) {
    SCOPED_TRACE(n);
    EXPECT_GT(CyclesTo(n, 0.8 * FieldCrr(n), 20), 15.0);
    EXPECT_LE(CyclesTo(n, 1.25 * FieldCrr(n), 20), 15.0);
  }
}

TEST(Liquefaction, CyclesToLiquefactionHardlyDependOnTheLoadSteps) {
  // 20 and 80 steps per half cycle: within 10 % or half a cycle, for every
  // sand at 0.8, 1 and 1.25 times its field CRR.
  struct Case {
    double n160, share;
  };
  for (const Case c : {Case{5, 1.0}, Case{5, 1.25}, Case{8, 1.0}, Case{8, 1.25}, Case{15, 1.0},
                       Case{15, 1.25}, Case{25, 0.8}, Case{25, 1.0}, Case{25, 1.25}}) {
    const double csr = c.share * FieldCrr(c.n160);
    SCOPED_TRACE(::testing::Message() << c.n160 << " " << csr);
    const double coarse = CyclesTo(c.n160, csr, 20), fine = CyclesTo(c.n160, csr, 80);
    ASSERT_LT(fine, 40.0);
    EXPECT_LE(std::fabs(coarse - fine), std::max(0.1 * fine, 0.5));
  }
  // At K0 0.5 the 3 % shear strain comes first, at the peak of a cycle,
  // and the strain of 20 steps at the step tolerance 0.0025 can put it a
  // whole cycle later ((N1)60 8, CSR 0.15: 10.75 against 9.75 cycles); at
  // the tolerance 0.0005 the two agree.
  const auto job = CorrelatedSandJob(8.0);
  const CyclicOutcome coarse = CyclicSimpleShear(*job, 0.5, 0.15, 30, 20,
                                                 labtest::StepSolver::kPrescribed, true, 0.0005);
  const CyclicOutcome fine = CyclicSimpleShear(*job, 0.5, 0.15, 30, 80,
                                               labtest::StepSolver::kPrescribed, true, 0.0005);
  ASSERT_LT(fine.cycles, 30.0);
  EXPECT_LE(std::fabs(coarse.cycles - fine.cycles), std::max(0.1 * fine.cycles, 0.5));
}

TEST(Liquefaction, LongAfterLiquefactionTheStrainsStillDoNotDependOnTheLoadSteps) {
  // (N1)60 8, K0 0.5, CSR 0.15 for 30 cycles at the step tolerance 0.0005:
  // 20 cycles after liquefaction the sand swings by more than 15 % shear
  // strain per half cycle, and at 20 steps per half cycle the turn to
  // dilative loading near zero effective stress asks several percent of
  // one step. It is carried in sub-steps that halve where they fail, and
  // the largest shear strain of cycles 20, 25 and 30 agrees within 2 %
  // with that of 80 steps per half cycle.
  const auto job = CorrelatedSandJob(8.0);
  const CyclicOutcome coarse = CyclicSimpleShear(*job, 0.5, 0.15, 30, 20,
                                                 labtest::StepSolver::kPrescribed, false, 0.0005);
  const CyclicOutcome fine = CyclicSimpleShear(*job, 0.5, 0.15, 30, 80,
                                               labtest::StepSolver::kPrescribed, false, 0.0005);
  ASSERT_EQ(coarse.status, 0) << labtest::DescribeRun(coarse.run, false);
  ASSERT_EQ(fine.status, 0) << labtest::DescribeRun(fine.run, false);
  EXPECT_GT(coarse.run.subSteppedSteps, 0);
  auto largest = [](const CyclicOutcome& o, double cycle) {
    double g = 0.0;
    for (int k = 1; k <= o.run.nRecorded; ++k) {
      const input::RecordedPoint p = o.ctx->rec.Point(k);
      if (p.time > cycle - 1.0 + 1e-9 && p.time <= cycle + 1e-9) g = std::max(g, ShearStrainOf(p));
    }
    return g;
  };
  for (const double cycle : {20.0, 25.0, 30.0}) {
    SCOPED_TRACE(cycle);
    const double g = largest(fine, cycle);
    EXPECT_GT(g, 0.15);
    EXPECT_NEAR(largest(coarse, cycle), g, 0.02 * g);
  }
}

TEST(Liquefaction, TheStrainOfCyclicMobilityGrowsCycleByCycleAsTheFabricDividesTheDilatancy) {
  // Undrained, the plastic dilation sin(psi) d gamma_p on the peak surface
  // raises p' by K sin(psi) d gamma_p, K = K_B^e pref (p'/pref)^0.5, so the
  // climb from p' = 0 to p'max = tau / sin(phi_p), which carries the cyclic
  // shear stress, takes gamma = 2 sqrt(p'max) / (K_B^e sin(psi) sqrt(pref)),
  // half of it (the bound b) on each side of the cycle. Each half cycle of
  // cyclic mobility adds about p'max / p'0 to the fabric z that divides
  // the dilatancy by 1 + z/4, so the single-amplitude strain grows by
  // about b p'max / (2 p'0) per cycle: steadily, whatever the plastic
  // modulus. From the first cycle past r_u 0.9, 12 cycles at K0 1: the
  // first amplitude lies within the bound, every later one grows by 0.75
  // to 1.25 times that closed form, and the dense sand ((N1)60 25,
  // sin(psi) 0.064), capped below 1.5 % without the fabric, passes 3 % at
  // CSR 0.4.
  struct Case {
    double n160, csr;
  };
  const double pref = 100.0, p0 = 100.0, sinCv = std::sin(33.0 * std::acos(-1.0) / 180.0);
  for (const Case c : {Case{25, 0.3}, Case{25, 0.4}, Case{15, 0.2}}) {
    SCOPED_TRACE(::testing::Message() << c.n160 << " " << c.csr);
    const models::ubc3d::Correlations k = models::ubc3d::CorrelationsOf(c.n160, 33.0);
    const double sinP = std::sin(k.phiP * std::acos(-1.0) / 180.0);
    const double pMax = 100.0 * c.csr / sinP;
    const double bound = std::sqrt(pMax) / (k.KBe * (sinP - sinCv) * std::sqrt(pref));
    const double growth = bound * pMax / (2.0 * p0);
    const auto job = CorrelatedSandJob(c.n160);
    const CyclicOutcome o = CyclicSimpleShear(*job, 1.0, c.csr, 12, 20);
    ASSERT_EQ(o.status, 0);
    std::vector<double> amplitude(13, 0.0), ru(13, 0.0);
    for (int i = 1; i <= o.run.nRecorded; ++i) {
      const input::RecordedPoint p = o.ctx->rec.Point(i);
      const int cycle = std::clamp(static_cast<int>(std::ceil(p.time - 1e-9)), 1, 12);
      amplitude[cycle] = std::max(amplitude[cycle], std::fabs(p.strain[3]));
      ru[cycle] = std::max(ru[cycle], RuOf(p));
    }
    int first = 1;
    while (first < 12 && ru[first] < 0.9) ++first;
    ASSERT_LT(first, 10);
    EXPECT_LE(amplitude[first], 1.02 * bound);
    for (int n = first + 1; n <= 12; ++n) {
      SCOPED_TRACE(n);
      EXPECT_GE(amplitude[n] - amplitude[n - 1], 0.75 * growth);
      EXPECT_LE(amplitude[n] - amplitude[n - 1], 1.25 * growth);
    }
    if (c.n160 > 20.0 && c.csr > 0.35) {
      EXPECT_GT(amplitude[12], 0.03);
      EXPECT_LT(bound, 0.015);  // what the dilatancy alone would allow
    }
  }
}

TEST(Liquefaction, CyclesFallMonotonicallyAsTheStressRatioRises) {
  // K0 1, 20 steps per half cycle, at most 40 cycles: every test
  // completes, and a higher CSR never takes more cycles, from below the
  // field CRR to loads that liquefy it within the first quarter cycle.
  struct Sand {
    double n160;
    std::vector<double> ratios;
  };
  const Sand sands[] = {{5, {0.07, 0.08, 0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.6}},
                       {8, {0.08, 0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.6}},
                       {15, {0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6}},
                       {25, {0.2, 0.22, 0.25, 0.3, 0.4, 0.5, 0.6}}};
  for (const Sand& sand : sands) {
    double previous = 1e9;
    int liquefied = 0;
    for (const double csr : sand.ratios) {
      SCOPED_TRACE(::testing::Message() << sand.n160 << " " << csr);
      const double cycles = CyclesTo(sand.n160, csr, 20);
      EXPECT_LE(cycles, previous);
      if (cycles < 1e8) ++liquefied;
      previous = cycles;
    }
    EXPECT_GE(liquefied, static_cast<int>(sand.ratios.size()) - 1) << sand.n160;
  }
}

}  // namespace
}  // namespace soilcal::testing

namespace soilcal::testing {
namespace {

// Undrained cyclic simple shear of the loose sand ((N1)60 8, K0 1, CSR
// 0.12) for 12 cycles with the post-liquefaction factor f_Epost.
CyclicOutcome PostLiquefaction(double fEpost) {
  const auto job = CorrelatedSandJob(8.0, fEpost);
  return CyclicSimpleShear(*job, 1.0, 0.12, 12, 20);
}

// Largest |gamma_xy| within the cycle that ends at time `end`.
double AmplitudeOfCycle(const CyclicOutcome& o, double end) {
  double largest = 0.0;
  for (int k = 1; k <= o.run.nRecorded; ++k) {
    const input::RecordedPoint p = o.ctx->rec.Point(k);
    if (p.time > end - 1.0 + 1e-9 && p.time <= end + 1e-9) {
      largest = std::max(largest, std::fabs(p.strain[3]));
    }
  }
  return largest;
}

TEST(Liquefaction, PostLiquefactionFactorActsOnlyOnceLiquefiedAndWidensTheStrainCycles) {
  const CyclicOutcome base = PostLiquefaction(1.0);
  const CyclicOutcome half = PostLiquefaction(0.5);
  const CyclicOutcome fifth = PostLiquefaction(0.2);
  for (const CyclicOutcome* o : {&base, &half, &fifth}) {
    ASSERT_EQ(o->status, 0);
    ASSERT_LT(o->cycles, 12.0);
  }
  // The first two cycles lie before liquefaction (r_u below 0.8): there
  // the three runs are the same to the bit.
  for (int k = 1; k <= 81; ++k) {
    ASSERT_LT(RuOf(base.ctx->rec.Point(k)), 0.8);
    EXPECT_EQ(half.ctx->rec.Point(k).strain, base.ctx->rec.Point(k).strain) << k;
    EXPECT_EQ(fifth.ctx->rec.Point(k).stress, base.ctx->rec.Point(k).stress) << k;
  }
  // After liquefaction the single-amplitude shear strain of a cycle grows
  // as f_Epost falls: in each of the last three cycles, by at least 1 %
  // of it from 1 to 0.5 and from 0.5 to 0.2.
  for (const double end : {10.0, 11.0, 12.0}) {
    SCOPED_TRACE(end);
    const double g1 = AmplitudeOfCycle(base, end), g05 = AmplitudeOfCycle(half, end),
                 g02 = AmplitudeOfCycle(fifth, end);
    EXPECT_GT(g1, 0.03);
    EXPECT_GT(g05, 1.01 * g1);
    EXPECT_GT(g02, 1.01 * g05);
  }
}

// Golden-section search for the least of `misfit` on [lo, hi]: the point
// and its misfit after `iterations` narrowings.
std::pair<double, double> GoldenSectionMinimum(const std::function<double(double)>& misfit,
                                               double lo, double hi, int iterations) {
  const double golden = 0.5 * (std::sqrt(5.0) - 1.0);
  double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
  double f1 = misfit(x1), f2 = misfit(x2);
  for (int it = 0; it < iterations; ++it) {
    if (f1 < f2) {
      hi = x2;
      x2 = x1;
      f2 = f1;
      x1 = hi - golden * (hi - lo);
      f1 = misfit(x1);
    } else {
      lo = x1;
      x1 = x2;
      f1 = f2;
      x2 = lo + golden * (hi - lo);
      f2 = misfit(x2);
    }
  }
  return f1 < f2 ? std::pair{x1, f1} : std::pair{x2, f2};
}

// Summed squared misfit of r_u and gamma_xy (in percent) over the points of
// `measured`; 1e30 when `o` did not finish.
double RuAndStrainMisfit(const CyclicOutcome& o, const CyclicOutcome& measured) {
  if (o.status != 0) return 1e30;
  double sum = 0.0;
  for (int k = 1; k <= measured.run.nRecorded; ++k) {
    const input::RecordedPoint a = o.ctx->rec.Point(k), b = measured.ctx->rec.Point(k);
    sum += std::pow(RuOf(a) - RuOf(b), 2) + std::pow(100.0 * (a.strain[3] - b.strain[3]), 2);
  }
  return sum;
}

TEST(Liquefaction, CalibrationOnRuAndShearStrainRecoversThePostLiquefactionFactor) {
  // Synthetic measurements at f_Epost 0.3: r_u and gamma_xy of every
  // recorded point. A golden-section search of f_Epost on [0.1, 1] over
  // the summed squared misfit of both (gamma in percent) finds it within
  // 10 %.
  const CyclicOutcome measured = PostLiquefaction(0.3);
  ASSERT_EQ(measured.status, 0);
  auto misfit = [&](double f) { return RuAndStrainMisfit(PostLiquefaction(f), measured); };
  const auto [found, least] = GoldenSectionMinimum(misfit, 0.1, 1.0, 12);
  EXPECT_NEAR(found, 0.3, 0.03);
  // The misfit is worth searching: 0.2 and 0.5 are both clearly worse.
  EXPECT_GT(misfit(0.2), 10.0 * least + 1e-12);
  EXPECT_GT(misfit(0.5), 10.0 * least + 1e-12);
}

// Undrained cyclic simple shear of the dense sand ((N1)60 25, K0 1, CSR
// 0.4) for 12 cycles with the fabric scale z_f.
CyclicOutcome DenseWithFabricScale(double zf) {
  auto job = CorrelatedSandJob(25.0);
  job->material.params[45] = zf;
  return CyclicSimpleShear(*job, 1.0, 0.4, 12, 20);
}

TEST(Liquefaction, TheFabricScaleSetsHowFastTheStrainOfCyclicMobilityGrowsAndIsCalibrated) {
  // The single-amplitude strain grows per cycle by about
  // bound 2 p'max / (z_f p'0): halving z_f doubles the growth. Measured
  // over cycles 6 to 12 (well in cyclic mobility at every scale), the
  // ratio of the growths at z_f 2 and 4, and at 4 and 8, lies within 1.5
  // to 2.5.
  auto growth = [](const CyclicOutcome& o) {
    double at6 = 0.0, at12 = 0.0;
    for (int k = 1; k <= o.run.nRecorded; ++k) {
      const input::RecordedPoint p = o.ctx->rec.Point(k);
      if (p.time > 5.0 + 1e-9 && p.time <= 6.0 + 1e-9) at6 = std::max(at6, ShearStrainOf(p));
      if (p.time > 11.0 + 1e-9) at12 = std::max(at12, ShearStrainOf(p));
    }
    return (at12 - at6) / 6.0;
  };
  const CyclicOutcome two = DenseWithFabricScale(2.0), four = DenseWithFabricScale(4.0),
                      eight = DenseWithFabricScale(8.0), unset = DenseWithFabricScale(0.0);
  for (const CyclicOutcome* o : {&two, &four, &eight, &unset}) ASSERT_EQ(o->status, 0);
  EXPECT_GT(growth(two) / growth(four), 1.5);
  EXPECT_LT(growth(two) / growth(four), 2.5);
  EXPECT_GT(growth(four) / growth(eight), 1.5);
  EXPECT_LT(growth(four) / growth(eight), 2.5);
  // Not given, it is 4.
  const int last = four.run.nRecorded;
  EXPECT_EQ(unset.ctx->rec.Point(last).strain, four.ctx->rec.Point(last).strain);
  // Synthetic measurements at z_f 6: a golden-section search on [2, 16]
  // over r_u and gamma finds it within 10 %.
  const CyclicOutcome measured = DenseWithFabricScale(6.0);
  auto misfit = [&](double zf) { return RuAndStrainMisfit(DenseWithFabricScale(zf), measured); };
  const auto [found, least] = GoldenSectionMinimum(misfit, 2.0, 16.0, 12);
  EXPECT_NEAR(found, 6.0, 0.6);
  EXPECT_GT(misfit(4.0), 10.0 * least + 1e-12);
}

}  // namespace
}  // namespace soilcal::testing
