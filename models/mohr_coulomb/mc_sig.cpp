#include "models/mohr_coulomb/mc_sig.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "models/mohr_coulomb/mc_return.hpp"
#include "models/principal.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using mohr_coulomb::McFunctions;
using mohr_coulomb::McParams;
using services::Diag;

constexpr double kElasticBound = 1e-12;
constexpr double kMaxSinPhi = 0.999;

bool DirectionsUnit(const Principal& pr) {
  bool ok = true;
  static constexpr const char* kLabels[3] = {"xN1 not unit length", "xN2 not unit length",
                                             "xN3 not unit length"};
  for (int i = 0; i < 3; ++i) {
    const Vec3& n = pr.dir[i];
    const double len2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (std::fabs(len2 - 1.0) > 0.01) {
      Diag().Line(kLabels[i], len2);
      ok = false;
    }
  }
  return ok;
}

// The reference stress is inside all three Mohr-Coulomb functions.
bool ReferenceElastic(const Vec6& sigEQ, const McParams& m, bool debug) {
  const Vec3 r = PrincipalStressDirections(sigEQ).s;
  const double f21 = 0.5 * std::fabs(r[1] - r[0]) + 0.5 * (r[1] + r[0]) * m.s - m.cc;
  const double f32 = 0.5 * std::fabs(r[2] - r[1]) + 0.5 * (r[2] + r[1]) * m.s - m.cc;
  const double f31 = 0.5 * std::fabs(r[2] - r[0]) + 0.5 * (r[2] + r[0]) * m.s - m.cc;
  if (debug) {
    const std::array<double, 3> ff{f21, f32, f31};
    Diag().Line("FFi ", ff);
  }
  return f21 <= kElasticBound && f32 <= kElasticBound && f31 <= kElasticBound;
}

void DebugDump(const StressCall& call, const Vec3& s, const Principal& tr) {
  Diag().Line("IArea ", call.iArea);
  Diag().Line("SigR123 : ", std::span<const double>(s));
  Diag().Line("xN1 : ", std::span<const double>(tr.dir[0]));
  Diag().Line("xN2 : ", std::span<const double>(tr.dir[1]));
  Diag().Line("xN3 : ", std::span<const double>(tr.dir[2]));
  Diag().Line("SigC : ", std::span<const double>(call.sigC));
}

}  // namespace

void MC_Sig(StressCall& call) {
  call.tension = false;
  call.apex = false;
  const bool debug = call.debug && Diag().on();

  Principal tr = PrincipalStressDirections(call.sigC);
  if (debug && !DirectionsUnit(tr)) tr = PrincipalStressDirections(call.sigC);

  if (call.SPhi > kMaxSinPhi) call.SPhi = kMaxSinPhi;
  const McParams m{call.SPhi, call.SPsi, call.CoheSi, call.Tens, call.G, call.nu};
  const McFunctions f = mohr_coulomb::YieldFunctions(tr.s, m);
  if (debug) {
    const std::array<double, 5> fi{f.F21, f.F32, f.F31, f.FT2, f.FT3};
    Diag().Line("Fi ", fi);
  }

  if (f.F31 <= kElasticBound && f.FT3 <= kElasticBound) {
    call.iArea = 0;
    return;
  }

  call.iArea = call.referenceStress && ReferenceElastic(call.sigEQ, m, debug) ? -1 : 1;

  const mohr_coulomb::McReturn r = mohr_coulomb::ReturnPrincipalStresses(tr.s, m, call.intGlo);
  if (r.zone >= 4) call.iArea = 2;
  call.tension = r.tension;
  call.apex = r.apex;

  call.sigC = RebuildStress(r.sig, tr.dir);

  const double halfDiff = 0.5 * (r.sig[2] - r.sig[0]);
  if (halfDiff <= -1e-6 && Diag().on()) Diag().Line(" TAUMAX IS NEGATIVE!!!");
  const double floor = call.k ? call.k->stressFloor : ModelConstants{}.stressFloor;
  call.tauMax = std::max({halfDiff, call.CoheSi, 0.5 * floor});

  if (debug) DebugDump(call, r.sig, tr);
}

}  // namespace soilcal::models
