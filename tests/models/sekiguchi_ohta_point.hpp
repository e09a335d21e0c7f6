// A single Sekiguchi-Ohta stress point (models 31 and 32) driven through
// MatSig by strain increments, as the stress-point loop would: the set
// completed, the point initialised on its surface, the shear modulus
// refreshed from the mean stress before every step. Tension positive.
#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "models/family.hpp"
#include "models/matsig.hpp"
#include "models/setup.hpp"

namespace soilcal::models::testing {

// A soft clay: M 1.2, K0nc 0.6, kappa* 0.02, lambda* 0.1, nu 0.2; for the
// viscid form alpha 0.004 and an initial strain rate of 1e-3 per time unit.
inline MaterialSet SoftClaySet(int model) {
  MaterialSet set;
  set.modelCode = model;
  const std::pair<int, double> propSlots[] = {
      {2, 0.2}, {20, 0.5}, {31, 1.2}, {37, 0.6}, {38, 0.02}, {39, 0.1}, {40, 0.004}, {41, 1e-3}};
  for (const auto& [slot, value] : propSlots) set.prop[slot] = value;
  return set;
}

struct SoPoint {
  MaterialSet set;
  ModelConstants k;
  const ModelFamily* family = nullptr;
  Vec6 sig{};
  Vec6 eps{};  // total strain
  double time = 0.0;
  int step = 0;
  std::vector<double> stVar0 = std::vector<double>(kStateCapacity, 0.0);
  std::vector<double> stVar = std::vector<double>(kStateCapacity, 0.0);
  ModelResources res;
  MatSigCounters counters;
  services::KernelMessageTexts texts;

  // Completion and initialisation of a point at the initial stress.
  SoPoint(const MaterialSet& s, const Vec6& initial) : set(s), sig(initial) {
    CopySoilProp(1, set, k);
    family = FindModelFamily(set.modelCode % 100);
    PointMatState pms;
    PointInitCall init{.prop = &set.prop, .k = &k, .model = set.modelCode % 100,
                       .modelCode = set.modelCode, .initialStress = initial, .pms = &pms,
                       .stVar = stVar0.data() + kModelStateOffset, .nStat = family->minStateVars};
    family->initPoint(init);
    pms.Store(stVar0.data() + kPointMatStatePos);
  }

  // MatSig for an increment from the committed state; `stVar` holds the
  // end state afterwards.
  MatSigOutput Try(const Vec6& dEps, double dTime) {
    PointMatState pms;
    pms.Load(stVar0.data() + kPointMatStatePos);
    pms.G = family->genMatShearModulus(
        {.prop = &set.prop, .k = &k, .model = set.modelCode % 100, .stress = sig});
    pms.Store(stVar0.data() + kPointMatStatePos);
    stVar = stVar0;
    MatSigInput in;
    in.model = set.modelCode % 100;
    in.set = &set;
    in.k = &k;
    in.family = family;
    in.D = IsotropicElasticMatrix(pms.G, set.prop[2]);
    in.dEps = dEps;
    in.sig0 = sig;
    in.stVar0 = stVar0.data();
    in.stVar = stVar.data();
    in.nStat = family->minStateVars;
    in.tol = 10.0;
    in.step = step + 1;
    in.time = time;
    in.dTime = dTime;
    MatSigOutput out;
    MatSig(in, res, out, counters, texts);
    return out;
  }

  // One accepted step: stress and state committed.
  MatSigOutput Step(const Vec6& dEps, double dTime = 0.0) {
    const MatSigOutput out = Try(dEps, dTime);
    sig = out.sigC;
    for (int i = 0; i < 6; ++i) eps[i] += dEps[i];
    stVar0 = stVar;
    time += dTime;
    ++step;
    return out;
  }

  // Oedometric step with the vertical (yy) stress held: the lateral strains
  // stay 0, the vertical strain is found by bisection (the vertical stress
  // rises monotonically with the vertical compression).
  MatSigOutput OedometricHold(double dTime) {
    const double target = sig[1];
    double lo = -1e-2, hi = 1e-3;  // compression, extension
    for (int it = 0; it < 100 && hi - lo > 1e-16; ++it) {
      const double mid = 0.5 * (lo + hi);
      (Try({0, mid, 0, 0, 0, 0}, dTime).sigC[1] < target ? lo : hi) = mid;
    }
    return Step({0, 0.5 * (lo + hi), 0, 0, 0, 0}, dTime);
  }
};

inline double MeanEffective(const Vec6& s) { return -(s[0] + s[1] + s[2]) / 3.0; }
inline double VolumetricCompression(const Vec6& e) { return -(e[0] + e[1] + e[2]); }

}  // namespace soilcal::models::testing
