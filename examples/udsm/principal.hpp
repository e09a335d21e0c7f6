// Principal stresses of a symmetric stress tensor for the example user
// models: values ascending (most compressive first) with unit directions.
#pragma once

#include <array>

namespace usermod {

using Vec6 = std::array<double, 6>;  // xx, yy, zz, xy, yz, zx
using Vec3 = std::array<double, 3>;

struct Principal {
  Vec3 value{};                     // s1 <= s2 <= s3
  std::array<Vec3, 3> direction{};  // direction[i] belongs to value[i]
};

// Cyclic Jacobi rotations of the 3x3 tensor.
Principal Decompose(const Vec6& sig);

// Stress vector with principal values `value` along the directions of `p`.
Vec6 Rebuild(const Principal& p, const Vec3& value);

}  // namespace usermod
