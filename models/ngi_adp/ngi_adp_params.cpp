// Point constants of the NGI-ADP model: strengths at the point, the centre
// and radius of the peak surface, the shape of its pi-plane section and the
// peak plastic shear strains.
#include <algorithm>
#include <cmath>

#include "models/ngi_adp/ngi_adp.hpp"

namespace soilcal::models::ngi_adp {
namespace {

constexpr double kCos30 = 0.86602540378443864676;

// Shape factors just below 1: a factor of exactly 1 gives the sharp Tresca
// corner at the triaxial states, whose normal is undefined. 1 - 1e-6 moves
// the triaxial strength by 0.02 % and keeps the normal finite.
constexpr double kSharpest = 1.0 - 1e-6;

// Chebyshev polynomial T6(x) = cos(6 acos x), also for |x| > 1.
double T6(double x) {
  const double x2 = x * x;
  return ((32.0 * x2 - 48.0) * x2 + 18.0) * x2 - 1.0;
}

// Shape factor a1 of H(omega) = cos^2(acos(1 - 2 a1 omega)/6) for which the
// triaxial strength is `ratio` times that of plane strain (a1 = 1 Tresca,
// ratio 1; a1 = 0 a circle, ratio cos 30 deg). A ratio above 1 has no shape:
// it is reported by a value above 1, one below cos 30 deg by a negative one.
double ShapeFactor(double ratio) {
  if (!(ratio > 0.0)) return -1.0;
  const double x = kCos30 / ratio;  // cos of the Lode-angle offset beta
  if (x >= kCos30) return 0.5 * (1.0 - T6(x));
  return 2.0 - 0.5 * (1.0 - T6(x));
}

}  // namespace

Params MakeParams(const PropSoil& prop, double suA, double G) {
  Params p;
  p.suA = suA;
  p.suP = prop[36] * suA;
  p.suDSS = prop[37] * suA;
  const double ratioC = prop[44] != 0.0 ? prop[44] : 1.0;
  p.suCTX = ratioC * suA;
  p.tau0 = prop[41] * suA;
  p.G = G;
  p.radius = 0.5 * (p.suA + p.suP);
  p.tauC = 0.5 * (p.suA - p.suP);
  p.shearScale = p.suDSS > 0.0 ? p.radius / p.suDSS : 1.0;
  // Compression side: triaxial strength s_u^C,TX = r * radius + tauC with
  // r from the shape; the extension side keeps s_u^P in triaxial extension.
  p.a1 = p.radius > 0.0 ? ShapeFactor((p.suCTX - p.tauC) / p.radius) : -1.0;
  p.a1C = std::clamp(p.a1, 0.0, kSharpest);
  p.a1E = kSharpest;
  // Peak strains (percent) less the elastic shear strain from the initial
  // shear stress tau0 to the strength of each test.
  const double g = G > 0.0 ? G : 1.0;
  p.gpfC = prop[38] / 100.0 - (p.suCTX - p.tau0) / g;
  p.gpfE = prop[39] / 100.0 - (p.suP + p.tau0) / g;
  p.gpfDSS = prop[40] / 100.0 - p.suDSS / g;
  return p;
}

double Kappa(double xi) {
  if (xi >= 1.0) return 1.0;
  if (xi <= 0.0) return 0.0;
  return 2.0 * std::sqrt(xi) / (1.0 + xi);
}

double XiOfKappa(double kappa) {
  if (kappa >= 1.0) return 1.0;
  if (kappa <= 0.0) return 0.0;
  // kappa (1 + u^2) = 2u with u = sqrt(xi), the root below 1.
  const double u = kappa / (1.0 + std::sqrt(1.0 - kappa * kappa));
  return u * u;
}

}  // namespace soilcal::models::ngi_adp
