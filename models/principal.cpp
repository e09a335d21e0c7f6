// Principal values of a symmetric 3x3 tensor by cyclic Jacobi rotation.
#include "models/principal.hpp"

#include <array>
#include <cmath>
#include <utility>

namespace soilcal::models {
namespace {

constexpr int kMaxSweeps = 50;
constexpr double kRelativeOffDiagonal = 1e-20;

// Tensor rows (xx, xy, zx), (xy, yy, yz), (zx, yz, zz); `shearFactor` is 1 for
// stresses and 0.5 for engineering shear strains.
Mat3 TensorOf(const Vec6& v, double shearFactor) {
  const double xy = shearFactor * v[3];
  const double yz = shearFactor * v[4];
  const double zx = shearFactor * v[5];
  return {{{v[0], xy, zx}, {xy, v[1], yz}, {zx, yz, v[2]}}};
}

// The larger of a and b with the NaN rule of std::fmax (a NaN argument gives
// the other one), written out so that it inlines instead of calling libm.
inline double MaxIgnoringNaN(double a, double b) {
  return (a >= b || std::isnan(b)) ? a : b;
}

double LargestOffDiagonal(const Mat3& a) {
  return MaxIgnoringNaN(std::fabs(a[0][1]),
                        MaxIgnoringNaN(std::fabs(a[0][2]), std::fabs(a[1][2])));
}

double LargestAbsComponent(const Mat3& a) {
  double m = 0.0;
  for (const auto& row : a) {
    for (double x : row) m = MaxIgnoringNaN(m, std::fabs(x));
  }
  return m;
}

// One plane rotation that annihilates a[p][q]; v collects the rotations so
// that its columns are the eigenvectors. Terms already below `bound` are left.
void Rotate(Mat3& a, Mat3& v, int p, int q, double bound) {
  const double apq = a[p][q];
  if (apq == 0.0 || std::fabs(apq) < bound) return;
  const double theta = (a[q][q] - a[p][p]) / (2.0 * apq);
  // Smaller root of t^2 + 2 t theta - 1 = 0, written to avoid cancellation.
  double t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
  if (std::isinf(theta * theta)) t = 0.5 / std::fabs(theta);
  if (theta < 0.0) t = -t;
  const double c = 1.0 / std::sqrt(t * t + 1.0);
  const double s = t * c;
  for (int k = 0; k < 3; ++k) {
    const double akp = a[k][p];
    const double akq = a[k][q];
    a[k][p] = c * akp - s * akq;
    a[k][q] = s * akp + c * akq;
  }
  for (int k = 0; k < 3; ++k) {
    const double apk = a[p][k];
    const double aqk = a[q][k];
    a[p][k] = c * apk - s * aqk;
    a[q][k] = s * apk + c * aqk;
  }
  a[p][q] = 0.0;
  a[q][p] = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double vkp = v[k][p];
    const double vkq = v[k][q];
    v[k][p] = c * vkp - s * vkq;
    v[k][q] = s * vkp + c * vkq;
  }
}

void SetInvariants(Principal& r) {
  r.p = (r.s[0] + r.s[1] + r.s[2]) / 3.0;
  const double d12 = r.s[0] - r.s[1];
  const double d23 = r.s[1] - r.s[2];
  const double d31 = r.s[2] - r.s[0];
  r.q = std::sqrt(0.5 * (d12 * d12 + d23 * d23 + d31 * d31));
}

// The order of three values: idx[0], idx[1], idx[2] from the most
// compressive up; equal values keep their component order.
std::array<int, 3> Order(const Vec3& d) {
  std::array<int, 3> idx{0, 1, 2};
  if (d[idx[1]] < d[idx[0]]) std::swap(idx[0], idx[1]);
  if (d[idx[2]] < d[idx[1]]) std::swap(idx[1], idx[2]);
  if (d[idx[1]] < d[idx[0]]) std::swap(idx[0], idx[1]);
  return idx;
}

// A tensor with exactly zero shear terms (every triaxial and oedometric
// state): its diagonal ordered, the coordinate axes as directions.
Principal DecomposeDiagonal(const Mat3& a, bool invariants) {
  const Vec3 d{a[0][0], a[1][1], a[2][2]};
  const std::array<int, 3> idx = Order(d);
  Principal r;
  for (int i = 0; i < 3; ++i) {
    const int k = idx[i];
    r.s[i] = d[k];
    r.dir[i][k] = 1.0;
  }
  if (invariants) SetInvariants(r);
  return r;
}

// `invariants` false leaves p and q at zero (a division and a square root
// fewer for callers that only rotate).
Principal Decompose(Mat3 a, bool invariants) {
  if (a[0][1] == 0.0 && a[0][2] == 0.0 && a[1][2] == 0.0) return DecomposeDiagonal(a, invariants);
  Mat3 v{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
  // Shear terms that are all zero or not numbers need no rotation and no
  // bound.
  const double bound =
      LargestOffDiagonal(a) == 0.0 ? 0.0 : kRelativeOffDiagonal * LargestAbsComponent(a);
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    const double off = LargestOffDiagonal(a);
    if (off == 0.0 || off < bound) break;
    Rotate(a, v, 0, 1, bound);
    Rotate(a, v, 0, 2, bound);
    Rotate(a, v, 1, 2, bound);
  }

  // Order s1 <= s2 <= s3 (s1 the most compressive), directions alongside.
  const std::array<int, 3> idx = Order(Vec3{a[0][0], a[1][1], a[2][2]});

  Principal r;
  for (int i = 0; i < 3; ++i) {
    const int k = idx[static_cast<std::size_t>(i)];
    r.s[i] = a[k][k];
    for (int j = 0; j < 3; ++j) r.dir[i][j] = v[j][k];
  }
  if (invariants) SetInvariants(r);
  return r;
}

}  // namespace

Principal PrincipalStresses(const Vec6& sig) { return Decompose(TensorOf(sig, 1.0), true); }

Principal PrincipalStrains(const Vec6& eps) { return Decompose(TensorOf(eps, 0.5), true); }

Principal PrincipalStressDirections(const Vec6& sig) {
  return Decompose(TensorOf(sig, 1.0), false);
}

Vec6 RebuildStress(const Vec3& s, const Mat3& dir) {
  Vec6 sig{};
  for (int k = 0; k < 3; ++k) {
    const Vec3& n = dir[k];
    sig[0] += s[k] * n[0] * n[0];
    sig[1] += s[k] * n[1] * n[1];
    sig[2] += s[k] * n[2] * n[2];
    sig[3] += s[k] * n[0] * n[1];
    sig[4] += s[k] * n[1] * n[2];
    sig[5] += s[k] * n[2] * n[0];
  }
  return sig;
}

}  // namespace soilcal::models
