#include "principal.hpp"

#include <algorithm>
#include <cmath>

namespace usermod {

using Mat3 = std::array<std::array<double, 3>, 3>;

namespace {

Mat3 Tensor(const Vec6& s) {
  return {{{s[0], s[3], s[5]}, {s[3], s[1], s[4]}, {s[5], s[4], s[2]}}};
}

// One Jacobi rotation that annihilates a[p][q]; v collects the rotations.
void Rotate(Mat3& a, Mat3& v, int p, int q) {
  const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
  const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
  const double c = 1.0 / std::sqrt(t * t + 1.0);
  const double s = t * c;
  for (int k = 0; k < 3; ++k) {
    const double akp = a[k][p], akq = a[k][q];
    a[k][p] = c * akp - s * akq;
    a[k][q] = s * akp + c * akq;
  }
  for (int k = 0; k < 3; ++k) {
    const double apk = a[p][k], aqk = a[q][k];
    a[p][k] = c * apk - s * aqk;
    a[q][k] = s * apk + c * aqk;
  }
  for (int k = 0; k < 3; ++k) {
    const double vkp = v[k][p], vkq = v[k][q];
    v[k][p] = c * vkp - s * vkq;
    v[k][q] = s * vkp + c * vkq;
  }
}

}  // namespace

Principal Decompose(const Vec6& sig) {
  Mat3 a = Tensor(sig);
  Mat3 v = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  double scale = 0.0;
  for (double x : sig) scale = std::max(scale, std::fabs(x));
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = std::max({std::fabs(a[0][1]), std::fabs(a[0][2]), std::fabs(a[1][2])});
    if (off <= 1e-20 * scale || off == 0.0) break;
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] != 0.0) Rotate(a, v, p, q);
      }
    }
  }
  std::array<int, 3> order = {0, 1, 2};
  std::sort(order.begin(), order.end(), [&](int i, int j) { return a[i][i] < a[j][j]; });
  Principal p;
  for (int i = 0; i < 3; ++i) {
    const int k = order[static_cast<std::size_t>(i)];
    p.value[static_cast<std::size_t>(i)] = a[k][k];
    p.direction[static_cast<std::size_t>(i)] = {v[0][k], v[1][k], v[2][k]};
  }
  return p;
}

Vec6 Rebuild(const Principal& p, const Vec3& value) {
  Vec6 s{};
  for (std::size_t i = 0; i < 3; ++i) {
    const Vec3& n = p.direction[i];
    s[0] += value[i] * n[0] * n[0];
    s[1] += value[i] * n[1] * n[1];
    s[2] += value[i] * n[2] * n[2];
    s[3] += value[i] * n[0] * n[1];
    s[4] += value[i] * n[1] * n[2];
    s[5] += value[i] * n[2] * n[0];
  }
  return s;
}

}  // namespace usermod
