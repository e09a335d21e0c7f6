// Order of the returns of one Hardening Soil call: the shear branch (shear
// hardening, then Mohr-Coulomb with tension), the cap returns (cap alone,
// cap with shear hardening, cap with Mohr-Coulomb) and the apex check.
// Every return starts from the elastic trial stress, so the result is the
// simultaneous solution of its active surfaces, not a sequence of
// corrections.
#include <algorithm>
#include <cmath>

#include "models/hardening_soil/hs_active_set.hpp"
#include "models/hardening_soil/hs_return.hpp"
#include "services/diag.hpp"

namespace soilcal::models::hs {
namespace {

// Shear hardening alone, in the general mode and, when the order of the
// principal stresses is lost, once more on the edge it fell to.
bool ShearAlone(const CallContext& c, ReturnResult& r, int& mode) {
  mode = kModeGeneral;
  Label("call fric_only");
  if (!ShearReturn(ModeInput(c, mode), r)) return false;
  const int next = ModeOfOrder(r.sig);
  if (next == kModeGeneral) return true;
  mode = next;
  return ShearReturn(ModeInput(c, mode), r);
}

// Mohr-Coulomb with tension (and shear hardening where its flow differs
// from the planes'): the first active set whose multipliers are positive
// and whose result satisfies every other surface.
bool FailureReturn(const CallContext& c, double lamS, SetOutcome& out) {
  using M = Mech;
  static const ActiveSet kSets[] = {
      MakeSet({M::kM13}),          MakeSet({M::kShear, M::kT3}), MakeSet({M::kT3}),
      MakeSet({M::kM13, M::kM12}), MakeSet({M::kM13, M::kM23}),  MakeSet({M::kM13, M::kT3}),
      MakeSet({M::kShear, M::kT3, M::kT2}), MakeSet({M::kT3, M::kT2}),
      MakeSet({M::kM13, M::kM12, M::kT3}),  MakeSet({M::kM13, M::kM23, M::kT3}),
      MakeSet({M::kT1, M::kT2, M::kT3})};
  const char* label = "call mc_only";
  // On an edge the pair of planes that meet there comes first.
  const int edge = EdgeOfTrial(c.trial, c.m);
  if (edge != 0) {
    const ActiveSet pair[1] = {edge == kModeEdge23 ? MakeSet({M::kM13, M::kM12})
                                                   : MakeSet({M::kM13, M::kM23})};
    if (FirstAdmissible(c, pair, lamS, 0.0, label, false, out)) return true;
  }
  if (FirstAdmissible(c, kSets, lamS, 0.0, label, false, out)) return true;
  // Fallback: any corner of the planes, with the hardening surface taken
  // along through the returned stress.
  return FirstAdmissible(c, PlaneSubsets(false), lamS, 0.0, label, true, out);
}

void Take(const SetOutcome& o, PointReturn& pr) {
  pr.sig = o.r.sig;
  pr.state = o.r.state;
  pr.mode = o.mode;
  pr.tension = o.used.HasTension();
  pr.apex = o.used.Has(Mech::kT1) && o.used.Has(Mech::kT2) && o.used.Has(Mech::kT3);
}

// Mohr-Coulomb with tension alone, into `pr`; true when it ends on a
// failure plane.
bool FailureInto(const CallContext& c, double lamS, PointReturn& pr) {
  Label("call mct_only");
  SetOutcome o;
  if (!FailureReturn(c, lamS, o)) {
    if (services::Diag().on()) {
      services::Diag().Line("HS: no admissible Mohr-Coulomb/tension return");
    }
    return false;
  }
  Take(o, pr);
  return o.used.HasFailurePlane();
}

// What the shear branch found, which decides the order of the cap returns.
enum class ShearOutcome { kNone, kHardening, kFailure };

struct CapAttempts {
  const CallContext& c;
  bool shearRan;
  double lamS;
  double lamC = 0.0;
  SetOutcome out;
};

bool CapAlone(CapAttempts& a) {
  Label(a.shearRan ? "call Cap_only" : "call CO ");
  SetOptions opt;
  opt.guess = {a.lamC, 0.0, 0.0, 0.0};
  opt.edgeLabel = "call Cap_only 2";
  const bool ok = SetReturn(a.c, MakeSet({Mech::kCap}), opt, a.out);
  if (!ok && a.out.r.converged) a.lamC = a.out.r.lambda[0];
  return ok;
}

bool CapWithShear(CapAttempts& a) {
  if (a.c.start.gammaP >= 99999.0) return false;
  Label(a.shearRan ? "call F&C" : "call F&C3 ");
  SetOptions opt;
  opt.guess = {a.lamS, a.lamC, 0.0, 0.0};
  opt.edgeLabel = a.shearRan ? "call F&C" : "call F&C 4";
  if (SetReturn(a.c, MakeSet({Mech::kShear, Mech::kCap}), opt, a.out)) return true;
  // Both together lose the order towards an edge where the shear
  // multiplier would be negative: the cap alone on that edge.
  if (a.out.lostEdge == kModeGeneral) return false;
  SetOptions edge;
  edge.guess = {a.lamC, 0.0, 0.0, 0.0};
  edge.forcedEdge = a.out.lostEdge;
  return SetReturn(a.c, MakeSet({Mech::kCap}), edge, a.out);
}

bool CapWithFailure(CapAttempts& a) {
  using M = Mech;
  Label(a.shearRan ? "call C&M " : "call C&M 3");
  static const ActiveSet kWithFailure[] = {
      MakeSet({M::kCap, M::kM13}), MakeSet({M::kCap, M::kM13, M::kM12}),
      MakeSet({M::kCap, M::kM13, M::kM23}), MakeSet({M::kCap, M::kT3}),
      MakeSet({M::kCap, M::kM13, M::kT3})};
  return FirstAdmissible(a.c, kWithFailure, a.lamS, a.lamC,
                         a.shearRan ? "call C&M " : "call C&M4 ", false, a.out);
}

// The cap returns: cap alone, cap with shear hardening, cap with
// Mohr-Coulomb (and tension). The admissible one is the same whatever the
// order, so the order follows the shear branch: what it found active is
// tried first.
bool CapReturns(const CallContext& c, bool shearRan, double lamS, ShearOutcome outcome,
                PointReturn& pr) {
  CapAttempts a{c, shearRan, lamS, 0.0, SetOutcome{}};
  bool ok = false;
  switch (outcome) {
    case ShearOutcome::kFailure:
      ok = CapWithFailure(a) || CapAlone(a) || CapWithShear(a);
      break;
    case ShearOutcome::kHardening:
      ok = CapWithShear(a) || CapAlone(a) || CapWithFailure(a);
      break;
    default:
      ok = CapAlone(a) || CapWithShear(a) || CapWithFailure(a);
      break;
  }
  if (!ok) ok = FirstAdmissible(c, PlaneSubsets(true), lamS, a.lamC, "call C&M ", true, a.out);
  if (!ok) return false;
  Take(a.out, pr);
  pr.apex = false;
  return true;
}

void ApexCheck(const Material& m, PointReturn& pr) {
  const double p = (pr.sig[0] + pr.sig[1] + pr.sig[2]) / 3.0;
  if (m.sinPhi > 0.0 && p < -m.cCotPhi + 1e-10 * m.stressFloor) {
    pr.sig = {-m.cCotPhi, -m.cCotPhi, -m.cCotPhi};
    pr.tension = true;
    pr.apex = true;
  }
}

}  // namespace

PointReturn ReturnStress(const P3& trial, const Material& m, const Hardening& start) {
  const CallContext c{trial, m, start};
  PointReturn pr;
  pr.sig = trial;
  pr.state = start;
  double lamS = 0.0;
  ShearOutcome outcome = ShearOutcome::kNone;

  const bool capOn = m.H > 0.0;
  const ShearValue fe = Shear(trial, kModeGeneral, m);
  const bool hardens = start.gammaP < 99999.0 && (fe.f - start.gammaP > 0.0 || fe.beyond);
  const bool fails = (m.mcFailure && Fmc(trial, m) > 0.0) || trial[2] < m.sigT - 1e-10;
  bool capFirst = false;

  // Shear branch: hardening, then failure and tension.
  if (hardens || fails) {
    pr.shearBranch = true;
    if (hardens) {
      ReturnResult r;
      int mode = kModeGeneral;
      if (ShearAlone(c, r, mode)) {
        pr.sig = r.sig;
        pr.state = r.state;
        pr.mode = mode;
        lamS = r.lambda[0];
        outcome = ShearOutcome::kHardening;
      }
    }
    const bool beyond = (m.mcFailure && Fmc(pr.sig, m) > 1e-10 * m.stressFloor) ||
                        pr.sig[2] < m.sigT - 1e-10;
    // Beyond failure and beyond the cap after the hardening return, the
    // stress ends on both or on the cap: the failure return alone is only
    // needed when the cap returns find nothing.
    capFirst = beyond && capOn && CapSize(pr.sig, pr.mode, m) > start.pc;
    if (capFirst) {
      outcome = ShearOutcome::kFailure;
    } else if (beyond) {
      if (FailureInto(c, lamS, pr)) outcome = ShearOutcome::kFailure;
      ApexCheck(m, pr);
    }
  }

  // Cap.
  if (capOn && !pr.apex && (capFirst || CapSize(pr.sig, pr.mode, m) > start.pc * (1.0 + 1e-12))) {
    if (CapReturns(c, pr.shearBranch, lamS, outcome, pr)) {
      pr.capReturn = true;
    } else {
      if (capFirst) {
        FailureInto(c, lamS, pr);
        ApexCheck(m, pr);
      }
      if (CapSize(pr.sig, pr.mode, m) > start.pc * (1.0 + 1e-12)) {
        if (services::Diag().on()) services::Diag().Line("HS: no admissible cap return");
        pr.state.pc = std::max(pr.state.pc, CapSize(pr.sig, pr.mode, m));
      }
    }
  }
  ApexCheck(m, pr);
  return pr;
}

}  // namespace soilcal::models::hs
