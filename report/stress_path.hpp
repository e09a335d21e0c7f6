// The effective stress path of an undrained triaxial test, the plot every
// engineer checks first for a CU test: q against p′, measured, at the start
// values and calibrated, with the critical-state line q = M p′ of the
// friction angle.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/quantity_display.hpp"
#include "report/summary.hpp"

namespace soilcal::report {

// M of the critical-state line in triaxial compression for a friction angle
// φ: M = 6 sin φ / (3 − sin φ) (Wood, Soil Behaviour and Critical State
// Soil Mechanics, 1990, eq. 7.8 with the Mohr-Coulomb angle).
double CriticalStateM(double phiDegrees);

// q–p′ points of a test from its deviator q and excess pore pressure Δu at
// the same points: at constant cell pressure p′ = p′0 + (q − q0)/3 − Δu, with
// p′0 and q0 of the initial state (compression positive).
struct StressPath {
  std::vector<double> p, q;
};
StressPath PathFromDeviatorAndPorePressure(const std::vector<double>& q,
                                           const std::vector<double>& du, double p0, double q0);

// The stress-path figure of an undrained triaxial compression test whose
// curves measure the deviator and the pore pressure against the same
// strain; "" for any other test.
std::string StressPathFigure(const Summary& s, const TestSummary& t,
                             const std::vector<CurvePoints>& points, const QuantityUnits& units);

}  // namespace soilcal::report
