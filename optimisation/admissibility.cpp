// Admissibility of a parameter vector: the bounds, the general rules on
// Poisson's ratio, stiffness and porosity, and one rule per model.
#include <array>
#include <initializer_list>

#include "optimisation/objective.hpp"

namespace soilcal::optimisation {

namespace {

using Prop = models::PropSoil;

bool Between(double lo, double v, double hi) { return lo <= v && v <= hi; }

// Each rule gives nullptr when it holds, else what it rejects, in words.
using Reason = const char*;

// Mohr-Coulomb: cohesion >= 0, friction > 0, dilatancy not above friction.
Reason MohrCoulombRule(const Prop& p) {
  if (!(p[4] >= 0)) return "negative cohesion";
  if (!(p[3] > 0)) return "sin phi not positive";
  if (!(p[5] <= p[3])) return "dilatancy angle above the friction angle";
  return nullptr;
}

Reason PowerRule(const Prop& p) {
  return Between(0.0, p[34], 1.0) ? nullptr : "stiffness power m outside 0..1";
}

Reason MohrCoulombPowerRule(const Prop& p) {
  if (Reason r = MohrCoulombRule(p)) return r;
  return PowerRule(p);
}

// Soft-soil family (4, 5): K0nc, strength, kappa*/lambda* and power.
Reason SoftSoilRule(const Prop& p) {
  if (!(p[37] <= 1)) return "K0nc above 1";
  if (!(p[5] <= p[3])) return "dilatancy angle above the friction angle";
  if (!(p[3] > 0)) return "sin phi not positive";
  if (!(p[4] >= 0)) return "negative cohesion";
  if (!((1 - p[3]) / (p[3] + 1) <= p[37])) return "K0nc below (1 - sin phi)/(1 + sin phi)";
  if (!(p[38] <= p[39])) return "kappa* above lambda*";
  if (!(p[31] >= 0)) return "negative M";
  return PowerRule(p);
}

Reason SoftSoilCreepRule(const Prop& p) {
  if (Reason r = SoftSoilRule(p)) return r;
  return p[40] >= 0 ? nullptr : "negative mu*";
}

// Hardening Soil (6): E50ref within E/20..E/2 of the unloading stiffness
// E = 2 Gref (1 + nu); with friction also EOedRef, K0nc and M.
Reason HardeningSoilRule(const Prop& p) {
  const double d = 2 * p[1] * (p[2] + 1);
  if (!(p[3] >= 0)) return "negative sin phi";
  if (!(p[5] <= p[3])) return "dilatancy angle above the friction angle";
  if (!(p[4] >= 0)) return "negative cohesion";
  if (!(p[40] <= 0.5 * d && d <= 20 * p[40])) return "E50ref outside Eur/20..Eur/2";
  if (p[3] > 0) {
    if (!((1 - p[3]) / (p[3] + 1) <= p[39] && p[39] <= 1)) {
      return "K0nc outside (1 - sin phi)/(1 + sin phi)..1";
    }
    if (!Between(0.3333 * p[40], p[38], 2 * p[40])) return "EOedRef outside E50ref/3..2 E50ref";
    if (!(p[31] >= 0)) return "negative cap parameter (slot 31)";
  }
  return PowerRule(p);
}

// Small-strain variant (19): G0ref at least Gref.
Reason HardeningSoilSmallRule(const Prop& p) {
  if (Reason r = HardeningSoilRule(p)) return r;
  return p[49] >= p[1] ? nullptr : "G0ref below Gref";
}

Reason Model10Rule(const Prop& p) { return p[33] <= p[31] ? nullptr : "slot 33 above slot 31"; }

Reason PositiveSlot31Rule(const Prop& p) { return p[31] >= 1e-15 ? nullptr : "slot 31 not positive"; }

Reason JointedRockRule(const Prop& p) {
  if (!Between(1e-15, p[32], 0.49999)) return "slot 32 outside 0..0.49999";
  return p[34] >= 1e-15 ? nullptr : "slot 34 not positive";
}

// Rule of each reduced model number 0..35; nullptr means no further rule.
using Rule = Reason (*)(const Prop&);
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
  set({12, 35}, PositiveSlot31Rule);
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

const char* InadmissibleReason(const input::Job& job, const models::PropSoil& set1,
                               std::span<const double> x) {
  const auto& s = job.settings;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (x[j] < s.lower[j] || x[j] > s.upper[j]) return "a free parameter outside its bounds";
  }
  Prop p = set1;
  for (std::size_t j = 0; j < x.size(); ++j) p[s.index[j]] = x[j];
  const int m = job.modelNumber % 100;
  if (m == 34) RemapModel34(p);
  if (p[2] > 0.49999 || p[2] < 0) return "Poisson's ratio outside 0..0.49999";
  if (p[1] < 1e-15 && m != 33) return "shear modulus Gref not positive";
  if (p[20] < 1e-15) return "initial porosity not positive";
  if (m < 0 || m > kLastRuledModel) return nullptr;
  const Rule rule = kRules[static_cast<std::size_t>(m)];
  return rule == nullptr ? nullptr : rule(p);
}

bool IsAdmissibleParameterSet(const input::Job& job, const models::PropSoil& set1,
                              std::span<const double> x) {
  return InadmissibleReason(job, set1, x) == nullptr;
}

}  // namespace soilcal::optimisation
