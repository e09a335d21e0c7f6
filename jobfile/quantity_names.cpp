#include "jobfile/quantity_names.hpp"

#include "input/readers.hpp"

namespace soilcal::jobfile {
namespace {

using K = QuantityKind;

constexpr Quantity kQuantities[] = {
    // The common quantities of laboratory tests.
    {"axial_strain", "axial (vertical) strain εa = −εyy", K::kStrain, -14},
    {"volumetric_strain", "volumetric strain εv, positive in contraction", K::kStrain, -6},
    {"deviator_stress", "deviator stress q = σ′a − σ′r (negative in extension)", K::kStress, -29,
     2.0},
    {"mean_effective_stress", "mean effective stress p′ = (σ′xx + σ′yy + σ′zz)/3", K::kStress, -8},
    {"axial_stress", "effective axial stress σ′a = σ′yy", K::kStress, -20},
    {"radial_stress", "effective radial stress σ′r = σ′xx", K::kStress, -19},
    {"vertical_stress", "effective vertical stress σ′v = σ′yy", K::kStress, -20},
    {"vertical_strain", "vertical (axial) strain εa = −εyy, an oedometer's settlement over height",
     K::kStrain, -14},
    {"excess_pore_pressure", "excess pore pressure, positive in compression", K::kStress, -7},
    {"excess_pore_pressure_ratio", "excess pore pressure ratio r_u = Δu/σ′v0",
     K::kRatio, -7},
    {"shear_strain", "shear strain γxy (engineering strain)", K::kStrain, 16},
    {"shear_stress", "shear stress τxy", K::kStress, 22},
    {"cycles", "number of load cycles N of a cyclic test (its time)", K::kCount, 10},
    {"time", "time in the job's time unit", K::kTime, 10},
    // Every other quantity code of the program, under its own name.
    {"principal_strain_1", "major principal strain ε1", K::kStrain, -1},
    {"principal_strain_2", "intermediate principal strain ε2", K::kStrain, -27},
    {"principal_strain_3", "minor principal strain ε3", K::kStrain, -28},
    {"principal_stress_1", "major principal effective stress σ′1", K::kStress, -2},
    {"principal_stress_2", "intermediate principal effective stress σ′2", K::kStress, -3},
    {"principal_stress_3", "minor principal effective stress σ′3", K::kStress, -4},
    {"principal_stress_difference", "σ′1 − σ′3 (never negative)", K::kStress, 5},
    {"deviator_invariant", "q = √(3 J2) (never negative)", K::kStress, 9},
    {"strain_xx", "normal strain εxx", K::kStrain, -13},
    {"strain_yy", "normal strain εyy", K::kStrain, -14},
    {"strain_zz", "normal strain εzz", K::kStrain, -15},
    {"shear_strain_xy", "shear strain γxy", K::kStrain, 16},
    {"shear_strain_yz", "shear strain γyz", K::kStrain, 17},
    {"shear_strain_zx", "shear strain γzx", K::kStrain, 18},
    {"stress_xx", "effective normal stress σ′xx", K::kStress, -19},
    {"stress_yy", "effective normal stress σ′yy", K::kStress, -20},
    {"stress_zz", "effective normal stress σ′zz", K::kStress, -21},
    {"shear_stress_xy", "shear stress τxy", K::kStress, 22},
    {"shear_stress_yz", "shear stress τyz", K::kStress, 23},
    {"shear_stress_zx", "shear stress τzx", K::kStress, 24},
    {"half_sum_principal_stress", "s′ = (σ′1 + σ′3)/2", K::kStress, -25},
    {"max_shear_stress", "t = (σ′1 − σ′3)/2 (never negative)", K::kStress, -26},
    {"half_deviator_stress", "(σ′yy − σ′xx)/2", K::kStress, -29},
    {"shear_strain_invariant", "shear strain invariant of the strain deviator", K::kStrain, 30},
    {"total_stress_xx", "total normal stress σxx", K::kStress, -31},
    {"total_stress_yy", "total normal stress σyy", K::kStress, -32},
    {"total_stress_zz", "total normal stress σzz", K::kStress, -33},
    {"mean_total_stress", "mean total stress p", K::kStress, -34},
    {"half_sum_stress_xx_yy", "(σ′xx + σ′yy)/2", K::kStress, -35},
};

bool Is(const Quantity& q, std::string_view name) { return q.name == name; }

bool Prescribed(const NativeAxis& a, const TestFacts& f) {
  return input::IsPrescribed(a.code, f.flags, f.testType);
}

}  // namespace

std::span<const Quantity> Quantities() { return kQuantities; }

const Quantity* FindQuantity(std::string_view name) {
  for (const Quantity& q : kQuantities) {
    if (q.name == name) return &q;
  }
  return nullptr;
}

std::vector<std::string> QuantityNames() {
  std::vector<std::string> names;
  for (const Quantity& q : kQuantities) names.emplace_back(q.name);
  return names;
}

std::vector<NativeAxis> Candidates(const Quantity& q, const TestFacts& f) {
  const bool compression = f.kind == input::TestKind::kTriaxialCompression;
  const bool extension = f.kind == input::TestKind::kTriaxialExtension;
  // In triaxial compression the axial stress is the major principal stress
  // and the (equal) radial stresses the minor one; in extension the reverse.
  if (Is(q, "deviator_stress")) {
    if (compression) return {{5, 1.0}, {-29, 2.0}};
    if (extension) return {{-5, 1.0}, {-29, 2.0}};
  }
  // r_u is the excess pore pressure over the initial vertical effective
  // stress, a constant of the test: the native file holds r_u σ′v0, so the
  // relative errors are those of r_u.
  if (Is(q, "excess_pore_pressure_ratio")) {
    if (!(f.initialVerticalStress > 0.0)) return {};
    return {{q.code, 1.0, f.initialVerticalStress}};
  }
  // The time of a cyclic test counts its cycles (a period of 1).
  if (Is(q, "cycles") && !input::IsCyclic(f.kind)) return {};
  std::vector<NativeAxis> list{{q.code, q.factor}};
  if (Is(q, "axial_stress") || Is(q, "vertical_stress")) {
    if (compression) list.push_back({-2, 1.0});
    if (extension) list.push_back({-4, 1.0});
  }
  if (Is(q, "radial_stress")) {
    if (compression) list.push_back({-4, 1.0});
    if (extension) list.push_back({-2, 1.0});
  }
  // With the lateral strains held at zero, εv and εyy are the same number.
  if (f.lateralStrainFixed && (Is(q, "axial_strain") || Is(q, "vertical_strain"))) {
    list.push_back({-6, 1.0});
  }
  if (f.lateralStrainFixed && Is(q, "volumetric_strain")) list.push_back({-14, 1.0});
  return list;
}

std::optional<CodePair> ChooseCodes(const Quantity& x, const Quantity& y, const TestFacts& f) {
  const std::vector<NativeAxis> xs = Candidates(x, f);
  const std::vector<NativeAxis> ys = Candidates(y, f);
  for (const NativeAxis& cx : xs) {
    for (const NativeAxis& cy : ys) {
      // The reader exchanges the columns only when y is prescribed and x is not.
      if (!(Prescribed(cy, f) && !Prescribed(cx, f))) return CodePair{cx, cy};
    }
  }
  return std::nullopt;
}

namespace {

// Names (with column sign) whose candidates hold code `c` with factor 1.
std::vector<NamedAxis> NamesOf(int c, const TestFacts& f) {
  std::vector<NamedAxis> names;
  for (double sign : {1.0, -1.0}) {
    for (const Quantity& q : kQuantities) {
      for (const NativeAxis& a : Candidates(q, f)) {
        if (a.factor == 1.0 && a.per == 1.0 && a.code * static_cast<int>(sign) == c) {
          names.push_back({&q, sign});
          break;
        }
      }
    }
  }
  return names;
}

}  // namespace

std::optional<NamedPair> NameCodes(int cx, int cy, const TestFacts& f) {
  for (const NamedAxis& x : NamesOf(cx, f)) {
    for (const NamedAxis& y : NamesOf(cy, f)) {
      if (x.quantity == y.quantity) continue;
      const std::optional<CodePair> codes = ChooseCodes(*x.quantity, *y.quantity, f);
      if (!codes || codes->x.factor != 1.0 || codes->y.factor != 1.0 || codes->x.per != 1.0 ||
          codes->y.per != 1.0) {
        continue;
      }
      if (codes->x.code * static_cast<int>(x.scale) == cx &&
          codes->y.code * static_cast<int>(y.scale) == cy) {
        return NamedPair{x, y};
      }
    }
  }
  return std::nullopt;
}

}  // namespace soilcal::jobfile
