// The quantity codes of the curve files named as an engineer reads them:
// words, symbol and unit, with the test's axial and shear directions taken
// from its type ("axial strain ε1 [%]" rather than a component name).
#pragma once

#include <string>

#include "input/test_kind.hpp"

namespace soilcal::report {

enum class QuantityKind { kStrain, kStress, kTime, kOther };

// Unit texts of the job: "kPa", "day".
struct QuantityUnits {
  std::string stress, time;
};

struct AxisQuantity {
  std::string words;         // "axial strain"
  std::string symbol;        // "ε1"
  std::string unit;          // "%", "kPa", "" when unknown or dimensionless
  std::string sense;         // "" (compression positive or no sign), "tension positive" ...
  double scale = 1.0;        // value shown = scale × value of the curve file
  QuantityKind kind = QuantityKind::kOther;
  bool compressionNegative = false;  // a normal stress or strain as the file signs it
  // "axial strain ε1 [%]", with the sense in brackets when there is one.
  std::string Label() const;
};

// Quantity `code` (negative codes negate) of a curve of a test of `type`.
// Strains are shown in percent. An unknown code keeps its number.
AxisQuantity NameQuantity(int code, const input::TestType& type, const QuantityUnits& units);

// The same quantity turned so that compression shows positive (for a log
// axis of stress); no change for a quantity without that sign.
AxisQuantity CompressionPositive(AxisQuantity q, int code);

// How a measured curve is drawn: which file column goes on the x axis, and
// the axes' scales. Oedometer and isotropic tests put a stress on a log x
// axis with the strain growing downwards, whatever column order the file has.
struct CurveView {
  AxisQuantity x, y;
  bool swap = false;      // the file's second column on the x axis
  bool logX = false;
  bool reverseY = false;
};
CurveView ChooseCurveView(int column1, int column2, const input::TestType& type,
                          const QuantityUnits& units);

}  // namespace soilcal::report
