// Each phase is read as one loading shape (rest, isotropic, oedometric,
// triaxial, shear or none of these) with a direction; the test is named by
// its most telling shape: shear before triaxial before oedometric before
// isotropic. Directions are compression positive, as the test is loaded.
#include "input/test_kind.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace soilcal::input {
namespace {

constexpr double kZero = 1e-12;  // below any load a test file means

enum class Shape { kRest, kIsotropic, kOedometric, kTriaxial, kShear, kOther };

struct Load {
  int flag = 0;  // 1: stress prescribed, 0: strain prescribed
  double value = 0.0;
};

struct PhaseLoad {
  Shape shape = Shape::kOther;
  int axial = 1;
  int shear = -1;
  int direction = 0;  // +1 compression or positive shear, -1 the reverse
  std::array<Load, 6> loads{};
};

bool IsZero(double v) { return std::abs(v) < kZero; }

bool Same(const Load& a, const Load& b) {
  return a.flag == b.flag &&
         std::abs(a.value - b.value) <= 1e-9 * std::max(std::abs(a.value), std::abs(b.value));
}

int Sign(double v) { return v < 0.0 ? -1 : 1; }

// Direction of a triaxial phase: +1 when the axial direction is loaded
// harder in compression than the lateral ones.
int TriaxialDirection(const Load& axial, const Load& lateral) {
  if (axial.flag == lateral.flag) return axial.value - lateral.value < 0.0 ? 1 : -1;
  if (axial.flag == 0) {  // axial strain, lateral stress: the usual triaxial cell
    if (!IsZero(axial.value)) return -Sign(axial.value);
    return lateral.value < 0.0 ? -1 : 1;  // squeezing the sides extends the axis
  }
  return -Sign(axial.value);
}

PhaseLoad ReadPhase(const LabTest& test, std::size_t p) {
  PhaseLoad out;
  for (std::size_t c = 0; c < 6; ++c) {
    const int flag = test.phaseFlags[p][c] == 1 ? 1 : 0;
    out.loads[c] = {flag, flag == 1 ? test.prescribedStress[p][c] : test.prescribedStrain[p][c]};
  }
  const auto& L = out.loads;
  // The largest loaded shear component makes a shear phase.
  for (int c = 3; c < 6; ++c) {
    if (IsZero(L[c].value)) continue;
    if (out.shear < 0 || std::abs(L[c].value) > std::abs(L[out.shear].value)) out.shear = c;
  }
  if (out.shear >= 0) {
    out.shape = Shape::kShear;
    out.direction = Sign(L[out.shear].value);
    return out;
  }
  if (Same(L[0], L[1]) && Same(L[1], L[2])) {
    out.shape = IsZero(L[0].value) ? Shape::kRest : Shape::kIsotropic;
    out.direction = -Sign(L[0].value);
    return out;
  }
  for (int a = 0; a < 3; ++a) {
    const Load& lateral = L[(a + 1) % 3];
    if (!Same(lateral, L[(a + 2) % 3])) continue;
    out.axial = a;
    if (lateral.flag == 0 && IsZero(lateral.value)) {
      out.shape = Shape::kOedometric;
      out.direction = -Sign(L[a].value);
    } else {
      out.shape = Shape::kTriaxial;
      out.direction = TriaxialDirection(L[a], lateral);
    }
    return out;
  }
  return out;
}

// Changes of direction between consecutive phases of one shape.
int Reversals(const std::vector<PhaseLoad>& phases) {
  int n = 0;
  for (std::size_t i = 1; i < phases.size(); ++i) {
    if (phases[i].direction != phases[i - 1].direction) ++n;
  }
  return n;
}

std::vector<PhaseLoad> OfShape(const std::vector<PhaseLoad>& phases, Shape shape) {
  std::vector<PhaseLoad> out;
  for (const PhaseLoad& p : phases) {
    if (p.shape == shape) out.push_back(p);
  }
  return out;
}

// The vertical of a simple-shear test: its one stress-controlled normal
// component, else y when it lies in the sheared plane.
int ShearVertical(const PhaseLoad& p) {
  int stressed = -1, count = 0;
  for (int c = 0; c < 3; ++c) {
    if (p.loads[c].flag == 1) {
      stressed = c;
      ++count;
    }
  }
  if (count == 1) return stressed;
  static constexpr int kPlane[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {2, 0}};
  const auto& plane = kPlane[p.shear];
  return plane[0] == 1 || plane[1] == 1 ? 1 : plane[0];
}

// Triaxial compression from no confining stress.
bool Unconfined(const LabTest& test, const PhaseLoad& first) {
  const double small = 1e-6 * std::abs(test.material.referencePressure);
  for (int c = 0; c < 3; ++c) {
    if (c == first.axial) continue;
    if (first.loads[c].flag != 1 || std::abs(test.initialStress[c]) > small) return false;
  }
  return true;
}

}  // namespace

TestType RecogniseTestType(const LabTest& test) {
  std::vector<PhaseLoad> phases;
  const auto n = std::min({static_cast<std::size_t>(std::max(test.nPhases, 0)), test.loadSteps.size(),
                           test.phaseFlags.size(), test.prescribedStrain.size(),
                           test.prescribedStress.size()});
  for (std::size_t p = 0; p < n; ++p) {
    if (test.loadSteps[p] > 0) phases.push_back(ReadPhase(test, p));
  }
  TestType type;
  if (const auto shear = OfShape(phases, Shape::kShear); !shear.empty()) {
    type.shear = shear.front().shear;
    type.axial = ShearVertical(shear.front());
    type.reversals = Reversals(shear);
    type.kind = type.reversals >= 2 ? TestKind::kCyclicDirectSimpleShear : TestKind::kDirectSimpleShear;
  } else if (const auto tx = OfShape(phases, Shape::kTriaxial); !tx.empty()) {
    type.axial = tx.front().axial;
    type.reversals = Reversals(tx);
    if (type.reversals >= 2) {
      type.kind = TestKind::kCyclicTriaxial;
    } else if (tx.front().direction > 0) {
      type.kind = TestKind::kTriaxialCompression;
      type.unconfined = Unconfined(test, tx.front());
    } else {
      type.kind = TestKind::kTriaxialExtension;
    }
  } else if (const auto oed = OfShape(phases, Shape::kOedometric); !oed.empty()) {
    type.kind = TestKind::kOedometer;
    type.axial = oed.front().axial;
    type.reversals = Reversals(oed);
  } else if (const auto iso = OfShape(phases, Shape::kIsotropic);
             !iso.empty() && OfShape(phases, Shape::kOther).empty()) {
    type.kind = TestKind::kIsotropicCompression;
    type.reversals = Reversals(iso);
  }
  if (type.kind == TestKind::kCyclicDirectSimpleShear || type.kind == TestKind::kCyclicTriaxial) {
    type.timeInCycles = true;
    for (std::size_t p = 0; p < n && p < test.timeIncrement.size(); ++p) {
      if (test.loadSteps[p] <= 0) continue;
      const double t = test.timeIncrement[p];
      if (std::abs(t - 0.25) > 1e-9 && std::abs(t - 0.5) > 1e-9) type.timeInCycles = false;
    }
  }
  return type;
}

namespace {
// The first name of each kind is its own; the others are spellings of
// earlier versions that are still read.
struct Name {
  TestKind kind;
  std::string_view name;
};
constexpr Name kNames[] = {
    {TestKind::kTriaxialCompression, "triaxial_compression"},
    {TestKind::kTriaxialExtension, "triaxial_extension"},
    {TestKind::kOedometer, "oedometer"},
    {TestKind::kIsotropicCompression, "isotropic_compression"},
    {TestKind::kDirectSimpleShear, "direct_simple_shear"},
    {TestKind::kCyclicDirectSimpleShear, "cyclic_direct_simple_shear"},
    {TestKind::kCyclicTriaxial, "cyclic_triaxial"},
    {TestKind::kGeneral, "general"},
};
constexpr Name kEarlierNames[] = {
    {TestKind::kDirectSimpleShear, "simple_shear"},
    {TestKind::kCyclicDirectSimpleShear, "cyclic_simple_shear"},
};
}  // namespace

std::string_view TestKindName(TestKind kind) {
  for (const Name& n : kNames) {
    if (n.kind == kind) return n.name;
  }
  return "general";
}

std::optional<TestKind> TestKindByName(std::string_view name) {
  for (const Name& n : kNames) {
    if (n.name == name) return n.kind;
  }
  for (const Name& n : kEarlierNames) {
    if (n.name == name) return n.kind;
  }
  return std::nullopt;
}

std::vector<std::string> TestKindNames() {
  std::vector<std::string> names;
  for (const Name& n : kNames) names.emplace_back(n.name);
  return names;
}

bool IsCyclic(TestKind kind) {
  return kind == TestKind::kCyclicDirectSimpleShear || kind == TestKind::kCyclicTriaxial;
}

std::string TestTypeText(const TestType& type) {
  if (type.kind == TestKind::kTriaxialCompression && type.unconfined) return "unconfined compression";
  std::string words(TestKindName(type.kind));
  std::replace(words.begin(), words.end(), '_', ' ');
  return words;
}

std::string_view ComponentName(int component) {
  static constexpr std::string_view kNames[6] = {"xx", "yy", "zz", "xy", "yz", "zx"};
  return component >= 0 && component < 6 ? kNames[component] : std::string_view("?");
}

}  // namespace soilcal::input
