// Six-component stress and strain vectors and 6x6 matrices.
// Component order xx, yy, zz, xy, yz, zx; tension positive; shear strains are
// engineering strains (gamma = 2 eps).
#pragma once

#include <array>
#include <cstring>

namespace soilcal {

using Vec6 = std::array<double, 6>;
using Mat6 = std::array<std::array<double, 6>, 6>;
using Vec3 = std::array<double, 3>;
using Mat3 = std::array<std::array<double, 3>, 3>;

inline Vec6 MatVec(const Mat6& a, const Vec6& x) {
  Vec6 y{};
  for (int i = 0; i < 6; ++i) {
    double s = 0.0;
    for (int j = 0; j < 6; ++j) s += a[i][j] * x[j];
    y[i] = s;
  }
  return y;
}

// Two doubles side by side (the GCC/Clang vector extension: SSE2 on x86-64,
// NEON on ARM). Lane arithmetic is plain IEEE double arithmetic, so a sum
// kept in a lane has the bits of the same sum done one value at a time.
typedef double Pair __attribute__((vector_size(16)));

inline Pair LoadPair(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void StorePair(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }

// y = a x from the transpose at = a^T. Each y[i] sums its products in the
// order of MatVec (from 0.0, j = 0..5), so the result has the same bits;
// stored by columns, the six sums run two by two in vector registers.
inline Vec6 MatVecTransposed(const Mat6& at, const Vec6& x) {
  Pair y0{0.0, 0.0}, y1{0.0, 0.0}, y2{0.0, 0.0};
  for (int j = 0; j < 6; ++j) {
    const Pair xj{x[j], x[j]};
    y0 += LoadPair(&at[j][0]) * xj;
    y1 += LoadPair(&at[j][2]) * xj;
    y2 += LoadPair(&at[j][4]) * xj;
  }
  Vec6 y;
  StorePair(&y[0], y0);
  StorePair(&y[2], y1);
  StorePair(&y[4], y2);
  return y;
}

inline Mat6 Transposed(const Mat6& a) {
  Mat6 t;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) t[j][i] = a[i][j];
  }
  return t;
}

inline double Dot(const Vec6& a, const Vec6& b) {
  double s = 0.0;
  for (int i = 0; i < 6; ++i) s += a[i] * b[i];
  return s;
}

inline double VolumetricStrain(const Vec6& e) { return e[0] + e[1] + e[2]; }
inline double MeanStress(const Vec6& s) { return (s[0] + s[1] + s[2]) / 3.0; }

// Isotropic elastic matrix for engineering shear strains:
// 2G(1-nu)/(1-2nu) on the normal diagonal, 2G nu/(1-2nu) between normal
// components, G on the shear diagonal.
inline Mat6 IsotropicElasticMatrix(double G, double nu) {
  Mat6 d{};
  const double f = 2.0 * G / (1.0 - 2.0 * nu);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) d[i][j] = f * nu;
    d[i][i] = f * (1.0 - nu);
    d[i + 3][i + 3] = G;
  }
  return d;
}

}  // namespace soilcal
