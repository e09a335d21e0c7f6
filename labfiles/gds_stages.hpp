// The columns and stages of a GDS triaxial export, and the readings of one
// stage in the job's terms (effective stresses in kPa, strains counted from
// the stage's start).
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "labfiles/text.hpp"

namespace soilcal::labfiles {

// The columns a GDS export may give that the reader uses.
enum GdsRole {
  kStageNumber,
  kTime,
  kRadialPressure,
  kBackPressure,
  kBackVolume,
  kPorePressure,
  kAxialDisplacement,
  kAxialStrain,
  kDeviatorStress,
  kEffRadialStress,
  kEffAxialStress,
  kVolumeChange,
  kAxialLoad,
  kRoleCount
};

struct Stage {
  int number = 0;
  std::size_t first = 0, end = 0;        // readings [first, end)
  int rows = 0;
  double time0 = 0.0, time1 = 0.0;       // s
  double height = 0.0, volume = 0.0;     // at the stage's start (mm, mm³; 0 unknown)
  double strainGrowth = 0.0;             // largest |εa| from the stage's start
  double qMin = 0.0, qMax = 0.0, radialMin = 0.0, radialMax = 0.0;
  bool undrained = false;
  std::string drainageWords;             // why: "back volume constant, ..."
};

struct GdsData {
  std::string name;
  std::vector<std::pair<std::string, std::string>> header;
  std::vector<std::string> columnNames;          // as written
  std::array<int, kRoleCount> column{};          // index in the rows, -1 none
  // Values of the used columns in the readers' units (NaN where a cell holds
  // no number), per role, one per reading; the file line of each reading.
  std::array<std::vector<double>, kRoleCount> values;
  std::vector<int> lines;
  double height0 = 0.0, diameter0 = 0.0;         // mm, 0 when the header lacks them
  std::vector<Stage> stages;
  std::vector<std::string> choices;              // columns and units used
};

// Parses a decoded GDS export; LabFileError for a file that is none, lacks
// the axial strain (and displacement) columns or is cut inside a row.
GdsData ParseGds(const std::string& text, const std::string& name);

// True when the decoded text is a GDS export (it has the row "Start of
// Repeated Data").
bool LooksLikeGds(const std::string& text);

// One stage's readings: effective radial stress, deviator stress, pore
// pressure (kPa), axial strain and volumetric strain (fractions, from the
// stage's start; volumetric empty when the volume is unknown).
struct StageReadings {
  std::vector<double> radial, deviator, pore, strain, volumetric;
};
// With `strict`, a quantity the file cannot give is a LabFileError naming
// the columns found; without, it is left at zero.
StageReadings Readings(const GdsData& d, const Stage& st, std::vector<std::string>& choices,
                       bool strict = true);

}  // namespace soilcal::labfiles
