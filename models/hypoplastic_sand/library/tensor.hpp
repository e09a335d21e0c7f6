// Symmetric second-order tensors as six components xx, yy, zz, xy, yz, zx
// (tensor shear components, not engineering ones), and the 6x6 matrices of
// fourth-order tensors acting on them. The double contraction A:B weights the
// shear components twice, so a matrix K maps the tensor components of D to
// those of K:D.
#pragma once

#include <Eigen/Dense>

namespace hypoplastic {

using Sym = Eigen::Matrix<double, 6, 1>;
using Mat = Eigen::Matrix<double, 6, 6>;

// Weights of the components in A:B.
inline Sym Weights() { return (Sym() << 1, 1, 1, 2, 2, 2).finished(); }

inline double Contract(const Sym& a, const Sym& b) {
  return a.head<3>().dot(b.head<3>()) + 2.0 * a.tail<3>().dot(b.tail<3>());
}
inline double Norm(const Sym& a) { return std::sqrt(Contract(a, a)); }
inline double Trace(const Sym& a) { return a[0] + a[1] + a[2]; }
inline Sym Identity() { return (Sym() << 1, 1, 1, 0, 0, 0).finished(); }

// The matrix of the fourth-order tensor a (x) b: (a (x) b):D = a (b:D).
inline Mat Dyad(const Sym& a, const Sym& b) {
  return a * b.cwiseProduct(Weights()).transpose();
}

inline Eigen::Matrix3d Full(const Sym& a) {
  Eigen::Matrix3d m;
  m << a[0], a[3], a[5], a[3], a[1], a[4], a[5], a[4], a[2];
  return m;
}

// Engineering shear strains (gamma = 2 eps) to tensor components and back.
inline Sym FromEngineering(const double* e) {
  return (Sym() << e[0], e[1], e[2], 0.5 * e[3], 0.5 * e[4], 0.5 * e[5]).finished();
}
inline void ToEngineering(const Sym& t, double* e) {
  for (int i = 0; i < 3; ++i) e[i] = t[i];
  for (int i = 3; i < 6; ++i) e[i] = 2.0 * t[i];
}

}  // namespace hypoplastic
