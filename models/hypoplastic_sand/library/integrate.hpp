// Integration of the rate equations over one strain increment with an
// explicit embedded Runge-Kutta pair and an error-controlled substep size, as
// Fellin and Ostermann (2002) do for hypoplasticity: the Bogacki-Shampine
// pair of orders 3 and 2 (Bogacki and Shampine 1989), the third-order
// solution carried on, the difference of the two as the error estimate.
#pragma once

#include "rate.hpp"

namespace hypoplastic {

struct StepResult {
  State end;
  int substeps = 0;   // accepted substeps
  int rejected = 0;   // substeps repeated with a smaller size
  bool ok = false;    // false: the state left the domain of the equations,
                      // or the substeps ran out
};

// Integrates the state from `start` over the strain increment dEps (tensor
// components) at a constant strain rate. A substep is accepted when its
// error, relative to the size of the stress (stress-dependent tolerance: the
// norm of T, at least the minimum pressure), to 1 + e for the void ratio
// and to R for the intergranular strain, stays below the tolerance.
StepResult Integrate(const Parameters& p, const State& start, const Sym& dEps);

}  // namespace hypoplastic
