#include "labfiles/cyclic_readings.hpp"

#include <algorithm>
#include <cmath>

#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;
using Reading = CyclicReading;

// The deviator amplitude: half the range of a record through the cycles
// (which must swing about zero, as the test's load wave does), or, with one
// reading per whole cycle, the largest deviator as each cycle's peak.
double Amplitude(const std::string& name, const std::vector<Reading>& r, bool perCycle,
                 std::vector<std::string>& choices) {
  double lo = 0.0, hi = 0.0, peak = 0.0;
  for (const Reading& x : r) {
    lo = std::min(lo, *x.deviator), hi = std::max(hi, *x.deviator);
    peak = std::max(peak, std::abs(*x.deviator));
  }
  if (!(peak > 0.0)) {
    throw LabFileError(name + ": the deviator stress of the cyclic readings is zero throughout; "
                       "nothing cycles");
  }
  if (perCycle) {
    choices.push_back("one reading per whole cycle: each deviator taken as the cycle's peak, the "
                      "amplitude the largest, q = ±" + FormatReal(peak) + " kPa");
    return peak;
  }
  const double amplitude = 0.5 * (hi - lo), mean = 0.5 * (hi + lo);
  if (!(lo < 0.0 && hi > 0.0) || std::abs(mean) > 0.1 * amplitude) {
    throw LabFileError(name + ": the deviator of the cyclic readings runs from " + FormatReal(lo) +
                       " to " + FormatReal(hi) + " kPa, about " + FormatReal(mean) + " kPa; the "
                       "cyclic triaxial test cycles it about zero from an isotropic start, so "
                       "this loading makes no test the reader builds");
  }
  choices.push_back("deviator amplitude " + FormatReal(amplitude) + " kPa: half the range " +
                    FormatReal(lo) + " to " + FormatReal(hi) + " kPa of the readings");
  return amplitude;
}

}  // namespace

int CyclicPhaseAt(double cycles, int totalCycles) {
  const int last = 2 * std::max(totalCycles, 1) + 1;
  if (!(cycles > 0.25)) return 1;
  const double half = std::ceil((cycles - 0.25) / 0.5 - 1e-9);
  return static_cast<int>(std::clamp(1.0 + half, 1.0, static_cast<double>(last)));
}

LabTest CyclicFromReadings(const std::string& name, std::vector<CyclicReading> r, double radial,
                           std::optional<double> u0, bool startReading,
                           std::vector<std::string>& choices) {
  // Whole cycle numbers given more than once are a record through the cycles
  // numbered by cycle; the last reading of each stands for the cycle's end.
  bool repeated = false, fractional = false;
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (r[i].cycles != std::floor(r[i].cycles)) fractional = true;
    if (i > 0 && r[i].cycles == r[i - 1].cycles) repeated = true;
  }
  LabTest t;
  t.kind = "cyclic_triaxial";
  t.undrained = true;
  t.x = "cycles";
  t.cellPressure = radial;
  t.amplitude = Amplitude(name, r, !repeated && !fractional, choices);
  if (repeated) {
    std::vector<Reading> ends;
    for (const Reading& x : r) {
      if (!ends.empty() && ends.back().cycles == x.cycles) ends.pop_back();
      ends.push_back(x);
    }
    r = std::move(ends);
    choices.push_back("several readings share a cycle number: the last of each taken at its "
                      "cycle");
  }
  t.cycles = std::max(1, static_cast<int>(std::ceil(r.back().cycles - 1e-9)));
  std::vector<double> cycles, ratio, excess, strain;
  const bool hasStrain = std::all_of(r.begin(), r.end(), [](const Reading& x) { return x.strain; });
  const double strain0 = startReading && hasStrain ? *r.front().strain : 0.0;
  for (const Reading& x : r) {
    const double du = x.excess ? *x.excess : *x.pore - *u0;
    cycles.push_back(x.cycles);
    excess.push_back(du);
    ratio.push_back(du / radial);
    if (hasStrain) strain.push_back(*x.strain - strain0);
    t.phase.push_back(CyclicPhaseAt(x.cycles, t.cycles));
  }
  t.axialStrain = hasStrain ? strain.back() : 0.0;
  t.columns.push_back({"cycles", cycles});
  t.columns.push_back({"excess_pore_pressure_ratio", ratio});
  t.defaultCurves.push_back("excess_pore_pressure_ratio");
  if (hasStrain) {
    t.columns.push_back({"axial_strain", strain});
    t.defaultCurves.push_back("axial_strain");
    choices.push_back(startReading ? "axial strain counted from the reading at cycle 0"
                                   : "axial strain as the file gives it (from the start of cycling)");
  } else {
    choices.push_back("no axial strain at every reading: r_u is the only curve");
  }
  t.columns.push_back({"excess_pore_pressure", excess});
  choices.push_back("undrained cyclic triaxial test of " + std::to_string(t.cycles) +
                    " cycles; r_u = Δu/σ′3c");
  return t;
}

}  // namespace soilcal::labfiles
