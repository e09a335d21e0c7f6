// The liquefaction curve of the UBC3D sand against the field curve: sands
// of the published correlations ((N1)60, phi_cv 33 degrees, nothing else
// given) in undrained cyclic simple shear from sigma'_v0 = 100 kPa.
//
//   soilcal_liquefaction_study                 the whole study
//   soilcal_liquefaction_study N160 K0 CSR STEPS [CYCLES] [fast|prescribed] [TOL] [F_EPOST] [F_DENS]
//                                              one test, its outcome (f_dens from
//                                              (N1)60 unless F_DENS is given)
//
// The study prints (1) CRR15, the cyclic stress ratio that liquefies in 15
// cycles (r_u 0.98 or 3 % single-amplitude shear strain), per (N1)60 and
// K0, beside the field curve of Idriss and Boulanger (2008) at M 7.5 and
// 1 atm, CRR = exp(N/14.1 + (N/126)^2 - (N/23.6)^3 + (N/25.4)^4 - 2.8);
// (2) the f_dens that brings the field CRR to 15 cycles; (3) the cycles to
// liquefaction per CSR; (4) the cycles to liquefaction at 10, 20, 40 and 80
// load steps per half cycle; (5) the single-amplitude shear strain of
// cyclic mobility beside the bound its dilatancy sets and its growth per
// cycle. `soilcal_liquefaction_study crr|fdens|cycles|steps|mobility`
// prints one part.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "models/ubc3d/ubc3d.hpp"
#include "tests/labtest/ubc3d_sand.hpp"

namespace {

using namespace soilcal;

constexpr int kMaxCycles = 40;
constexpr int kSteps = 20;

double FieldCrr(double n) {
  return std::exp(n / 14.1 + std::pow(n / 126.0, 2) - std::pow(n / 23.6, 3) +
                  std::pow(n / 25.4, 4) - 2.8);
}

testing::CyclicOutcome Run(double n160, double k0, double csr, int steps, int cycles,
                           double fDens = 0.0) {
  const auto job = testing::CorrelatedSandJob(n160, 1.0, fDens);
  testing::CyclicOutcome o = testing::CyclicSimpleShear(
      *job, k0, csr, cycles, steps, labtest::StepSolver::kPrescribed, true);
  // A load the sand cannot carry at all (a step that fails even in
  // sub-steps: the sample flows) counts as liquefied where it failed.
  if (o.status != 0) o.cycles = o.run.failure.time;
  return o;
}

// The lowest CSR that liquefies in 15 cycles: CSR from 0.04 up by a factor
// 1.2 until a test liquefies within 15 cycles (at most 1.2), then bisection
// of log CSR between it and the one before; -1 when none does.
double Crr15(double n160, double k0, double fDens = 0.0) {
  double lo = 0.04 / 1.2, hi = 0.04;
  while (Run(n160, k0, hi, kSteps, kMaxCycles, fDens).cycles > 15.0) {
    if (hi > 1.2) return -1.0;
    lo = hi;
    hi *= 1.2;
  }
  for (int k = 0; k < 8; ++k) {
    const double mid = std::sqrt(lo * hi);
    (Run(n160, k0, mid, kSteps, kMaxCycles, fDens).cycles <= 15.0 ? hi : lo) = mid;
  }
  return std::sqrt(lo * hi);
}

// The densification factor f_dens with which the field CRR liquefies in
// 15 cycles (K0 1), by bisection of log f_dens on [0.02, 4].
double FieldDensification(double n160, double field) {
  double lo = 0.02, hi = 4.0;
  for (int k = 0; k < 10; ++k) {
    const double mid = std::sqrt(lo * hi);
    (Run(n160, 1.0, field, kSteps, kMaxCycles, mid).cycles <= 15.0 ? lo : hi) = mid;
  }
  return std::sqrt(lo * hi);
}

std::string Cycles(const testing::CyclicOutcome& o, int most = kMaxCycles) {
  char buf[48];
  if (o.status != 0) {
    std::snprintf(buf, sizeof buf, "fail(%.1f)", o.run.failure.time);
  } else if (o.cycles < 1e8) {
    std::snprintf(buf, sizeof buf, "%.2f", o.cycles);
  } else {
    std::snprintf(buf, sizeof buf, ">%d", most);
  }
  return buf;
}

void CrrStudy() {
  const double sands[] = {5, 8, 15, 25};
  std::puts("CRR15: the CSR that liquefies in 15 cycles (20 steps per half cycle)");
  std::puts("(N1)60  field (I&B 2008)  K0=1    ratio   K0=0.5  ratio");
  for (const double n : sands) {
    const double field = FieldCrr(n);
    const double c1 = Crr15(n, 1.0), c05 = Crr15(n, 0.5);
    std::printf("%6.0f  %17.3f  %6.3f  %6.2f  %6.3f  %6.2f\n", n, field, c1, c1 / field, c05,
                c05 / field);
  }
}

void DensificationStudy() {
  std::puts("f_dens with which the field CRR liquefies in 15 cycles (K0 = 1)");
  for (const double n : {5.0, 8.0, 15.0, 25.0}) {
    std::printf("%6.0f  %6.3f\n", n, FieldDensification(n, FieldCrr(n)));
  }
}

void CyclesStudy() {
  const double sands[] = {5, 8, 15, 25};
  std::puts("\nCycles to liquefaction per CSR (K0 = 1, 20 steps per half cycle)");
  const double ratios[] = {0.06, 0.08, 0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6};
  std::printf("(N1)60");
  for (const double r : ratios) std::printf(" %9.2f", r);
  std::puts("");
  for (const double n : sands) {
    std::printf("%6.0f", n);
    for (const double r : ratios) std::printf(" %9s", Cycles(Run(n, 1.0, r, kSteps, kMaxCycles)).c_str());
    std::puts("");
  }
}

// Cycles to liquefaction at 10, 20, 40 and 80 steps per half cycle for
// each sand at 0.8, 1 and 1.25 times its field CRR (K0 1), and whether 20
// and 80 steps agree within 10 % or half a cycle.
void StepsStudy() {
  std::puts("\nSteps study: cycles to liquefaction at 10/20/40/80 steps per half cycle (K0 = 1)");
  for (const double n : {5.0, 8.0, 15.0, 25.0}) {
    for (const double share : {0.8, 1.0, 1.25}) {
      const double csr = share * FieldCrr(n);
      std::printf("(N1)60 %2.0f CSR %.3f:", n, csr);
      double c20 = 0.0, c80 = 0.0;
      for (const int steps : {10, 20, 40, 80}) {
        const testing::CyclicOutcome o = Run(n, 1.0, csr, steps, kMaxCycles);
        if (steps == 20) c20 = o.cycles;
        if (steps == 80) c80 = o.cycles;
        std::printf(" %9s", Cycles(o).c_str());
      }
      const bool same = (c20 > 1e8 && c80 > 1e8) ||
                        std::fabs(c20 - c80) <= std::max(0.1 * c80, 0.5);
      std::printf("   20 vs 80: %s\n", same ? "agree" : "DIFFER");
    }
  }
}

// Cyclic mobility, undrained: on the peak surface the plastic dilation
// sin(psi) d gamma_p raises p' by K sin(psi) d gamma_p with K = K_B^e pref
// (p'/pref)^0.5, so the climb from p' = 0 to p'max = tau / sin(phi_p) takes
// gamma = 2 sqrt(p'max) / (K_B^e sin(psi) sqrt(pref)), half of it (the
// bound) on each side of the cycle. The fabric divides the dilatancy by
// 1 + z/4 and grows by about p'max / p'0 each half cycle, so the
// single-amplitude strain grows by about bound p'max / (2 p'0) per cycle.
// Printed: the bound, that growth, the amplitude of the first cycle past
// r_u 0.9 and the measured growth per cycle after it (over 12 cycles,
// K0 1, 20 steps per half cycle), and the cycle that reaches 3 %.
void MobilityStudy() {
  std::puts("\nCyclic mobility: single-amplitude shear strain (%) against its dilatancy bound "
            "(K0 = 1)");
  std::puts("(N1)60   CSR  sin(psi)  bound  growth/cycle  first  measured/cycle  liquefied in");
  const double sinCv = std::sin(33.0 * std::acos(-1.0) / 180.0);
  struct Case {
    double n160, csr;
  };
  for (const Case c : {Case{15, 0.2}, Case{25, 0.25}, Case{25, 0.3}, Case{25, 0.4}}) {
    const models::ubc3d::Correlations k = models::ubc3d::CorrelationsOf(c.n160, 33.0);
    const double sinP = std::sin(k.phiP * std::acos(-1.0) / 180.0);
    const double pMax = 100.0 * c.csr / sinP;
    const double bound = 100.0 * std::sqrt(pMax) / (k.KBe * (sinP - sinCv) * 10.0);
    const auto job = testing::CorrelatedSandJob(c.n160);
    const testing::CyclicOutcome o = testing::CyclicSimpleShear(*job, 1.0, c.csr, 12, kSteps);
    double amplitude[13] = {}, ru[13] = {};
    for (int i = 1; i <= o.run.nRecorded; ++i) {
      const input::RecordedPoint p = o.ctx->rec.Point(i);
      const int cycle = std::clamp(static_cast<int>(std::ceil(p.time - 1e-9)), 1, 12);
      amplitude[cycle] = std::max(amplitude[cycle], 100.0 * std::fabs(p.strain[3]));
      ru[cycle] = std::max(ru[cycle], -p.pw / 100.0);
    }
    int first = 1;
    while (first < 12 && ru[first] < 0.9) ++first;
    const double measured = first < 12 ? (amplitude[12] - amplitude[first]) / (12 - first) : 0.0;
    std::printf("%6.0f  %4.2f  %8.4f  %5.2f  %12.3f  %5.2f  %14.3f  %12s\n", c.n160, c.csr,
                sinP - sinCv, bound, bound * pMax / 200.0, amplitude[first], measured,
                Cycles(o, 12).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as soon as it is known
  if (argc >= 5) {
    const int cycles = argc >= 6 ? std::atoi(argv[5]) : kMaxCycles;
    const bool fast = argc >= 7 && std::string(argv[6]) == "fast";
    const auto job = testing::CorrelatedSandJob(std::atof(argv[1]),
                                                argc >= 9 ? std::atof(argv[8]) : 1.0,
                                                argc >= 10 ? std::atof(argv[9]) : 0.0);
    const testing::CyclicOutcome o = testing::CyclicSimpleShear(
        *job, std::atof(argv[2]), std::atof(argv[3]), cycles, std::atoi(argv[4]),
        fast ? labtest::StepSolver::kFast : labtest::StepSolver::kPrescribed, false,
        argc >= 8 ? std::atof(argv[7]) : 0.0025);
    std::printf("status %d cycles %s by r_u %.3g by strain %.3g  max r_u %.4f max gamma %.4f "
                "sub-stepped %d re-solved %d\n",
                o.status, Cycles(o).c_str(), o.cyclesByRu, o.cyclesByStrain,
                o.run.liquefaction.maxRu, o.run.liquefaction.maxShearStrain,
                o.run.subSteppedSteps, o.run.resolvedSteps);
    std::fputs(labtest::DescribeRun(o.run, fast).c_str(), stdout);
    // SOILCAL_TRACE="FROM TO": every recorded point of cycles FROM to TO.
    if (const char* trace = std::getenv("SOILCAL_TRACE")) {
      double from = 0.0, to = 0.0;
      if (std::sscanf(trace, "%lf %lf", &from, &to) == 2) {
        std::puts("   cycle       p'      tau   gamma_xy (%)");
        for (int k = 1; k <= o.run.nRecorded; ++k) {
          const input::RecordedPoint p = o.ctx->rec.Point(k);
          if (p.time < from || p.time > to) continue;
          const double mean = -(p.stress[0] + p.stress[1] + p.stress[2]) / 3.0;
          std::printf("%8.3f  %7.3f  %7.3f  %8.4f\n", p.time, mean, p.stress[3],
                      100.0 * p.strain[3]);
        }
      }
    }
    // Per half cycle: the largest r_u and the largest shear strain.
    std::puts("half cycle  max r_u  max gamma_xy (%)");
    double ru = 0.0, gamma = 0.0;
    for (int k = 1; k <= o.run.nRecorded; ++k) {
      const input::RecordedPoint p = o.ctx->rec.Point(k);
      ru = std::max(ru, -p.pw / 100.0);
      gamma = std::max(gamma, 100.0 * std::fabs(p.strain[3]));
      const double half = 2.0 * p.time;
      if (std::fabs(half - std::round(half)) < 1e-9 && half > 0.5) {
        std::printf("%10.1f  %7.4f  %8.3f\n", p.time, ru, gamma);
        ru = gamma = 0.0;
      }
    }
    return 0;
  }
  const std::string part = argc == 2 ? argv[1] : "all";
  if (part == "all" || part == "crr") CrrStudy();
  if (part == "all" || part == "fdens") DensificationStudy();
  if (part == "all" || part == "cycles") CyclesStudy();
  if (part == "all" || part == "steps") StepsStudy();
  if (part == "all" || part == "mobility") MobilityStudy();
  return 0;
}
