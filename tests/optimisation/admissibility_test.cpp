#include <gtest/gtest.h>

#include <vector>

#include "optimisation/objective.hpp"

namespace soilcal::optimisation {
namespace {

// One free parameter `slot` in [-1e6, 1e6] set to `value`, on a material that
// meets every rule: Mohr-Coulomb values, soft-soil values (K0nc 0.5 above
// (1 - sin phi)/(1 + sin phi) = 1/3, kappa* 0.01 <= lambda* 0.05) and
// Hardening Soil values with Gref 10000, nu 0.2, so E = 2 Gref (1 + nu) =
// 24000 and E50ref must lie in [E/20, E/2] = [1200, 12000].
struct Case {
  int model;
  int slot;
  double value;
  bool admissible;
};

bool Judge(const Case& c) {
  models::PropSoil p;
  const std::pair<int, double> slots[] = {
      {1, 10000.0}, {2, 0.2}, {3, 0.5}, {4, 1.0},  // 1: Gref; 2: nu; 3: sin(phi); 4: cohesion
      {20, 0.5}, {31, 0.5}, {32, 0.3}, {34, 0.5},  // 20: porosity; 31: M; 34: Powerm
      {37, 0.5}, {38, 6000.0},  // 37: K0nc (soft soil); 38: EOedRef, within [0.3333, 2] E50ref
      {39, 0.5}, {40, 6000.0}, {49, 30000.0}};  // 39: K0nc (Hardening Soil); 40: E50ref; 49: G0ref
  for (const auto& [slot, value] : slots) p[slot] = value;
  if (c.model % 100 == 4 || c.model % 100 == 5 || c.model % 100 == 8) {
    p[38] = 0.01;  // kappa*
    p[39] = 0.05;  // lambda*
  }
  input::Job job;
  job.modelNumber = c.model;
  job.settings = {1, 1, 0.0, {c.slot}, {-1e6}, {1e6}};
  const std::vector<double> x{c.value};
  return IsAdmissibleParameterSet(job, p, x);
}

TEST(Admissibility, GeneralAndPerModelRules) {
  const Case cases[] = {
      // Poisson's ratio up to 0.49999, not negative.
      {2, 2, 0.49999, true}, {2, 2, 0.5, false}, {2, 2, -0.001, false},
      // Gref below 1e-15: refused except for model 33; model 34 sets slot 1
      // to 1 before judging (also as variant 134).
      {2, 1, 0.0, false}, {133, 1, 0.0, true}, {34, 1, 0.0, true}, {134, 1, 0.0, true},
      {1, 1, 1e-15, true}, {40, 20, 0.0, false},
      // Mohr-Coulomb: sin(psi) <= sin(phi), sin(phi) > 0, c >= 0.
      {2, 5, 0.5, true}, {2, 5, 0.5001, false}, {2, 3, 0.0, false}, {2, 4, -1e-9, false},
      {3, 34, 1.0, true}, {3, 34, 1.01, false},
      // Models without a rule accept sin(phi) = 0.
      {1, 3, 0.0, true}, {7, 3, 0.0, true}, {25, 3, 0.0, true}, {0, 3, 0.0, true},
      {41, 3, 0.0, true},
      // Soft soil: K0nc in [1/3, 1], kappa* <= lambda*, M >= 0; model 8 also
      // slot 40 >= 0.
      {4, 37, 1.0, true}, {5, 37, 0.33, false}, {4, 38, 0.06, false}, {5, 31, -0.1, false},
      {4, 40, -1.0, true}, {8, 40, -1.0, false}, {8, 40, 0.0, true},
      // Hardening Soil: E50ref in [1200, 12000] and EOedRef = 6000 within
      // [0.3333, 2] E50ref, i.e. E50ref >= 3000; K0nc in [1/3, 1].
      {6, 40, 12000.0, true}, {6, 40, 12000.01, false}, {6, 40, 3000.0, true},
      {6, 40, 2500.0, false}, {6, 39, 1.0 / 3.0, true}, {6, 39, 1.01, false},
      {6, 31, -0.1, false}, {19, 34, 1.5, false},
      // Model 19 also G0ref >= Gref; model 6 ignores slot 49.
      {19, 49, 10000.0, true}, {19, 49, 9999.0, false}, {6, 49, 9999.0, true},
      // Model 10: slot 33 <= slot 31; 12 and 35: slot 31 >= 1e-15; 18: slot
      // 32 in [1e-15, 0.49999] and slot 34 >= 1e-15.
      {10, 33, 0.5, true}, {10, 33, 0.6, false}, {12, 31, 0.0, false}, {35, 31, 1e-15, true},
      {18, 32, 0.49999, true}, {18, 32, 0.5, false}, {18, 34, 0.0, false},
      // NGI-ADP judges slot 31 only; Hoek-Brown and Sekiguchi-Ohta have no
      // rule of their own, so values the completion replaces pass.
      {12, 33, -1.0, true}, {35, 28, 0.5, true}, {15, 33, 150.0, true}, {15, 36, 2.0, true},
      {31, 37, 0.0, true}, {32, 40, -1.0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Judge(c), c.admissible) << "model " << c.model << " slot " << c.slot << " = "
                                      << c.value;
  }
  // Without friction the Hardening Soil ratios of EOedRef, K0nc and M are
  // not applied: sin(phi) = 0 passes although K0nc = 0.5 < (1 - 0)/(1 + 0).
  EXPECT_TRUE(Judge({6, 3, 0.0, true}));
}

TEST(Admissibility, BoundsAreIncludedAndTheSetIsLeftUntouched) {
  models::PropSoil p;
  p[2] = 0.3;
  p[3] = 0.5;
  p[20] = 0.4;  // slot 1 (Gref) is 0: only x makes the set admissible
  input::Job job;
  job.modelNumber = 2;
  job.settings = {1, 1, 0.0, {1}, {1000.0}, {50000.0}};
  for (double x : {1000.0, 50000.0}) EXPECT_TRUE(IsAdmissibleParameterSet(job, p, std::vector{x}));
  for (double x : {999.999, 50000.001}) {
    EXPECT_FALSE(IsAdmissibleParameterSet(job, p, std::vector{x}));
  }
  EXPECT_EQ(p[1], 0.0);
}

}  // namespace
}  // namespace soilcal::optimisation
