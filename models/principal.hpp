// Principal stresses by cyclic Jacobi rotation, ordered s1 <= s2 <= s3
// (s1 the most compressive), with unit directions for the way back.
#pragma once

#include "models/tensor.hpp"

namespace soilcal::models {

struct Principal {
  Vec3 s{};        // s[0] <= s[1] <= s[2]
  Mat3 dir{};      // dir[i] is the unit direction of s[i]
  double p = 0.0;  // mean stress (s1 + s2 + s3) / 3
  double q = 0.0;  // sqrt(((s1-s2)^2 + (s2-s3)^2 + (s3-s1)^2) / 2)
};

// Tensor rows (xx, xy, zx), (xy, yy, yz), (zx, yz, zz) of a stress vector.
Principal PrincipalStresses(const Vec6& sig);
// The same values and directions as PrincipalStresses, without p and q
// (left 0): for the stress-point loop, which only rotates.
Principal PrincipalStressDirections(const Vec6& sig);

// Principal strains: the shear components are engineering strains and enter
// the tensor halved.
Principal PrincipalStrains(const Vec6& eps);
// Stress vector with principal values s and directions dir.
Vec6 RebuildStress(const Vec3& s, const Mat3& dir);

}  // namespace soilcal::models
