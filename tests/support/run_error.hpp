// The code of the run error a call raises.
#pragma once

#include "services/errors.hpp"

namespace soilcal::testing {

// Run error code raised by `f`, or 0 when it returns.
template <typename F>
int RunErrorOf(F&& f) {
  try {
    f();
  } catch (const services::RunError& e) {
    return e.code;
  }
  return 0;
}

}  // namespace soilcal::testing
