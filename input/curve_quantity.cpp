// Quantity codes of the measured curves. Stresses tension positive, shear
// strains as engineering strains; principal values in ascending order
// (s1 the most compressive).
#include "input/curve_quantity.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "models/principal.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"

namespace soilcal::input {
namespace {

double Sq(double v) { return v * v; }

double VonMises(const Vec6& s) {
  return std::sqrt(0.5 * (Sq(s[0] - s[1]) + Sq(s[1] - s[2]) + Sq(s[2] - s[0]) +
                          6.0 * (Sq(s[3]) + Sq(s[4]) + Sq(s[5]))));
}

// sqrt((2/9) sum of squared normal-strain differences + (1/3) sum of squared
// tensor shear strains).
double StrainInvariant(const Vec6& e) {
  return std::sqrt(2.0 / 9.0 * (Sq(e[0] - e[1]) + Sq(e[1] - e[2]) + Sq(e[2] - e[0])) +
                   1.0 / 3.0 * (Sq(e[3] / 2.0) + Sq(e[4] / 2.0) + Sq(e[5] / 2.0)));
}

double Value(const RecordedPoint& p, int k) {
  const Vec6& s = p.stress;
  const Vec6& e = p.strain;
  switch (k) {
    case 1: return models::PrincipalStrains(e).s[0];
    case 2: return models::PrincipalStresses(s).s[0];
    case 3: return models::PrincipalStresses(s).s[1];
    case 4: return models::PrincipalStresses(s).s[2];
    case 5: {
      const Vec3 sp = models::PrincipalStresses(s).s;
      return std::abs(sp[0] - sp[2]);
    }
    case 6: return e[0] + e[1] + e[2];
    case 7: return p.pw;
    case 8: return (s[0] + s[1] + s[2]) / 3.0;
    case 9: return VonMises(s);
    case 10: return p.time;
    case 13: case 14: case 15: case 16: case 17: case 18: return e[static_cast<std::size_t>(k - 13)];
    case 19: case 20: case 21: case 22: case 23: case 24: return s[static_cast<std::size_t>(k - 19)];
    case 25: {
      const Vec3 sp = models::PrincipalStresses(s).s;
      return (sp[0] + sp[2]) / 2.0;
    }
    case 26: {
      const Vec3 sp = models::PrincipalStresses(s).s;
      return (sp[0] - sp[2]) / 2.0;
    }
    case 27: return models::PrincipalStrains(e).s[1];
    case 28: return models::PrincipalStrains(e).s[2];
    case 29: return -(s[0] - s[1]) / 2.0;
    case 30: return StrainInvariant(e);
    case 31: case 32: case 33: return p.pw + s[static_cast<std::size_t>(k - 31)];
    case 34: return p.pw + (s[0] + s[1] + s[2]) / 3.0;
    case 35: return (s[0] + s[1]) / 2.0;
    default: return 0.0;
  }
}

}  // namespace

bool IsKnownQuantity(int code) {
  const long long k = code < 0 ? -static_cast<long long>(code) : code;
  return (k >= 1 && k <= 10) || (k >= 13 && k <= 35);
}

double CurveQuantity(const RecordedPoint& point, int code) {
  if (!IsKnownQuantity(code)) {
    const std::string line = " ERROR: curve parameter " + std::to_string(code) + " does not exist\n";
    services::ConsoleWrite(services::ConsoleStream::kOut, line);
    services::StopWithError(services::kWrongMatParamInCurveFile,
                            "quantity code " + std::to_string(code) +
                                " of a curve file does not exist (codes 1-10 and 13-35, "
                                "negative for the negated value)");
  }
  const double value = Value(point, code < 0 ? -code : code);
  return code < 0 ? -value : value;
}

}  // namespace soilcal::input
