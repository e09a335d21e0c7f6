// A laboratory's own file read as tests: a GDS triaxial export, an AGS4
// file or a tidy table. The record holds the test the file stands for in the
// terms of the job's test templates (type, start, loading, drainage), its
// measured curves in the job's quantity names, and every choice the reader
// made, in words, so that a person can check what was understood.
//
// Stresses are in kPa, compression positive, effective; strains are
// fractions, compression positive (volumetric strain positive in
// contraction). The TOML reader converts kPa to the job's units.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "labfiles/text.hpp"

namespace soilcal::labfiles {

// The specimen of an AGS4 file: LOCA_ID, SPEC_DPTH (or SAMP_TOP), SPEC_REF.
struct SpecimenKey {
  std::string location;
  std::optional<double> depth;
  std::string ref;
};

// "BH1:2.0:3" as the command line, the module and the workbench take a
// specimen: location, depth (may be empty), ref (may be missing); nothing
// for an empty location or a depth that is no number.
std::optional<SpecimenKey> ParseSpecimenKey(std::string_view text);

// What to take from a file; everything optional.
struct Selection {
  std::optional<int> stage;              // GDS stage number
  std::optional<SpecimenKey> specimen;   // AGS4 specimen
  std::optional<std::string> group;      // AGS4 group (CONS, CTRD, ...)
  // Oedometer: start below the first increment's stress (kPa).
  std::optional<double> initialVerticalStress;
};

// One measured quantity, one value per reading, in the job's name.
struct Column {
  std::string quantity;                  // "axial_strain", "deviator_stress", ...
  std::vector<double> values;
};

// The test a file stands for.
struct LabTest {
  std::string kind;                      // template name: "triaxial_compression", ...
  bool undrained = false;
  // Triaxial: effective radial stress at the start, the axial stress where it
  // differs, and the last axial strain (signed).
  double cellPressure = 0.0;
  std::optional<double> initialAxialStress;
  double axialStrain = 0.0;
  // Oedometer: the start and one stress level per phase.
  double initialVerticalStress = 0.0;
  std::vector<double> levels;
  // Cyclic triaxial: deviator amplitude and whole cycles.
  double amplitude = 0.0;
  int cycles = 0;
  // The readings: the abscissa first (its quantity is `x`), then every
  // ordinate the file gives; `phase` holds each reading's phase (1-based).
  std::string x = "axial_strain";
  std::vector<Column> columns;
  std::vector<int> phase;
  // The ordinates calibrated when the job names none.
  std::vector<std::string> defaultCurves;

  const Column* Find(const std::string& quantity) const;
};

// A failure point of a triaxial summary (AGS4 TRET/TRIT), kPa.
struct FailurePoint {
  std::string specimen;                  // "BH1 2.00 1"
  double sigma3 = 0.0, sigma1 = 0.0;     // effective where the pore pressure is known
  bool effective = false;
};

// Cohesion and friction angle of the Mohr-Coulomb line through failure
// points (kPa, degrees).
struct Strength {
  double cohesion = 0.0;
  double phiDegrees = 0.0;
  int points = 0;
};

struct LabFile {
  std::string name;                      // the file as messages call it
  std::string format;                    // "GDS", "AGS4", "table"
  std::vector<std::pair<std::string, std::string>> header;  // key, value as written
  // What the file holds, one entry per stage, specimen or column mapping,
  // each ending with the TOML lines that select it.
  std::vector<std::string> entries;
  std::optional<LabTest> test;           // the selected test, where the file has one
  std::vector<FailurePoint> failures;
  std::optional<Strength> strength;
  // Every choice the reader made: stage, drainage, start, columns used,
  // units, signs, derived values.
  std::vector<std::string> choices;
};

// Reads `path` (`name` in messages) by its format: ".gds" or a GDS header,
// ".ags" or a first "GROUP" row, else a table. With `needTest` a file that
// holds no test under `selection` is an error; without, the record lists
// what the file holds.
LabFile ReadLabFile(const std::string& path, const std::string& name, const Selection& selection,
                    bool needTest = true);

// The readers, on the file's text (decoded as DecodeText does).
LabFile ReadGds(const std::string& text, const std::string& name, const Selection& selection,
                bool needTest);
LabFile ReadAgs4(const std::string& text, const std::string& name, const Selection& selection,
                 bool needTest);
LabFile ReadTable(const std::string& text, const std::string& name, const Selection& selection,
                  bool needTest);

// A test whose readings hold a value that is not finite (a division by a
// zero area or height the file gives) is a LabFileError naming the quantity.
void RequireFinite(const LabTest& test, const std::string& name);

// The line through failure points in the s'-t plane, t = c' cos φ' + s' sin φ'
// (least squares), with s' = (σ'1 + σ'3)/2 and t = (σ'1 − σ'3)/2; nullopt
// for fewer than two points or a line that is no Mohr-Coulomb envelope.
std::optional<Strength> StrengthOf(const std::vector<FailurePoint>& points);

// What `soilcal inspect` prints: the header, the entries, the strength.
std::string InspectText(const LabFile& file);
// The selected test's readings as CSV in the job's quantity names.
std::string CurvesCsv(const LabTest& test);

}  // namespace soilcal::labfiles
