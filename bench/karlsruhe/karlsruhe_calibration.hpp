// Calibration of hs, n, alpha and beta on the Karlsruhe tests (phi_c, the
// limit void ratios and the intergranular strain fixed): least squares of
// the residuals of karlsruhe::Residuals by Levenberg-Marquardt with bounds,
// checked by a subplex search from the optimum, and the correlation of the
// four parameters from the Gauss-Newton matrix there.
#pragma once

#include <array>
#include <vector>

#include "bench/karlsruhe/karlsruhe_data.hpp"

namespace karlsruhe {

inline constexpr int kFree = 4;  // hs (MPa), n, alpha, beta

struct Calibration {
  std::array<double, kFree> x{};   // hs in MPa, n, alpha, beta
  double objective = 0.0;          // sum of squared residuals
  int evaluations = 0;
  int restarts = 0;                // Levenberg-Marquardt iterations
  bool converged = false;          // the criterion of Calibrate was met
  double subplexGain = 0.0;        // relative gain of subplex from the optimum
  std::array<bool, kFree> atBound{};
  std::array<std::array<double, kFree>, kFree> correlation{};
  bool correlationOk = false;
};

inline constexpr std::array<double, kFree> kLower{500.0, 0.15, 0.01, 0.0};
inline constexpr std::array<double, kFree> kUpper{20000.0, 0.45, 0.5, 4.0};

Parameters WithFree(Parameters p, const std::array<double, kFree>& x);

// Calibrates from `start` (hs in MPa, n, alpha, beta) on the deviator
// curves, and the volumetric curves too with `volumetric`.
Calibration Calibrate(const Parameters& base, const std::vector<Measured>& tests,
                      bool volumetric, std::array<double, kFree> start);

}  // namespace karlsruhe
