// Zone selection and closed-form corrections of the Mohr-Coulomb return with
// tension cut-off. Plastic potentials have the form of the yield functions
// with sin(psi) in place of sin(phi); the multipliers of one or two active
// surfaces solve K lambda = f with K_ij = grad f_i . (D grad g_j).
#include <array>
#include <string>

#include "models/mohr_coulomb/mc_return.hpp"
#include "services/diag.hpp"

namespace soilcal::models::mohr_coulomb {
namespace {

using services::Diag;

constexpr double kElasticBound = 1e-12;
constexpr double kCheckBound = 1e-6;
constexpr double kReportBound = 0.001;

// Linear region functions of the trial principal stresses; their signs
// separate the return zones.
struct Regions {
  double hA, hB, hC, hD, hE, hF, hG, hH, hI, hJ;
};

Regions RegionFunctions(const Vec3& sig, const McParams& m, const McFunctions& f) {
  const double s = m.s, d = m.d, cc = m.cc, T = m.T, nu = m.nu;
  const double mm = 1.0 - 2.0 * nu;
  const double s1 = sig[0], s2 = sig[1], s3 = sig[2];
  const double r1 = s1 - Sigma1Star(m);
  const double sdm = s * d / mm;
  Regions h{};
  h.hA = 2.0 * (1.0 + d) * cc + (1.0 - s) * (1.0 + d) * s1 - (2.0 + 2.0 * sdm) * s2 +
         (1.0 - d - s + sdm * (1.0 + 2.0 * nu)) * s3;
  h.hB = (1.0 + d + s + sdm * (1.0 + 2.0 * nu)) * s1 - 2.0 * (1.0 - d) * cc -
         (2.0 + 2.0 * sdm) * s2 + (1.0 + s) * (1.0 - d) * s3;
  h.hC = (d + mm) * r1 - (d - mm) * f.FT3;
  h.hD = (1.0 - nu) * r1 - nu * f.FT3;
  h.hE = (1.0 - nu) * s1 - nu * s3 - mm * T;
  h.hF = (1.0 - nu) * s2 - nu * s3 - mm * T;
  h.hG = r1 - nu * (f.FT2 + f.FT3);
  h.hH = (mm - d) * (f.FT2 + f.FT3) + (mm + d * (1.0 + 2.0 * nu)) * r1;
  h.hI = (d + mm) * (s1 + s2 - 2.0 * Sigma1Star(m)) + (mm - d * (1.0 + 2.0 * nu)) * f.FT3;
  h.hJ = nu * (f.FT3 + r1) - f.FT2;
  return h;
}

int ZoneFromRegions(const McFunctions& fn, const Regions& h) {
  const double f = fn.F31;
  int zone = 0;
  if (f > 0.0 && h.hA >= 0.0 && h.hB < 0.0) zone = (h.hC < 0.0) ? 2 : 0;
  if (h.hB >= 0.0) {
    if (f > 0.0) {
      if (h.hI < 0.0) return 1;  // edge F31 = F32: no tension test needed
      zone = 8;
    }
    if (f > 0.0 && h.hA < 0.0) zone = (h.hH < 0.0) ? 3 : 7;
  } else if (f > 0.0 && h.hA < 0.0) {
    zone = (h.hH < 0.0) ? 3 : 7;
  }
  if (fn.FT3 <= kElasticBound) return zone;
  if (h.hD >= 0.0 && h.hF < 0.0 && h.hE < 0.0) zone = 4;
  if (h.hC >= 0.0 && h.hD < 0.0) {
    if (h.hJ > 0.0) {
      zone = 5;
    } else if (zone == 0) {
      zone = 7;
    }
  }
  if (h.hF >= 0.0) {
    if (h.hG >= 0.0) {
      zone = 6;
    } else if (zone == 0) {
      zone = 7;
    }
  }
  return zone;
}

void WarnNegative(const char* text, double lambda, int intGlo) {
  if (lambda < 0.0 && Diag().on()) Diag().Line(text, intGlo);
}

void WarnPair(const char* text, double a, double b) {
  if (!Diag().on()) return;
  const std::array<double, 2> v{a, b};
  Diag().Line(text, v);
}

// Stress changes per unit multiplier of the potential g31 on (s1, s2, s3).
struct ShearFlow {
  double a1, a2, a3;
};

ShearFlow FlowOfG31(const McParams& m) {
  const double dm = m.d / (1.0 - 2.0 * m.nu);
  return {m.G * (dm - 1.0), 2.0 * m.G * m.nu * dm, m.G * (1.0 + dm)};
}

// Corrections Delta (subtracted from s1, s2, s3) of zones 1 to 6.
Vec3 Corrections(int zone, const McFunctions& f, const Regions& h, const McParams& m,
                 int intGlo) {
  const double s = m.s, d = m.d, G = m.G, nu = m.nu;
  const double mm = 1.0 - 2.0 * nu;
  const double g2m = 2.0 * G / mm;
  const ShearFlow a = FlowOfG31(m);
  const double k11 = G * (1.0 + s * d / mm);
  switch (zone) {
    case 2: {
      const double lam = f.F31 / k11;
      WarnNegative(" WARNING: RLAM31 < 0  INTGLO", lam, intGlo);
      return {lam * a.a1, lam * a.a2, lam * a.a3};
    }
    case 1: {
      const double k12 = 0.5 * G * (1.0 + s + d + s * d * (1.0 + 2.0 * nu) / mm);
      const double det = k11 * k11 - k12 * k12;
      const double l31 = (f.F31 * k11 - f.F32 * k12) / det;
      const double l32 = (f.F32 * k11 - f.F31 * k12) / det;
      WarnNegative(" WARNING: RLAM31 < 0  INTGLO", l31, intGlo);
      WarnNegative(" WARNING: RLAM32 < 0  INTGLO", l32, intGlo);
      return {l31 * a.a1 + l32 * a.a2, l31 * a.a2 + l32 * a.a1, (l31 + l32) * a.a3};
    }
    case 3: {
      const double k13 = 0.5 * G * (1.0 - d - s + s * d * (1.0 + 2.0 * nu) / mm);
      const double det = k11 * k11 - k13 * k13;
      const double l31 = (f.F31 * k11 - f.F21 * k13) / det;
      const double l21 = (f.F21 * k11 - f.F31 * k13) / det;
      WarnNegative(" WARNING: RLAM31 < 0  INTGLO", l31, intGlo);
      WarnNegative(" WARNING: RLAM21 < 0  INTGLO", l21, intGlo);
      return {(l31 + l21) * a.a1, l31 * a.a2 + l21 * a.a3, l31 * a.a3 + l21 * a.a2};
    }
    case 4: {
      const double lam = f.FT3 / ((1.0 - nu) * g2m);
      if (lam < 0.0 && Diag().on()) {
        Diag().Line(" WARNING: RLAMT3 < 0  INTGLO", intGlo);
        WarnPair("FT3,RL3 = ", f.FT3, lam);
        WarnPair("G,vnui0 = ", G, nu);
      }
      return {nu * g2m * lam, nu * g2m * lam, (1.0 - nu) * g2m * lam};
    }
    case 5: {
      // Corner F31 = 0, s3 = T, in multipliers scaled by k = G / m.
      const double k = G / mm;
      const double a11 = s * d + mm, a12 = s + mm;
      const double a21 = d + mm, a22 = 2.0 * (1.0 - nu);
      const double det = a11 * a22 - a12 * a21;
      const double l31 = (f.F31 * a22 - a12 * f.FT3) / det / k;
      const double lt = (a11 * f.FT3 - a21 * f.F31) / det / k;
      WarnNegative(" WARNING: RLAM31 < 0  INTGLO", l31, intGlo);
      if (lt < 0.0 && Diag().on()) {
        Diag().Line(" WARNING: RLAMT3 < 0 (IA=5) INTGLO", intGlo);
        WarnPair("FT3,F31 = ", f.FT3, f.F31);
        WarnPair("A11,A12 = ", a11, a12);
        WarnPair("A21,A22 = ", a21, a22);
        WarnPair("HAB,HBA = ", h.hA, h.hB);
      }
      return {k * ((d - mm) * l31 + 2.0 * nu * lt), k * nu * (2.0 * d * l31 + 2.0 * lt),
              k * ((d + mm) * l31 + 2.0 * (1.0 - nu) * lt)};
    }
    case 6: {
      const double l2 = ((1.0 - nu) * f.FT2 - nu * f.FT3) / (2.0 * G);
      const double l3 = ((1.0 - nu) * f.FT3 - nu * f.FT2) / (2.0 * G);
      WarnNegative(" WARNING: RLAMT2 < 0  INTGLO", l2, intGlo);
      if (l3 < 0.0 && Diag().on()) {
        Diag().Line(" WARNING: RLAMT3 < 0 (IA=6) INTGLO", intGlo);
        WarnPair("FT2,FT3 = ", f.FT2, f.FT3);
        WarnPair("RL2,RL3 = ", l2, l3);
        WarnPair("A21,A22 = ", (1.0 - nu) / (2.0 * G), -nu / (2.0 * G));
        WarnPair("HA0,HAA0= ", h.hF, h.hG);
      }
      return {nu * g2m * (l2 + l3), g2m * ((1.0 - nu) * l2 + nu * l3),
              g2m * ((1.0 - nu) * l3 + nu * l2)};
    }
    default:
      return {0.0, 0.0, 0.0};
  }
}

void ReportResidual(const char* label, double value) {
  if (value > kReportBound) {
    Diag().Raw(std::string("  WARNING: ") + label + "=" + services::FormatReal(value) +
               " STILL >0");
  }
}

void FinalReport(const McReturn& r, const McParams& m) {
  const McFunctions f = YieldFunctions(r.sig, m);
  ReportResidual("F21", f.F21);
  ReportResidual("F32", f.F32);
  ReportResidual("F31", f.F31);
  ReportResidual("FT1", f.FT1);
  ReportResidual("FT2", f.FT2);
  ReportResidual("FT3", f.FT3);
  if (r.sig[1] > r.sig[2] + 0.01 || r.sig[0] - 0.01 > r.sig[1]) {
    Diag().Line(" WARNING: ASSUMPTION NOT CORRECT!");
    Diag().Line("  The original returning zone IAREA=", r.foundZone);
  }
}

}  // namespace

int FindReturnZone(const Vec3& sig, const McParams& m) {
  const McFunctions f = YieldFunctions(sig, m);
  return ZoneFromRegions(f, RegionFunctions(sig, m, f));
}

McReturn ReturnPrincipalStresses(const Vec3& sig, const McParams& m, int intGlo) {
  const McFunctions f = YieldFunctions(sig, m);
  const Regions h = RegionFunctions(sig, m, f);
  McReturn r;
  r.foundZone = ZoneFromRegions(f, h);
  r.zone = r.foundZone;
  r.sig = sig;
  const double s1s = Sigma1Star(m);

  switch (r.zone) {
    case 0:
      if (Diag().on()) {
        Diag().Line("WARNING: NO ACTIVE RETURN. AREA! INTGLO=", intGlo);
        WarnPair("F31,F32:", f.F31, f.F32);
        WarnPair("F21,FT3:", f.F21, f.FT3);
      }
      return r;
    case 7:
      r.sig = {s1s, m.T, m.T};
      break;
    case 8:
      r.sig = {s1s, s1s, m.T};
      break;
    default: {
      const Vec3 delta = Corrections(r.zone, f, h, m, intGlo);
      for (int i = 0; i < 3; ++i) r.sig[i] = sig[i] - delta[i];
      break;
    }
  }
  r.tension = r.zone >= 4;

  const McFunctions fc = YieldFunctions(r.sig, m);
  if (!fc.AllAtMost(kCheckBound)) {
    if (r.zone == 5 && fc.F32 > kCheckBound) {
      r.zone = 8;
      r.sig = {s1s, s1s, m.T};
    } else if (r.zone == 6 && fc.FT1 > kCheckBound) {
      r.zone = 9;
      r.sig = {m.T, m.T, m.T};
      r.apex = true;
      r.tension = false;
    } else if (Diag().on()) {
      Diag().Line(" WARNING: No correction is done!");
    }
  }
  if (Diag().on()) FinalReport(r, m);
  return r;
}

}  // namespace soilcal::models::mohr_coulomb
