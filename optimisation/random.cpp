// Minimal-standard Lehmer generator with Schrage's factorisation, so that the
// product 48271 * state never leaves 32-bit integers.
#include <bit>
#include <cstdint>

#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {

namespace {
constexpr std::int32_t kMultiplier = 48271;
constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr std::int32_t kQuotient = 44488;      // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 3399;      // kModulus % kMultiplier
constexpr float kScale = 4.656613e-10f;        // 2^-31 in single precision
// Largest value handed out: the float just below 0.9999999 (0x3F7FFFFE).
const float kLargest = std::bit_cast<float>(std::uint32_t{0x3F7FFFFEu});
}  // namespace

float UniformRandom::Next() {
  const std::int32_t hi = state_ / kQuotient;
  const std::int32_t lo = state_ % kQuotient;
  std::int32_t next = kMultiplier * lo - kRemainder * hi;
  if (next < 1) next += kModulus;
  state_ = next;
  // The conversion to float rounds large states up to 2^31, hence the clamp.
  const float value = static_cast<float>(state_) * kScale;
  return value > kLargest ? kLargest : value;
}

}  // namespace soilcal::optimisation
