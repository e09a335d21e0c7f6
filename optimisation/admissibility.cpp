// Admissibility of a parameter vector: the bounds, the general rules on
// Poisson's ratio, stiffness and porosity, and one rule per model.
#include <array>
#include <initializer_list>

#include "optimisation/objective.hpp"

namespace soilcal::optimisation {

namespace {

using Prop = models::PropSoil;

bool Between(double lo, double v, double hi) { return lo <= v && v <= hi; }

// Mohr-Coulomb: cohesion >= 0, friction > 0, dilatancy not above friction.
bool MohrCoulombRule(const Prop& p) { return p[4] >= 0 && p[3] > 0 && p[5] <= p[3]; }

bool MohrCoulombPowerRule(const Prop& p) {
  return MohrCoulombRule(p) && Between(0.0, p[34], 1.0);
}

// Soft-soil family (4, 5): K0nc, strength, kappa*/lambda* and power.
bool SoftSoilRule(const Prop& p) {
  return p[37] <= 1 && p[5] <= p[3] && p[3] > 0 && p[4] >= 0 &&
         (1 - p[3]) / (p[3] + 1) <= p[37] && p[38] <= p[39] && p[31] >= 0 &&
         Between(0.0, p[34], 1.0);
}

bool SoftSoilCreepRule(const Prop& p) { return SoftSoilRule(p) && p[40] >= 0; }

// Hardening Soil (6): E50ref within E/20..E/2 of the unloading stiffness
// E = 2 Gref (1 + nu); with friction also EOedRef, K0nc and M.
bool HardeningSoilRule(const Prop& p) {
  const double d = 2 * p[1] * (p[2] + 1);
  if (!(p[3] >= 0 && p[5] <= p[3] && p[4] >= 0 && p[40] <= 0.5 * d && d <= 20 * p[40])) {
    return false;
  }
  if (p[3] > 0) {
    if (!((1 - p[3]) / (p[3] + 1) <= p[39] && p[39] <= 1 &&
          Between(0.3333 * p[40], p[38], 2 * p[40]) && p[31] >= 0)) {
      return false;
    }
  }
  return Between(0.0, p[34], 1.0);
}

// Small-strain variant (19): G0ref at least Gref.
bool HardeningSoilSmallRule(const Prop& p) { return HardeningSoilRule(p) && p[49] >= p[1]; }

bool Model10Rule(const Prop& p) { return p[33] <= p[31]; }

// NGI-ADP (12, 35): G_ur/s_u^A positive.
bool NgiAdpRule(const Prop& p) { return p[31] >= 1e-15; }

bool JointedRockRule(const Prop& p) { return Between(1e-15, p[32], 0.49999) && p[34] >= 1e-15; }

// Rule of each reduced model number 0..35; nullptr means no further rule.
using Rule = bool (*)(const Prop&);
constexpr int kLastRuledModel = 35;

std::array<Rule, kLastRuledModel + 1> MakeRuleTable() {
  std::array<Rule, kLastRuledModel + 1> t{};
  auto set = [&t](std::initializer_list<int> models, Rule r) {
    for (int m : models) t[static_cast<std::size_t>(m)] = r;
  };
  set({2}, MohrCoulombRule);
  set({3}, MohrCoulombPowerRule);
  set({4, 5}, SoftSoilRule);
  set({6}, HardeningSoilRule);
  set({19}, HardeningSoilSmallRule);
  set({8}, SoftSoilCreepRule);
  set({10}, Model10Rule);
  set({12, 35}, NgiAdpRule);
  set({18}, JointedRockRule);
  return t;
}

const std::array<Rule, kLastRuledModel + 1> kRules = MakeRuleTable();

// Model 34 keeps its parameters in other slots; move them where the rules
// (and the model) read them.
void RemapModel34(Prop& p) {
  static constexpr std::array<int, 15> kFrom{38, 39, 40, 33, 34, 32, 35, 36,
                                             37, 45, 44, 41, 42, 31, 43};
  p[1] = 1.0;
  for (std::size_t k = 0; k < kFrom.size(); ++k) p[201 + static_cast<int>(k)] = p[kFrom[k]];
}

}  // namespace

bool IsAdmissibleParameterSet(const input::Job& job, const models::PropSoil& set1,
                              std::span<const double> x) {
  const auto& s = job.settings;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (x[j] < s.lower[j] || x[j] > s.upper[j]) return false;
  }
  Prop p = set1;
  for (std::size_t j = 0; j < x.size(); ++j) p[s.index[j]] = x[j];
  const int m = job.modelNumber % 100;
  if (m == 34) RemapModel34(p);
  if (p[2] > 0.49999 || p[2] < 0) return false;
  if (p[1] < 1e-15 && m != 33) return false;
  if (p[20] < 1e-15) return false;
  if (m < 0 || m > kLastRuledModel) return true;
  const Rule rule = kRules[static_cast<std::size_t>(m)];
  return rule == nullptr || rule(p);
}

}  // namespace soilcal::optimisation
