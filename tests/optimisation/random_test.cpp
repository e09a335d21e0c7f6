#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {
namespace {

constexpr std::int64_t kP = 2147483647;  // 2^31 - 1

TEST(UniformRandom, ValuesThatRoundToOneAreClampedBelowOne) {
  // The state 2^31 - 2 converts to the float 2^31, i.e. the value 1.0. Its
  // predecessor is (2^31 - 2) times the inverse of 48271 modulo p (Fermat:
  // 48271^(p - 2)).
  std::int64_t inverse = 1, base = 48271;
  for (std::int64_t e = kP - 2; e > 0; e >>= 1) {
    if (e & 1) inverse = inverse * base % kP;
    base = base * base % kP;
  }
  ASSERT_EQ(inverse * 48271 % kP, 1);
  UniformRandom random(static_cast<std::int32_t>(inverse * (kP - 1) % kP));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(random.Next()), 0x3F7FFFFEu);
  EXPECT_EQ(random.state(), kP - 1);
  // The next state, p - 48271, scales to 0.99997771 and is kept.
  EXPECT_EQ(random.Next(), static_cast<float>(kP - 48271) * 4.656613e-10f);
}

}  // namespace
}  // namespace soilcal::optimisation
