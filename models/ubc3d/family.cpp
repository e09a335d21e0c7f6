// The UBC3D sand family: model 34. Its elastic stiffness follows the mean
// stress (K_G^e, K_B^e and their exponents), so GenMat refreshes it before
// every load step and the step solver takes the family's own matrix.
#include <algorithm>
#include <cmath>

#include "models/family.hpp"
#include "models/principal.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::models {
namespace {

namespace ub = ubc3d;

constexpr int kModels[] = {34};

ub::PointState LoadState(const double* st) {
  ub::PointState s;
  s.sinMob = st[ub::kSinMob];
  s.direction = st[ub::kDirection];
  s.reversals = st[ub::kReversals];
  s.p0 = st[ub::kP0];
  s.liquefied = st[ub::kLiquefied];
  s.gammaP = st[ub::kGammaP];
  s.epsVp = st[ub::kEpsVp];
  s.dilation = st[ub::kDilation];
  s.reversalRatio = st[ub::kReversalRatio];
  s.reversalDilation = st[ub::kReversalDilation];
  s.fabric = st[ub::kFabric];
  return s;
}

void StoreState(const ub::PointState& s, double* st) {
  st[ub::kSinMob] = s.sinMob;
  st[ub::kDirection] = s.direction;
  st[ub::kReversals] = s.reversals;
  st[ub::kP0] = s.p0;
  st[ub::kLiquefied] = s.liquefied;
  st[ub::kGammaP] = s.gammaP;
  st[ub::kEpsVp] = s.epsVp;
  st[ub::kDilation] = s.dilation;
  st[ub::kReversalRatio] = s.reversalRatio;
  st[ub::kReversalDilation] = s.reversalDilation;
  st[ub::kFabric] = s.fabric;
}

void Stress(StressCall& call, ModelResources&) { ub::UBC_Sig(call); }

}  // namespace

namespace ubc3d {

// Largest change of the stress in one sub-increment of the return, as a
// fraction of the mean effective stress at its start: the moduli and the
// plastic modulus are taken at the start of each sub-increment, so their
// stress dependence is followed within a step and the result hardly depends
// on how large the load steps are (the explicit sub-stepping of Sloan 1987,
// at a fixed fraction instead of an error estimate). The error of taking
// the start moduli grows with the change of the stress the sand actually
// goes through, not with the elastic trial: a trial far outside the
// surface (the elastic-matrix iteration on a soft sand) may end close to
// where it started. So the count follows the change of one return of the
// whole increment, which is kept when that change is small enough (unless
// it ended at the apex or the tension cut-off).
constexpr double kSubIncrement = 0.01;
constexpr int kMaxSubIncrements = 100;

namespace {

int SubIncrements(const Vec6& change, double p) {
  double largest = 0.0;
  for (const double d : change) largest = std::max(largest, std::fabs(d));
  const double n = std::ceil(largest / (kSubIncrement * p));
  if (!(n > 1.0)) return 1;
  return n >= kMaxSubIncrements ? kMaxSubIncrements : static_cast<int>(n);
}

}  // namespace

// The stress routine of a point: the return in principal stresses in
// sub-increments of the step's strain, each with the moduli of its start
// stress, the state carried forward, the stress-dependence factors of the
// returned stress kept for the next step.
void UBC_Sig(StressCall& call) {
  const Params m = MakeParams(*call.prop, call.k ? *call.k : ModelConstants{});
  const bool hasState = call.nStat >= kStateVars && call.stVar0 != nullptr;
  PointState s;
  Moduli mod;
  if (hasState) {
    const double* st0 = call.stVar0 + kModelStateOffset;
    s = LoadState(st0);
    mod = ElasticModuliOfFactors(m, st0[kFactorG], st0[kFactorK]);
  } else {
    s.p0 = std::max(-MeanStress(call.sig0), m.pFloor);
    mod = ElasticModuli(m, call.sig0);
  }
  const double sinMob0 = s.sinMob;
  // The trial increment D de split into its volumetric and deviatoric
  // parts, which scale with K and G of each sub-increment.
  Vec6 dsig;
  for (int i = 0; i < 6; ++i) dsig[i] = call.sigE[i] - call.sig0[i];
  const double dMean = MeanStress(dsig);
  const double p0 = std::max(-MeanStress(call.sig0), m.pFloor);
  // The whole increment in one return; more sub-increments when the stress
  // it gives moves too far.
  const Principal whole = PrincipalStressDirections(call.sigE);
  Return r = ReturnUbc({-whole.s[0], -whole.s[1], -whole.s[2]}, p0, mod, m, s);
  Vec6 sig = r.area != 0 ? RebuildStress({-r.c[0], -r.c[1], -r.c[2]}, whole.dir) : call.sigE;
  Vec6 change;
  for (int i = 0; i < 6; ++i) change[i] = sig[i] - call.sig0[i];
  // A return to the apex or the cut-off says little about the path there:
  // the count of the trial then.
  const int n = SubIncrements(r.area == 2 || r.apex ? dsig : change, p0);
  int area = r.area;
  bool apex = r.apex;
  if (n == 1) {
    s = r.state;
    if (-MeanStress(sig) <= 0.2 * s.p0) s.liquefied = 1.0;
  } else {
    sig = call.sig0;
    area = 0;
    apex = false;
  }
  Moduli sub = mod;
  for (int k = 0; n > 1 && k < n; ++k) {
    if (k > 0) sub = ElasticModuli(m, sig);
    const double fK = sub.K / mod.K / n, fG = sub.G / mod.G / n;
    Vec6 trial;
    for (int i = 0; i < 6; ++i) {
      const double vol = i < 3 ? dMean : 0.0;
      trial[i] = sig[i] + fK * vol + fG * (dsig[i] - vol);
    }
    const double pStart = std::max(-MeanStress(sig), m.pFloor);
    const Principal tr = PrincipalStressDirections(trial);
    r = ReturnUbc({-tr.s[0], -tr.s[1], -tr.s[2]}, pStart, sub, m, s);
    sig = r.area != 0 ? RebuildStress({-r.c[0], -r.c[1], -r.c[2]}, tr.dir) : trial;
    if (r.area != 0) area = r.area;
    apex = apex || r.apex;
    s = r.state;
    // A point whose mean effective stress has fallen to a fifth of its
    // start value has liquefied; its dilative loading softens by f_Epost
    // from now.
    if (-MeanStress(sig) <= 0.2 * s.p0) s.liquefied = 1.0;
  }
  if (area != 0 || n > 1) call.sigC = sig;
  call.iArea = area;
  call.tension = area == 2;
  call.apex = apex;
  if (area != 0 && call.referenceStress) {
    const Principal q = PrincipalStressDirections(call.sigEQ);
    if (StressRatio({-q.s[0], -q.s[1], -q.s[2]}, m.a) <= sinMob0) call.iArea = -area;
  }
  if (!hasState) return;
  double* st = call.stVar + kModelStateOffset;
  StoreState(s, st);
  const Moduli next = ElasticModuli(m, call.sigC);
  st[kFactorG] = next.factorG;
  st[kFactorK] = next.factorK;
}

}  // namespace ubc3d

const ModelFamily& UbcSandFamily() {
  static const ModelFamily family{
      .name = "ubc3d",
      .models = kModels,
      .minStateVars = ub::kStateVars,
      .stressDependent = true,
      .copySoilProp = ub::CopySoilProp,
      .genMatShearModulus = ub::GenMatShearModulus,
      .initPoint = ub::InitPoint,
      .stress = Stress,
      .elasticMatrix = ub::ElasticMatrix,
  };
  return family;
}

}  // namespace soilcal::models
