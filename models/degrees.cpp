// The sine of degrees in double-long-double arithmetic (a value is hi + lo,
// |lo| at most half an ulp of hi, about 128 bits): the result lies far
// closer to the exact sine than a double can resolve, and is rounded once.
#include "models/degrees.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace soilcal::models {
namespace {

using Ld = long double;

struct Wide {
  Ld hi = 0.0L;
  Ld lo = 0.0L;
};

// pi/180 as hi + lo (each rounded to long double).
constexpr Wide kRadiansPerDegree{0x8efa351294e9c8aep-69L, 0xec5f66e9485c4d90p-137L};

Wide QuickTwoSum(Ld a, Ld b) {
  const Ld s = a + b;
  return {s, b - (s - a)};
}

Wide Add(Wide a, Wide b) {
  const Ld s = a.hi + b.hi;
  const Ld v = s - a.hi;
  const Ld e = (a.hi - (s - v)) + (b.hi - v);
  return QuickTwoSum(s, e + a.lo + b.lo);
}

// Veltkamp's split of a long double into two halves whose products are
// exact, and Dekker's exact product a * b = p + e built on it.
constexpr Ld kSplitter =
    static_cast<Ld>(1ULL << ((std::numeric_limits<Ld>::digits + 1) / 2)) + 1.0L;

Wide Split(Ld a) {
  const Ld t = kSplitter * a;
  const Ld hi = t - (t - a);
  return {hi, a - hi};
}

Wide TwoProduct(Ld a, Ld b) {
  const Ld p = a * b;
  const Wide x = Split(a);
  const Wide y = Split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Wide Mul(Wide a, Wide b) {
  const Wide p = TwoProduct(a.hi, b.hi);
  return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Wide Negate(Wide a) { return {-a.hi, -a.lo}; }

Wide DivideBy(Wide a, Ld n) {
  const Ld q = a.hi / n;
  const Wide qn = TwoProduct(q, n);
  const Ld r = ((a.hi - qn.hi) - qn.lo) + a.lo;
  return QuickTwoSum(q, r / n);
}

// With y = x^2 <= (pi/4)^2, 17 terms of either series leave less than
// 2^-125 of the sum.
constexpr int kTerms = 17;
using Coefficients = std::array<Wide, kTerms>;

// 1 / ((first + 2k)! / first!) for k = 0, 1, ...: the sine series with
// first = 1 (times x), the cosine series with first = 0.
Coefficients SeriesCoefficients(int first) {
  Coefficients c;
  c[0] = {1.0L, 0.0L};
  for (int k = 1; k < kTerms; ++k) {
    const int n = first + 2 * k;
    c[static_cast<std::size_t>(k)] =
        DivideBy(c[static_cast<std::size_t>(k - 1)], static_cast<Ld>(n) * static_cast<Ld>(n - 1));
  }
  return c;
}

// sum over k of (-1)^k c_k y^k, by Horner.
Wide AlternatingSeries(Wide y, int first) {
  static const Coefficients kSine = SeriesCoefficients(1);
  static const Coefficients kCosine = SeriesCoefficients(0);
  const Coefficients& c = first == 1 ? kSine : kCosine;
  Wide sum = c[kTerms - 1];
  for (int k = kTerms - 2; k >= 0; --k) {
    sum = Add(c[static_cast<std::size_t>(k)], Negate(Mul(y, sum)));
  }
  return sum;
}

// Rounds hi + lo to the nearest double: hi alone decides, unless it lies
// exactly halfway between two doubles, where lo does.
double Nearest(Wide w) {
  double r = static_cast<double>(w.hi);
  const Ld off = w.hi - static_cast<Ld>(r);
  if (off != 0.0L && w.lo != 0.0L) {
    const double other = std::nextafter(r, off > 0.0L ? std::numeric_limits<double>::infinity()
                                                      : -std::numeric_limits<double>::infinity());
    const Ld half = (static_cast<Ld>(other) - static_cast<Ld>(r)) / 2.0L;
    if (off == half && (w.lo > 0.0L) == (off > 0.0L)) r = other;
  }
  return r;
}

}  // namespace

double SineOfDegrees(double degrees) {
  if (!std::isfinite(degrees)) return std::numeric_limits<double>::quiet_NaN();
  if (degrees == 0.0) return degrees;
  // Exact reduction to [0, 90]: fmod is exact, and a - 180 for a in
  // [180, 360) and 180 - a for a in (90, 180) are exact (Sterbenz).
  double a = std::fmod(std::abs(degrees), 360.0);
  bool negative = degrees < 0.0;
  if (a >= 180.0) {
    a -= 180.0;
    negative = !negative;
  }
  if (a > 90.0) a = 180.0 - a;
  // Above 45 degrees the cosine of the complement (90 - a, exact).
  const bool cosine = a > 45.0;
  const Ld reduced = cosine ? static_cast<Ld>(90.0 - a) : static_cast<Ld>(a);
  const Wide x = Mul({reduced, 0.0L}, kRadiansPerDegree);
  const Wide y = Mul(x, x);
  const Wide s = cosine ? AlternatingSeries(y, 0) : Mul(x, AlternatingSeries(y, 1));
  const double rounded = Nearest(s);
  if (rounded == 0.0) return 0.0;  // a multiple of 180 degrees
  return negative ? -rounded : rounded;
}

}  // namespace soilcal::models
