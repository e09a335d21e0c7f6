// A medium dense sand for the UBC3D sand model (model 34), kN and m:
// K_G^e 1000, K_B^e 700, K_G^p 300, ne = me = 0.5, np = 0.4, pref 100 kPa,
// phi_cv 33 and phi_p 36 degrees, Rf 0.8, f_dens and f_Epost 1, (N1)60 8
// (densification factor 0.5), no cohesion, no tensile strength.
#pragma once

#include <memory>

#include "input/cyclic_tests.hpp"
#include "labtest/lab_records.hpp"

namespace soilcal::testing {

struct UbcSand {
  double KGe = 1000.0, KBe = 700.0, KGp = 300.0;
  double ne = 0.5, me = 0.5, np = 0.4, pref = 100.0;
  double phiCv = 33.0, phiP = 36.0, Rf = 0.8, fDens = 1.0, fEpost = 1.0, n160 = 8.0;
  double c = 0.0, tension = 0.0;
};

// A job of `modelNumber` (34 drained, 234 undrained) made of the sand.
inline std::unique_ptr<input::Job> UbcSandJob(int modelNumber, const UbcSand& s = {}) {
  auto job = MakeJob(modelNumber, {.G = 1.0, .nu = 0.2, .sinPhi = 0.0, .c = s.c, .sinPsi = 0.0,
                                   .porosity = 0.4});
  const std::pair<int, double> slots[] = {
      {31, s.KGe}, {32, s.KBe},   {33, s.KGp},  {34, s.ne},    {35, s.pref},
      {36, s.me},  {37, s.np},    {38, s.phiCv}, {39, s.phiP}, {40, s.Rf},
      {41, s.fDens}, {42, s.fEpost}, {43, s.n160}, {44, s.tension}};
  for (const auto& [slot, value] : slots) job->material.params[slot] = value;
  return job;
}

// The lab-test record of a cyclic test description on the sand (undrained).
inline input::LabTest CyclicTest(const input::TestDescription& d, double tolerance = 0.0025) {
  input::LabTest t = MakeTest(234, {}, {}, tolerance, 200);
  input::ApplyDescription(d, 34, t);
  return t;
}

// A sand of the published correlations alone: (N1)60, phi_cv 33 degrees
// and pref 100 kPa given, every other parameter filled from (N1)60 (f_dens
// `fDens` when positive, f_Epost `fEpost`).
inline std::unique_ptr<input::Job> CorrelatedSandJob(double n160, double fEpost = 1.0,
                                                     double fDens = 0.0) {
  UbcSand s;
  s.fDens = fDens;
  s.KGe = s.KBe = s.KGp = 0.0;
  s.ne = s.me = s.np = 0.0;
  s.phiP = s.Rf = 0.0;
  s.n160 = n160;
  s.fEpost = fEpost;
  return UbcSandJob(234, s);
}

// Undrained cyclic simple shear from sigma'_v0 = 100 kPa: when the sample
// liquefied (the cycle where r_u reached 0.98 or the shear strain 3 %, the
// earlier of the two; 1e9 when neither), the run's status and its record.
struct CyclicOutcome {
  int status = 0;
  double cycles = 1e9, cyclesByRu = 1e9, cyclesByStrain = 1e9;
  labtest::LabTestRun run;
  std::unique_ptr<labtest::SimulationContext> ctx;
};
inline CyclicOutcome CyclicSimpleShear(const input::Job& job, double k0, double csr, int cycles,
                                       int stepsPerHalfCycle,
                                       labtest::StepSolver solver = labtest::StepSolver::kPrescribed,
                                       bool stopAtLiquefaction = false,
                                       double tolerance = 0.0025) {
  const input::LabTest test = CyclicTest(
      input::CyclicDirectSimpleShearAtRatio(100.0, k0, csr, cycles, stepsPerHalfCycle), tolerance);
  CyclicOutcome out;
  out.ctx = std::make_unique<labtest::SimulationContext>();
  labtest::InitContext(*out.ctx, job, {});
  out.ctx->stepSolver = solver;
  out.ctx->stopAtLiquefaction = stopAtLiquefaction;
  labtest::PrepareLabTest(*out.ctx, test);
  out.run = labtest::RunLabTest(*out.ctx);
  out.status = out.run.status;
  const labtest::LiquefactionWatch& w = out.run.liquefaction;
  if (w.pointByRu > 0) out.cyclesByRu = w.timeByRu;
  if (w.pointByStrain > 0) out.cyclesByStrain = w.timeByStrain;
  if (w.Liquefied()) out.cycles = w.Time();
  return out;
}

}  // namespace soilcal::testing
