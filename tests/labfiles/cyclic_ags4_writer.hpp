// A cyclic triaxial test series as an AGS4 file (CTRG, CTRC and CTRD), its
// pore pressures from the closed-form rise of r_u with the cycles of Seed,
// Martin and Lysmer and its axial strain growing linearly with the cycles.
#pragma once

#include <string>
#include <vector>

namespace soilcal::testing {

// r_u(N) = (2/π) arcsin((N/N_L)^(1/(2α))), the pore pressure ratio after N
// of the N_L cycles to liquefaction (Seed H.B., Martin P.P., Lysmer J.,
// 1975, The generation and dissipation of pore water pressures during soil
// liquefaction, UC Berkeley EERC 75-26); 1 from N_L on.
double PorePressureRatio(double cycles, double cyclesToLiquefaction, double alpha);

// One reading as a laboratory records it: total pressures in kPa, axial
// strain a fraction.
struct CyclicReading {
  double cycles = 0.0, deviator = 0.0, pore = 0.0, strain = 0.0;
};

struct CyclicSpecimenFile {
  std::string location = "BH1", ref = "1", testNumber;  // testNumber: CTRD_TESN, may be empty
  double depth = 5.0;
  double cell = 400.0, back = 300.0;     // total cell and back pressure, kPa
  double amplitude = 30.0;               // deviator, kPa
  int cycles = 10;
  // Readings per cycle of a record through the cycles (a sine of the
  // deviator from cycle 0); 0 for one reading per whole cycle (its peak).
  int perCycle = 8;
  double cyclesToLiquefaction = 15.0, alpha = 0.7;
  double strainPerCycle = 0.002;         // axial strain (fraction) per cycle
  double strainAtStart = 0.0005;         // strain of the reading at cycle 0 (consolidation)
  bool consolidation = true;             // CTRC rows (cell and back pressure)
  // Readings to write instead of the closed form (a simulation's points).
  std::vector<CyclicReading> readings;
};

// The closed-form readings of a specimen (or its own where it gives them).
std::vector<CyclicReading> ReadingsOf(const CyclicSpecimenFile& s);

// An AGS4 file of the specimens (UTF-8, CRLF), its pressures in
// `stressUnit` ("kPa" or "MPa"), strains in %.
std::string Ags4CyclicFile(const std::vector<CyclicSpecimenFile>& specimens,
                           const std::string& stressUnit = "kPa");

}  // namespace soilcal::testing
