// The UBC3D sand family: model 34. Its elastic stiffness follows the mean
// stress (K_G^e, K_B^e and their exponents), so GenMat refreshes it before
// every load step and the step solver takes the family's own matrix.
#include <algorithm>

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
}

void Stress(StressCall& call, ModelResources&) { ub::UBC_Sig(call); }

}  // namespace

namespace ubc3d {

// The stress routine of a point: the return in principal stresses with the
// moduli of the start of the step (those of the trial stress), the state
// carried forward, the stress-dependence factors of the returned stress
// kept for the next step.
void UBC_Sig(StressCall& call) {
  const Params m = MakeParams(*call.prop, call.k ? *call.k : ModelConstants{});
  const bool hasState = call.nStat >= kStateVars && call.stVar0 != nullptr;
  PointState s0;
  Moduli mod;
  if (hasState) {
    const double* st0 = call.stVar0 + kModelStateOffset;
    s0 = LoadState(st0);
    mod = ElasticModuliOfFactors(m, st0[kFactorG], st0[kFactorK]);
  } else {
    s0.p0 = std::max(-MeanStress(call.sig0), m.pFloor);
    mod = ElasticModuli(m, call.sig0);
  }
  const double p0Step = std::max(-MeanStress(call.sig0), m.pFloor);
  const Principal tr = PrincipalStressDirections(call.sigE);
  const Return r = ReturnUbc({-tr.s[0], -tr.s[1], -tr.s[2]}, p0Step, mod, m, s0);
  if (r.area != 0) call.sigC = RebuildStress({-r.c[0], -r.c[1], -r.c[2]}, tr.dir);
  call.iArea = r.area;
  call.tension = r.area == 2;
  call.apex = r.apex;
  if (r.area != 0 && call.referenceStress) {
    const Principal q = PrincipalStressDirections(call.sigEQ);
    if (StressRatio({-q.s[0], -q.s[1], -q.s[2]}, m.a) <= s0.sinMob) call.iArea = -r.area;
  }
  if (!hasState) return;
  PointState s = r.state;
  const double pEnd = -MeanStress(call.sigC);
  // A point whose mean effective stress has fallen to a fifth of its start
  // value has liquefied; its dilative loading softens by f_Epost from now.
  if (pEnd <= 0.2 * s.p0) s.liquefied = 1.0;
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
