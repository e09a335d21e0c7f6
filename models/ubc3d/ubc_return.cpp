// The stress return of the UBC3D sand in principal stresses (compression
// positive, c[0] >= c[1] >= c[2]): hardening loading on the Mohr-Coulomb
// surface (single surface, or the compression or extension corner),
// compaction on unloading, the tension cut-off and the apex.
#include <algorithm>
#include <cmath>

#include "models/root_finding.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::models::ubc3d {
namespace {

constexpr double kRatioTol = 1e-12;  // change of the stress ratio that counts
constexpr int kRootIterations = 200;

struct Elastic {
  double lam = 0.0, twoG = 0.0, K = 0.0;
  Vec3 Apply(const Vec3& g) const {
    const double tr = lam * (g[0] + g[1] + g[2]);
    return {tr + twoG * g[0], tr + twoG * g[1], tr + twoG * g[2]};
  }
};

// Plastic strain direction per unit of plastic shear strain: the shear of
// the Mohr-Coulomb surface through the major and minor stresses, with the
// share `wc` moved to the surface through the major and intermediate stresses
// (the compression corner) or the share `we` to the one through the
// intermediate and minor stresses (the extension corner), and the
// dilatancy -sin(psi) as an isotropic volumetric strain, the potential
// (s1 - s3)/2 - sin(psi) p'. Volume changes thus move the three principal
// stresses alike, whatever the shear plane.
Vec3 FlowDirection(double sinPsi, double wc, double we) {
  const double v = -sinPsi / 3.0;
  return {0.5 * (1.0 - we) + v, 0.5 * (we - wc) + v, -0.5 * (1.0 - wc) + v};
}

// Plastic modulus number of a loading after `reversals` turns.
double ModulusNumber(const Params& m, double reversals, bool liquefied) {
  double k = m.KGp;
  if (reversals >= 1.0) k *= (4.0 + 0.5 * reversals) * m.hard * m.fDens;
  // A liquefied point: its loading, contractive and dilative, takes the
  // modulus degraded by f_Epost. In cyclic mobility the dilative part sits
  // on the peak surface, where the strain follows the dilatancy and not
  // the modulus, so the degradation must reach the loading from the low
  // ratios of each reversal to change the strain per cycle.
  if (liquefied) k *= m.fEpost;
  return k;
}

// Scale A of the hardening rule d sin(phi_mob) = A (1 - Rf sin(phi_mob)/sin(phi_p))^2 d gamma_p.
double HardeningScale(const Params& m, double kp, double p) {
  return 1.5 * kp * std::pow(std::max(p, m.pFloor) / m.pref, m.np - 1.0);
}

// sin(phi_mob) after the plastic shear strain dg from s0: the hyperbolic
// rule integrated exactly at fixed A, up to sin(phi_p).
double Harden(double s0, double dg, double A, const Params& m) {
  if (s0 >= m.sinPhiP) return m.sinPhiP;
  const double rf = m.Rf / m.sinPhiP;
  if (rf < 1e-12) return std::min(s0 + A * dg, m.sinPhiP);
  const double inv = 1.0 / (1.0 - rf * s0) + A * rf * dg;
  return std::min((1.0 - 1.0 / inv) / rf, m.sinPhiP);
}

struct Loading {
  Vec3 c{};
  double sinMob = 0.0;
  double sinPsi = 0.0;
  double dGamma = 0.0;
  bool ok = false;
};

// The state after the plastic shear strain dg. Where the surface through
// the major and minor stresses alone would break their order, the flow
// shares with the neighbouring surface what keeps the two equal stresses
// equal (the corner of triaxial compression or extension); the share
// follows from the order condition in closed form, so the state changes
// continuously from the face into the corner.
Loading LoadingAt(const Vec3& tr, double dg, double s0, double A, double dilatancy,
                  const Params& m, const Elastic& de) {
  Loading l;
  l.dGamma = dg;
  l.sinMob = Harden(s0, dg, A, m);
  l.sinPsi = std::clamp(l.sinMob - m.sinPhiCv, -1.0, 1.0);
  if (l.sinPsi > 0.0) l.sinPsi *= dilatancy;
  const double G = 0.5 * de.twoG;
  double wc = 0.0, we = 0.0;
  if (dg > 0.0) {
    // c1 - c2 = (tr1 - tr2) - dg G (1 - 2 wc), and likewise c0 - c1 with we.
    wc = 0.5 * (1.0 - (tr[1] - tr[2]) / (dg * G));
    we = 0.5 * (1.0 - (tr[0] - tr[1]) / (dg * G));
    wc = std::clamp(wc, 0.0, 0.5);
    we = std::clamp(we, 0.0, 0.5);
    if (wc > 0.0 && we > 0.0) (wc >= we ? we : wc) = 0.0;
  }
  const Vec3 r = de.Apply(FlowDirection(l.sinPsi, wc, we));
  for (int i = 0; i < 3; ++i) l.c[i] = tr[i] - dg * r[i];
  if (wc > 0.0) l.c[1] = l.c[2];
  if (we > 0.0) l.c[1] = l.c[0];
  return l;
}

double YieldOf(const Loading& l, const Params& m) {
  return 0.5 * (l.c[0] - l.c[2]) - l.sinMob * (0.5 * (l.c[0] + l.c[2]) + m.a);
}

// Plastic loading: the plastic shear strain that puts the state on the
// hardened surface, by bracketing and bisection (the yield value falls as
// the plastic strain grows).
Loading ReturnLoading(const Vec3& tr, double s0, double A, double dilatancy, const Params& m,
                      const Elastic& de) {
  double lo = 0.0;
  double hi = std::max(0.5 * (tr[0] - tr[2]), m.pFloor) / de.twoG;
  Loading high = LoadingAt(tr, hi, s0, A, dilatancy, m, de);
  for (int k = 0; k < 200 && YieldOf(high, m) > 0.0; ++k) {
    lo = hi;
    hi *= 2.0;
    high = LoadingAt(tr, hi, s0, A, dilatancy, m, de);
  }
  const double fHigh = YieldOf(high, m);
  if (!(fHigh <= 0.0)) return Loading{};
  const double scale = std::max(0.5 * (tr[0] + tr[2]) + m.a, m.pFloor);
  auto yield = [&](double x) { return YieldOf(LoadingAt(tr, x, s0, A, dilatancy, m, de), m); };
  const double fLow = lo > 0.0 ? yield(lo) : YieldOf(LoadingAt(tr, 0.0, s0, A, dilatancy, m, de), m);
  const double x = FindFallingRoot(yield, lo, fLow, hi, fHigh, 1e-13 * scale, kRootIterations).x;
  Loading l = LoadingAt(tr, x, s0, A, dilatancy, m, de);
  l.ok = true;
  return l;
}

// Compaction while the stress ratio falls from s0: the isotropic plastic
// volumetric strain dv with dv = extra + (sin(phi_cv) + eta_mean) (s0 - eta(dv)) / H,
// eta(dv) the ratio after the mean stress fell by K dv (`extra`: dilation
// given back); solved by bisection (the left side grows with dv, the right
// side falls).
double Compaction(const Vec3& tr, double s0, double H, double extra, const Params& m,
                  const Elastic& de, double& etaEnd) {
  auto ratioAfter = [&](double dv) {
    const Vec3 c{tr[0] - de.K * dv, tr[1] - de.K * dv, tr[2] - de.K * dv};
    return StressRatio(c, m.a);
  };
  auto excess = [&](double dv) {
    const double eta = ratioAfter(dv);
    return dv - extra - (m.sinPhiCv + 0.5 * (s0 + eta)) * (s0 - eta) / H;
  };
  // Beyond hi the ratio would pass s0 or the minor stress would come
  // within the stress floor of the cut-off: compaction alone never takes
  // the sand to the apex, where no loading could dilate it back (a sample
  // at r_u 1 in triaxial extension then could not take another step).
  double hi = (tr[2] + m.tension - m.pFloor) / de.K;
  if (s0 > 0.0) {
    const double reach = (tr[0] + tr[2] + 2.0 * m.a - (tr[0] - tr[2]) / s0) / (2.0 * de.K);
    hi = std::min(hi, reach);
  }
  double lo = 0.0;
  if (!(hi > 0.0) || excess(0.0) >= 0.0) {
    etaEnd = ratioAfter(0.0);
    return 0.0;
  }
  const double top = excess(hi);
  if (top < 0.0) {
    lo = hi;  // compaction up to the bound
  } else {
    lo = FindFallingRoot([&](double x) { return -excess(x); }, 0.0, -excess(0.0), hi, -top,
                         1e-15 * std::max(hi, 1e-300), kRootIterations)
             .x;
  }
  etaEnd = ratioAfter(lo);
  return lo;
}

// Tension cut-off of the minor stress (and of the intermediate one with
// it), stretching them in their own directions; false when the state is
// still above the surface of sin(phi_mob) s.
bool ReturnTension(const Vec3& tr, double s, const Params& m, const Elastic& de, Vec3& c) {
  const double t = -m.tension;
  const double a = de.lam + de.twoG, b = de.lam;
  if (tr[1] >= t) {
    const double mu = (tr[2] - t) / a;
    c = {tr[0] - b * mu, tr[1] - b * mu, t};
  } else {
    const double d1 = tr[1] - t, d2 = tr[2] - t, det = a * a - b * b;
    const double mu1 = (a * d1 - b * d2) / det, mu2 = (a * d2 - b * d1) / det;
    c = {tr[0] - b * (mu1 + mu2), t, t};
  }
  return c[0] >= c[1] && StressRatio(c, m.a) <= s + 1e-12;
}

}  // namespace

Return ReturnUbc(const Vec3& tr, double p0Step, const Moduli& mod, const Params& m,
                 const PointState& s0) {
  Return r;
  r.c = tr;
  r.state = s0;
  const Elastic de{mod.K - 2.0 * mod.G / 3.0, 2.0 * mod.G, mod.K};
  const double apex = -std::min(m.tension, m.a);
  const double eta = StressRatio(tr, m.a);
  const bool liquefied = s0.liquefied > 0.5;

  // A trial state whose mean stress lies beyond the apex: the apex.
  if (tr[0] + tr[1] + tr[2] + 3.0 * m.a <= 0.0) {
    r.c = {apex, apex, apex};
    r.area = 2;
    r.apex = true;
    return r;
  }

  if (eta > s0.sinMob + kRatioTol) {
    // Loading: a turn from unloading counts as a reversal.
    if (s0.direction < 0.0) r.state.reversals += 1.0;
    r.state.direction = 1.0;
    const double kp = ModulusNumber(m, r.state.reversals, liquefied);
    const double A = HardeningScale(m, kp, p0Step);
    const double dilatancy = liquefied ? 1.0 / (1.0 + s0.fabric / m.fabricScale) : 1.0;
    const Loading l = ReturnLoading(tr, s0.sinMob, A, dilatancy, m, de);
    r.area = 1;
    if (l.ok) {
      r.c = l.c;
      r.state.sinMob = l.sinMob;
      r.state.gammaP += l.dGamma;
      r.state.epsVp -= l.dGamma * l.sinPsi;
      // A new loading builds its own dilation; what the last unloading did
      // not give back is kept.
      if (l.sinPsi > 0.0) r.state.dilation += l.dGamma * l.sinPsi;
      if (liquefied && l.sinPsi > 0.0) {
        r.state.fabric += de.K * l.dGamma * l.sinPsi / std::max(s0.p0, m.pFloor);
      }
    } else {
      r.state.sinMob = m.sinPhiP;
      r.c = {apex, apex, apex};
      r.apex = true;
    }
  } else if (eta < s0.sinMob - kRatioTol) {
    // Unloading: the surface follows the ratio down; the sand compacts.
    if (s0.direction > 0.0) {
      r.state.reversals += 1.0;
      r.state.reversalRatio = s0.sinMob;
      r.state.reversalDilation = s0.dilation;
    }
    r.state.direction = -1.0;
    const double kp = ModulusNumber(m, std::max(r.state.reversals, 1.0), false);
    const double rf = m.Rf * eta / m.sinPhiP;
    const double H = HardeningScale(m, kp, p0Step) * (1.0 - rf) * (1.0 - rf);
    double etaEnd = eta;
    // The stored dilation comes back in proportion to the fall of the
    // ratio, all of it once the ratio has fallen by sin(phi_cv) from the
    // reversal.
    const double span = std::max(m.sinPhiCv, 1e-3);
    const double fallen = std::clamp((r.state.reversalRatio - eta) / span, 0.0, 1.0);
    const double keep = r.state.reversalDilation * (1.0 - fallen);
    const double giveBack = std::max(r.state.dilation - keep, 0.0);
    const double dv = Compaction(tr, s0.sinMob, H, giveBack, m, de, etaEnd);
    r.state.dilation -= std::min(giveBack, dv);
    if (dv > 0.0) {
      for (double& ci : r.c) ci -= de.K * dv;
      r.area = 3;
      r.state.epsVp += dv;
    }
    r.state.sinMob = std::clamp(etaEnd, 0.0, m.sinPhiP);
  }

  if (r.c[2] < -m.tension) {
    Vec3 c;
    if (ReturnTension(tr, r.state.sinMob, m, de, c)) {
      r.c = c;
    } else {
      r.c = {apex, apex, apex};
      r.apex = true;
    }
    r.area = 2;
  }
  return r;
}

}  // namespace soilcal::models::ubc3d
