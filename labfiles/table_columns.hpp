// The columns of a tidy table as the reader maps them, and the tests made
// of them (labfiles/table_reader.cpp reads the file and maps the columns).
#pragma once

#include <string>
#include <vector>

#include "labfiles/lab_file.hpp"

namespace soilcal::labfiles::table {

// What a column holds. Total stresses need a pore pressure to become
// effective; a void ratio becomes axial strain.
enum class Holds {
  kAxialStrain, kVolumetricStrain, kDeviator, kMeanEffective, kMeanTotal, kRadialEffective,
  kRadialTotal, kVerticalEffective, kVerticalTotal, kPorePressure, kExcessPorePressure,
  kVoidRatio, kCycles, kPoreRatio, kPhase, kTime
};

// One mapped column: what it holds, its header as written, its values in
// kPa or fractions.
struct Mapped {
  Holds holds;
  std::string header;
  std::vector<double> values;  // in kPa or fractions
};

// The column that holds `h`, or none.
const Mapped* Get(const std::vector<Mapped>& m, Holds h);
// "\"q [kPa]\" as deviator stress, ..." for messages and the choices.
std::string MappingWords(const std::vector<Mapped>& m);

// A total stress column without its effective twin made effective with the
// pore pressure column (σ′ = σ − u); refused without one.
void EffectiveFromTotal(std::vector<Mapped>& m, const std::string& name,
                        std::vector<std::string>& choices);
// The tests a table makes: a triaxial test (axial strain and deviator), an
// oedometer (effective vertical stress with axial strain or void ratio), a
// cyclic triaxial test (cycles, deviator and a pore pressure).
LabTest TriaxialFromTable(const std::vector<Mapped>& m, const std::string& name,
                          std::vector<std::string>& choices);
LabTest OedometerFromTable(const std::vector<Mapped>& m, const std::string& name,
                           std::vector<std::string>& choices);
LabTest CyclicFromTable(const std::vector<Mapped>& m, const std::string& name,
                        std::vector<std::string>& choices);

}  // namespace soilcal::labfiles::table
