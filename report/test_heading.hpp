// How the report names a test, as a laboratory sheet heads it: its name,
// its type, the stress it starts from (the cell pressure σ′3 of a triaxial
// test, σ′v0 of an oedometer or a simple shear test) and its drainage.
#pragma once

#include <string>
#include <vector>

#include "report/quantity_display.hpp"
#include "report/summary.hpp"

namespace soilcal::report {

// The test file's name without its extension: "TRIAX1".
std::string TestName(const TestSummary& t);

// One named stress of the initial state, compression positive.
struct NamedStress {
  std::string symbol;  // "σ′3", "σ′v0", "p′0"
  std::string words;   // "cell pressure", "initial vertical stress"
  double value = 0.0;
};

// The stresses that describe the test's start: σ′3 (and σ′a0 where it
// differs) of a triaxial test, σ′v0 (and σ′h0 where it differs) of an
// oedometer or simple shear test, p′0 otherwise; none without the state.
std::vector<NamedStress> InitialStresses(const TestSummary& t);

// "σ′3 = 100 kPa" with the job's stress unit; "" without the state.
std::string InitialStressText(const TestSummary& t, const QuantityUnits& units);

// "TRIAX1 · triaxial compression · σ′3 = 100 kPa · undrained".
std::string TestHeading(const TestSummary& t, const QuantityUnits& units);

}  // namespace soilcal::report
