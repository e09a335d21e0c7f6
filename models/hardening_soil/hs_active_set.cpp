#include "models/hardening_soil/hs_active_set.hpp"

#include <algorithm>
#include <cmath>

#include "services/diag.hpp"

namespace soilcal::models::hs {
namespace {

// On a failure plane the hardening surface passes through the stress:
// gamma_p becomes the hyperbola's value there when that is larger.
void HardenOnFailure(ReturnResult& r, const Material& m, const Hardening& start) {
  if (start.gammaP >= 99999.0) return;
  const ShearValue v = Shear(r.sig, kModeGeneral, m);
  if (!v.beyond) r.state.gammaP = std::max(r.state.gammaP, v.f);
}

// The strain that brings the pair of an edge together counts as plastic
// shear strain up to (s2 - s3)/(3G) (or (s1 - s2)/(3G)), as in the shear
// return: a cap return on an edge may take the hardening surface along that
// far, which keeps the cap return and the cap-with-shear return contiguous.
void CreditEdgeStrain(const ReturnInput& in, const Material& m, ReturnResult& r) {
  if (in.start.gammaP >= 99999.0) return;
  const ShearValue v = Shear(r.sig, in.mode, m);
  if (!v.beyond && v.f > r.state.gammaP && v.f <= in.start.gammaP + in.gammaExtra) {
    r.state.gammaP = v.f;
  }
}

struct SetList {
  std::array<ActiveSet, 41> sets{};
  int n = 0;
};

SetList BuildPlaneSubsets(bool withCap) {
  constexpr Mech kPlanes[] = {Mech::kM13, Mech::kM12, Mech::kM23, Mech::kT1, Mech::kT2, Mech::kT3};
  SetList list;
  for (int size = 1; size <= 3; ++size) {
    for (int mask = 1; mask < 64; ++mask) {
      if (__builtin_popcount(static_cast<unsigned>(mask)) != size) continue;
      ActiveSet set;
      if (withCap) set.mech[set.n++] = Mech::kCap;
      for (int i = 0; i < 6; ++i) {
        if (mask & (1 << i)) set.mech[set.n++] = kPlanes[i];
      }
      list.sets[static_cast<std::size_t>(list.n++)] = set;
    }
  }
  return list;
}

}  // namespace

ActiveSet MakeSet(std::initializer_list<Mech> list) {
  ActiveSet s;
  for (Mech k : list) s.mech[s.n++] = k;
  return s;
}

void Label(const char* text) {
  if (services::Diag().on() && text[0] != '\0') services::Diag().Line(text);
}

ReturnInput ModeInput(const CallContext& c, int mode) {
  ReturnInput in;
  in.trial = ProjectToMode(c.trial, mode);
  in.mode = mode;
  in.m = &c.m;
  in.start = c.start;
  if (mode == kModeEdge23) {
    in.gammaExtra = (c.trial[1] - c.trial[2]) / (3.0 * c.m.G);
    in.gammaRate = 1.0;
  } else if (mode == kModeEdge12) {
    in.gammaExtra = (c.trial[0] - c.trial[1]) / (3.0 * c.m.G);
    in.gammaRate = 1.0;
  }
  return in;
}

int ModeOfOrder(const P3& s) {
  if (s[2] > s[1]) return kModeEdge23;
  if (s[1] > s[0]) return kModeEdge12;
  return kModeGeneral;
}

int EdgeOfTrial(const P3& t, const Material& m) {
  const double tol = 1e-10 * std::max({std::fabs(t[0]), std::fabs(t[2]), m.stressFloor});
  if (t[1] - t[2] <= tol) return kModeEdge23;
  if (t[0] - t[1] <= tol) return kModeEdge12;
  return 0;
}

bool SetReturn(const CallContext& c, const ActiveSet& set, const SetOptions& opt,
               SetOutcome& out) {
  const bool follows = opt.shearFollows || set.HasFailurePlane();
  const bool modal = set.Has(Mech::kShear) || set.Has(Mech::kCap);
  const bool explicitEdge = set.Has(Mech::kM12) || set.Has(Mech::kM23) || set.Has(Mech::kT2);
  // A trial already on an edge (triaxial and oedometric paths) would lose
  // the order in the general form at once: it starts on its edge.
  int first = opt.forcedEdge;
  if (first == 0 && modal && !explicitEdge) first = EdgeOfTrial(c.trial, c.m);
  int modes[2] = {first != 0 ? first : kModeGeneral, 0};
  std::array<double, 4> seed = opt.guess;
  out.used = set;
  out.lostEdge = kModeGeneral;
  for (int k = 0; k < 2 && modes[k] != 0; ++k) {
    const ReturnInput in = ModeInput(c, modes[k]);
    ReturnResult r;
    const bool solved = SolveActiveSet(in, set, seed, r);
    if (solved) {
      if (follows) HardenOnFailure(r, c.m, c.start);
      if (modes[k] != kModeGeneral && !set.Has(Mech::kShear) && !follows) {
        CreditEdgeStrain(in, c.m, r);
      }
      out.r = r;
      seed = r.lambda;
      if (Admissible(in, set, r, false, !opt.shearFollows)) {
        out.mode = modes[k];
        return true;
      }
    }
    if (k == 0 && modes[0] == kModeGeneral && modal && !explicitEdge) {
      const int lost = solved ? ModeOfOrder(r.sig) : kModeGeneral;
      out.lostEdge = lost;
      if (solved && lost == kModeGeneral) break;
      const bool nearer23 = c.trial[1] - c.trial[2] <= c.trial[0] - c.trial[1];
      modes[1] = solved ? lost : (nearer23 ? kModeEdge23 : kModeEdge12);
      Label(opt.edgeLabel);
    }
  }
  return false;
}

bool FirstAdmissible(const CallContext& c, std::span<const ActiveSet> sets, double lamS,
                     double lamC, const char* label, bool shearFollows, SetOutcome& out) {
  for (const ActiveSet& set : sets) {
    if (!c.m.mcFailure && set.HasFailurePlane()) continue;
    if (set.Has(Mech::kShear) && c.start.gammaP >= 99999.0) continue;
    SetOptions opt;
    for (int i = 0; i < set.n; ++i) {
      if (set.mech[i] == Mech::kShear) opt.guess[i] = lamS;
      if (set.mech[i] == Mech::kCap) opt.guess[i] = lamC;
    }
    opt.edgeLabel = label;
    opt.shearFollows = shearFollows;
    if (SetReturn(c, set, opt, out)) return true;
  }
  return false;
}

std::span<const ActiveSet> PlaneSubsets(bool withCap) {
  static const SetList lists[2] = {BuildPlaneSubsets(false), BuildPlaneSubsets(true)};
  const SetList& l = lists[withCap ? 1 : 0];
  return {l.sets.data(), static_cast<std::size_t>(l.n)};
}

}  // namespace soilcal::models::hs
