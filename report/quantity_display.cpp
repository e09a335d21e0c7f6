// Names of the quantity codes 1..35. Stresses are effective unless the pore
// pressure is added (codes 31 to 34); the files sign them tension positive,
// so a negated code shows compression positive, as engineers draw them.
#include "report/quantity_display.hpp"

#include <array>
#include <cstdlib>

namespace soilcal::report {

namespace {

using input::TestKind;
using input::TestType;

struct Name {
  const char* words;
  const char* symbol;
  QuantityKind kind;
  bool normal;  // compression negative in the file's convention
};

constexpr Name kNone{"", "", QuantityKind::kOther, false};

// Codes whose name does not depend on the test's directions.
constexpr std::array<Name, 36> kNames{{
    kNone,
    {"major principal strain", "ε1", QuantityKind::kStrain, true},
    {"major principal effective stress", "σ′1", QuantityKind::kStress, true},
    {"intermediate principal effective stress", "σ′2", QuantityKind::kStress, true},
    {"minor principal effective stress", "σ′3", QuantityKind::kStress, true},
    {"principal stress difference", "|σ′1 − σ′3|", QuantityKind::kStress, false},
    {"volumetric strain", "εv", QuantityKind::kStrain, true},
    // A test starts at zero pore pressure: what it builds up is the excess
    // pore pressure Δu = −pw (pw tension positive).
    {"excess pore pressure", "−Δu", QuantityKind::kStress, false},
    {"mean effective stress", "p′", QuantityKind::kStress, true},
    {"deviator stress", "q", QuantityKind::kStress, false},
    {"time", "t", QuantityKind::kTime, false},
    kNone, kNone,
    kNone, kNone, kNone,  // 13..15 normal strains: by direction
    kNone, kNone, kNone,  // 16..18 shear strains
    kNone, kNone, kNone,  // 19..21 effective normal stresses
    kNone, kNone, kNone,  // 22..24 shear stresses
    {"centre of Mohr's circle", "s′ = (σ′1 + σ′3)/2", QuantityKind::kStress, true},
    {"radius of Mohr's circle", "t = (σ′1 − σ′3)/2", QuantityKind::kStress, true},
    {"intermediate principal strain", "ε2", QuantityKind::kStrain, true},
    {"minor principal strain", "ε3", QuantityKind::kStrain, true},
    {"half normal stress difference", "−(σ′xx − σ′yy)/2", QuantityKind::kStress, false},
    {"shear strain invariant", "γs", QuantityKind::kStrain, false},
    kNone, kNone, kNone,  // 31..33 total normal stresses
    {"mean total stress", "p", QuantityKind::kStress, true},
    {"mean in-plane effective stress", "(σ′xx + σ′yy)/2", QuantityKind::kStress, true},
}};

bool IsTriaxial(const TestType& t) {
  return t.kind == TestKind::kTriaxialCompression || t.kind == TestKind::kTriaxialExtension ||
         t.kind == TestKind::kCyclicTriaxial;
}
bool IsShear(const TestType& t) {
  return t.kind == TestKind::kDirectSimpleShear || t.kind == TestKind::kCyclicDirectSimpleShear;
}

// A name composed for the test's directions.
struct NameText {
  std::string words, symbol;
  QuantityKind kind = QuantityKind::kOther;
  bool normal = false;
};

// A normal strain (stress == false) or stress of component c, named by the
// role of c in the test.
NameText NormalComponent(int c, bool stress, bool total, const TestType& t) {
  const std::string comp(input::ComponentName(c));
  const QuantityKind kind = stress ? QuantityKind::kStress : QuantityKind::kStrain;
  const bool axial = c == t.axial;
  const bool compression = t.kind == TestKind::kTriaxialCompression;
  const std::string sigma = total ? "σ" : "σ′";
  const std::string effective = total ? "total " : "effective ";
  if (IsTriaxial(t)) {
    if (stress) {
      return {std::string(axial ? "axial " : "radial ") + effective + "stress",
              sigma + (axial ? (compression ? "1" : "a") : (compression ? "3" : "r")), kind, true};
    }
    return {axial ? "axial strain" : "radial strain",
            axial ? (compression ? "ε1" : "εa") : (compression ? "ε3" : "εr"), kind, true};
  }
  if (t.kind == TestKind::kOedometer || IsShear(t)) {
    if (stress) {
      return {std::string(axial ? "vertical " : "horizontal ") + effective + "stress",
              sigma + (axial ? "v" : "h"), kind, true};
    }
    if (t.kind == TestKind::kOedometer) {
      // As a laboratory's oedometer sheet calls it.
      return {axial ? "vertical strain" : "lateral strain", axial ? "εa" : "ε" + comp, kind, true};
    }
    return {axial ? "vertical strain" : "horizontal strain", "ε" + comp, kind, true};
  }
  if (stress) return {"normal " + effective + "stress", sigma + comp, kind, true};
  return {"normal strain", "ε" + comp, kind, true};
}

NameText ShearComponent(int c, bool stress, const TestType& t) {
  const std::string comp(input::ComponentName(c));
  const bool sheared = c == t.shear;
  if (stress) return {"shear stress", sheared ? "τ" : "τ" + comp, QuantityKind::kStress, false};
  return {"shear strain", sheared ? "γ" : "γ" + comp, QuantityKind::kStrain, false};
}

NameText Find(int k, const TestType& t) {
  if (k >= 13 && k <= 15) return NormalComponent(k - 13, false, false, t);
  if (k >= 16 && k <= 18) return ShearComponent(k - 13, false, t);
  if (k >= 19 && k <= 21) return NormalComponent(k - 19, true, false, t);
  if (k >= 22 && k <= 24) return ShearComponent(k - 19, true, t);
  if (k >= 31 && k <= 33) return NormalComponent(k - 31, true, true, t);
  if (k < 1 || k >= static_cast<int>(kNames.size())) return {};
  const Name& n = kNames[static_cast<std::size_t>(k)];
  // In a triaxial or oedometer test |σ′1 − σ′3| is the deviator.
  if (k == 5 && (IsTriaxial(t) || t.kind == TestKind::kOedometer)) {
    return {"deviator stress", "q", n.kind, n.normal};
  }
  return {n.words, n.symbol, n.kind, n.normal};
}

// A normal stress or a mean of normal stresses: what a compression curve
// puts on its log axis (not a stress difference).
bool IsStressLevel(int code) {
  switch (std::llabs(static_cast<long long>(code))) {
    case 2: case 3: case 4: case 8: case 19: case 20: case 21: case 25:
    case 31: case 32: case 33: case 34: case 35:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string AxisQuantity::Label() const {
  std::string out = words.empty() ? symbol : words + " " + symbol;
  if (!unit.empty()) out += " [" + unit + "]";
  if (!sense.empty()) out += " (" + sense + ")";
  return out;
}

AxisQuantity NameQuantity(int code, const TestType& type, const QuantityUnits& units) {
  AxisQuantity q;
  // In 64 bits: a code read from a damaged file may be the most negative int.
  const long long k = std::llabs(static_cast<long long>(code));
  const NameText name = k <= 35 ? Find(static_cast<int>(k), type) : NameText{};
  if (name.symbol.empty()) {
    q.symbol = "code " + std::to_string(code);
    return q;
  }
  q.words = name.words;
  q.symbol = name.symbol;
  q.kind = name.kind;
  q.compressionNegative = name.normal;
  switch (name.kind) {
    case QuantityKind::kStrain:
      q.unit = std::string("%");  // not the bare literal: GCC 12 warns falsely (-Wrestrict)
      q.scale = 100.0;
      break;
    case QuantityKind::kStress: q.unit = units.stress; break;
    case QuantityKind::kTime: q.unit = units.time; break;
    case QuantityKind::kOther: break;
  }
  // A cyclic test that runs one unit of time per cycle: its time is the
  // number of cycles.
  if (name.kind == QuantityKind::kTime && type.timeInCycles) {
    q.words = "number of cycles";
    q.symbol = "N";
    q.unit.clear();
  }
  if (k == 7) {
    q.symbol = code < 0 ? "Δu" : "−Δu";
  } else if (code < 0 && !name.normal) {
    q.symbol = std::string("−") + q.symbol;
  } else if (code > 0 && name.normal) {
    q.sense = name.kind == QuantityKind::kStrain ? "extension positive" : "tension positive";
  }
  return q;
}

AxisQuantity CompressionPositive(AxisQuantity q, int code) {
  if (q.compressionNegative && code > 0) {
    q.scale = -q.scale;
    q.sense.clear();
  }
  return q;
}

CurveView ChooseCurveView(int column1, int column2, const TestType& type,
                          const QuantityUnits& units) {
  CurveView v{NameQuantity(column1, type, units), NameQuantity(column2, type, units)};
  if (type.kind != TestKind::kOedometer && type.kind != TestKind::kIsotropicCompression) return v;
  const bool stress1 = IsStressLevel(column1);
  const bool stress2 = IsStressLevel(column2);
  const bool strain1 = v.x.kind == QuantityKind::kStrain;
  const bool strain2 = v.y.kind == QuantityKind::kStrain;
  if (stress2 && strain1) {
    v.swap = true;
    v.x = CompressionPositive(NameQuantity(column2, type, units), column2);
    v.y = NameQuantity(column1, type, units);
  } else if (stress1 && strain2) {
    v.x = CompressionPositive(v.x, column1);
  } else {
    return v;
  }
  v.logX = true;
  // Compression curves are drawn with the compressive strain growing
  // downwards.
  v.reverseY = !(v.y.compressionNegative && (v.swap ? column1 : column2) > 0);
  return v;
}

}  // namespace soilcal::report
