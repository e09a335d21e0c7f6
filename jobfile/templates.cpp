#include "jobfile/templates.hpp"

#include <algorithm>
#include <climits>

namespace soilcal::jobfile {
namespace {

constexpr int kXX = 0, kYY = 1, kZZ = 2, kXY = 3;

constexpr std::array<int, 6> kTriaxialFlags{1, 0, 1, 1, 1, 1};   // σr held, εa driven
constexpr std::array<int, 6> kOedometerStressFlags{0, 1, 0, 0, 0, 0};
constexpr std::array<int, 6> kOedometerStrainFlags{0, 0, 0, 0, 0, 0};
constexpr std::array<int, 6> kIsotropicFlags{1, 1, 1, 1, 1, 1};
constexpr std::array<int, 6> kSimpleShearFlags{0, 1, 0, 0, 1, 1};  // σv held, γxy driven
constexpr std::array<int, 6> kSimpleShearHeightFlags{0, 0, 0, 0, 1, 1};
constexpr std::array<int, 6> kCyclicSimpleShearFlags{0, 1, 0, 1, 1, 1};  // σv, τ cycled

// Tension-positive value of a compression-positive one; zero stays +0 so
// that a written file holds "0", never "-0".
double Native(double compressionPositive) {
  return compressionPositive == 0.0 ? 0.0 : -compressionPositive;
}

template <typename T>
T PerPhase(const std::vector<T>& values, std::size_t p, T fallback) {
  if (values.empty()) return fallback;
  return p < values.size() ? values[p] : values.back();
}

Phase NewPhase(const TemplateValues& v, std::size_t p, const std::array<int, 6>& flags) {
  Phase phase;
  phase.loadSteps = PerPhase(v.steps, p, 100);
  phase.timeIncrement = PerPhase(v.time, p, 1.0);
  phase.flags = flags;
  return phase;
}

std::array<double, 6> StartStress(double horizontal, double vertical) {
  return {Native(horizontal), Native(vertical), Native(horizontal), 0.0, 0.0, 0.0};
}

bool SamePhase(const Phase& a, const Phase& b) {
  return a.loadSteps == b.loadSteps && a.timeIncrement == b.timeIncrement && a.strain == b.strain && a.stress == b.stress &&
         a.flags == b.flags;
}

bool SameLoading(const Loading& a, const Loading& b) {
  if (a.testType != b.testType || a.initialStress != b.initialStress) return false;
  if (a.phases.size() != b.phases.size()) return false;
  for (std::size_t p = 0; p < a.phases.size(); ++p) {
    if (!SamePhase(a.phases[p], b.phases[p])) return false;
  }
  return true;
}

bool AllFlags(const Loading& l, const std::array<int, 6>& flags) {
  return std::all_of(l.phases.begin(), l.phases.end(),
                     [&](const Phase& p) { return p.flags == flags; });
}

// Values of the components other than `keep` are all zero.
bool OnlyComponent(const std::array<double, 6>& v, int keep) {
  for (int i = 0; i < 6; ++i) {
    if (i != keep && v[static_cast<std::size_t>(i)] != 0.0) return false;
  }
  return true;
}

bool AxisymmetricStart(const Loading& l) {
  const auto& s = l.initialStress;
  return s[kXX] == s[kZZ] && s[3] == 0.0 && s[4] == 0.0 && s[5] == 0.0;
}

// Steps and time of each phase, and the start stress, for a candidate.
TemplateValues Candidate(input::TestKind kind, const Loading& l) {
  TemplateValues v;
  v.kind = kind;
  for (const Phase& p : l.phases) {
    v.steps.push_back(p.loadSteps);
    v.time.push_back(p.timeIncrement);
  }
  v.initialVerticalStress = -l.initialStress[kYY];
  if (l.initialStress[kXX] != l.initialStress[kYY]) v.initialHorizontalStress = -l.initialStress[kXX];
  return v;
}

// A cyclic test of input/cyclic_tests.hpp: a quarter cycle, 2 cycles - 1
// half cycles and a last quarter of one stress component, from a start the
// builder makes. Expand decides whether the values give it back exactly.
std::optional<TemplateValues> CyclicValues(const Loading& l) {
  const std::size_t n = l.phases.size();
  if (l.testType != 1 || n < 3 || n % 2 == 0 || !AxisymmetricStart(l)) return std::nullopt;
  const bool shear = AllFlags(l, kCyclicSimpleShearFlags);
  if (!shear && !AllFlags(l, kIsotropicFlags)) return std::nullopt;
  TemplateValues v;
  v.kind = shear ? input::TestKind::kCyclicDirectSimpleShear : input::TestKind::kCyclicTriaxial;
  v.cycles = static_cast<int>(n / 2);
  v.steps = {l.phases[1].loadSteps};
  if (shear) {
    v.initialVerticalStress = -l.initialStress[kYY];
    v.k0 = l.initialStress[kXX] / l.initialStress[kYY];
    v.amplitude = l.phases.front().stress[kXY];
    // The cyclic stress ratio where it gives the very amplitude.
    const double ratio = v.amplitude / v.initialVerticalStress;
    if (ratio * v.initialVerticalStress == v.amplitude) v.cyclicStressRatio = ratio;
  } else {
    v.cellPressure = -l.initialStress[kXX];
    v.amplitude = -l.phases.front().stress[kYY];
  }
  // What the reader takes: a compressive start and a positive first quarter.
  const double start = shear ? v.initialVerticalStress : v.cellPressure;
  if (!(start > 0.0) || !(v.amplitude > 0.0)) return std::nullopt;
  return v;
}

// Levels read off the phase ends stand for the phases only when each is a
// branch of its own (consecutive phases turn) and no branch goes past its
// level.
std::optional<TemplateValues> OnePhasePerLevel(TemplateValues v) {
  if (!v.levels.empty()) v.overshoot = 0.0;
  if (BranchesOf(v).size() != PhaseCount(v)) return std::nullopt;
  return v;
}

// The values of each kind's template read off a loading; Recognise checks
// that they give it back.
std::optional<TemplateValues> TriaxialValues(const Loading& l) {
  const Phase& first = l.phases.front();
  if (l.phases.size() != 1 || first.flags != kTriaxialFlags || !OnlyComponent(first.strain, kYY) ||
      !OnlyComponent(first.stress, -1) || first.strain[kYY] == 0.0) {
    return std::nullopt;
  }
  const bool compression = first.strain[kYY] < 0.0;
  TemplateValues v = Candidate(compression ? input::TestKind::kTriaxialCompression
                                           : input::TestKind::kTriaxialExtension, l);
  v.cellPressure = -l.initialStress[kXX];
  v.initialHorizontalStress.reset();
  if (l.initialStress[kYY] != l.initialStress[kXX]) v.initialAxialStress = -l.initialStress[kYY];
  v.axialStrain = compression ? -first.strain[kYY] : first.strain[kYY];
  return v;
}

std::optional<TemplateValues> OedometerValues(const Loading& l) {
  if (!AllFlags(l, kOedometerStressFlags) && !AllFlags(l, kOedometerStrainFlags)) return std::nullopt;
  const bool stress = l.phases.front().flags == kOedometerStressFlags;
  TemplateValues v = Candidate(input::TestKind::kOedometer, l);
  double level = v.initialVerticalStress;
  double strain = 0.0;
  for (const Phase& p : l.phases) {
    if (!OnlyComponent(stress ? p.stress : p.strain, kYY)) return std::nullopt;
    if (!OnlyComponent(stress ? p.strain : p.stress, -1)) return std::nullopt;
    if (stress) v.levels.push_back(level -= p.stress[kYY]);
    if (!stress) v.strains.push_back(strain -= p.strain[kYY]);
  }
  return OnePhasePerLevel(v);
}

std::optional<TemplateValues> IsotropicValues(const Loading& l) {
  if (!AllFlags(l, kIsotropicFlags) || l.initialStress[kXX] != l.initialStress[kYY]) {
    return std::nullopt;
  }
  TemplateValues v = Candidate(input::TestKind::kIsotropicCompression, l);
  double level = v.initialVerticalStress;
  for (const Phase& p : l.phases) {
    if (!OnlyComponent(p.strain, -1)) return std::nullopt;
    if (p.stress[kXX] != p.stress[kYY] || p.stress[kZZ] != p.stress[kYY]) return std::nullopt;
    v.levels.push_back(level -= p.stress[kYY]);
  }
  return OnePhasePerLevel(v);
}

std::optional<TemplateValues> SimpleShearValues(const Loading& l) {
  const Phase& first = l.phases.front();
  if (l.phases.size() != 1 ||
      (first.flags != kSimpleShearFlags && first.flags != kSimpleShearHeightFlags) ||
      !OnlyComponent(first.strain, kXY) || !OnlyComponent(first.stress, -1)) {
    return std::nullopt;
  }
  TemplateValues v = Candidate(input::TestKind::kDirectSimpleShear, l);
  v.constantHeight = first.flags == kSimpleShearHeightFlags;
  v.shearStrain = first.strain[kXY];
  return v;
}

std::optional<TemplateValues> ValuesOfKind(input::TestKind kind, const Loading& l) {
  if (l.testType != 1 || l.phases.empty() || !AxisymmetricStart(l)) return std::nullopt;
  switch (kind) {
    case input::TestKind::kTriaxialCompression:
    case input::TestKind::kTriaxialExtension: return TriaxialValues(l);
    case input::TestKind::kOedometer: return OedometerValues(l);
    case input::TestKind::kIsotropicCompression: return IsotropicValues(l);
    case input::TestKind::kDirectSimpleShear: return SimpleShearValues(l);
    case input::TestKind::kCyclicDirectSimpleShear:
    case input::TestKind::kCyclicTriaxial: return CyclicValues(l);
    case input::TestKind::kGeneral: break;
  }
  return std::nullopt;
}

}  // namespace

input::TestDescription CyclicDescription(const TemplateValues& v) {
  const int steps = v.steps.empty() ? kCyclicStepsPerHalfCycle : v.steps.front();
  if (v.kind == input::TestKind::kCyclicTriaxial) {
    return input::CyclicTriaxial(v.cellPressure, v.amplitude, v.cycles, steps);
  }
  if (v.cyclicStressRatio) {
    return input::CyclicDirectSimpleShearAtRatio(v.initialVerticalStress, v.k0,
                                                 *v.cyclicStressRatio, v.cycles, steps);
  }
  return input::CyclicDirectSimpleShear(v.initialVerticalStress, v.k0, v.amplitude, v.cycles,
                                        steps);
}

std::vector<Branch> BranchesOf(const TemplateValues& v) {
  if (v.kind == input::TestKind::kIsotropicCompression) {
    return BranchesOf(v.initialVerticalStress, v.levels);
  }
  if (v.kind != input::TestKind::kOedometer) return {};
  return v.levels.empty() ? BranchesOf(0.0, v.strains)
                          : BranchesOf(v.initialVerticalStress, v.levels);
}

std::size_t PhaseCount(const TemplateValues& v) {
  switch (v.kind) {
    case input::TestKind::kCyclicDirectSimpleShear:
    case input::TestKind::kCyclicTriaxial:
      return v.cycles < 1 ? 0 : 2 * static_cast<std::size_t>(v.cycles) + 1;
    case input::TestKind::kOedometer:
      return v.levels.empty() ? v.strains.size() : v.levels.size();
    case input::TestKind::kIsotropicCompression:
      return v.levels.size();
    default:
      return 1;
  }
}

double FromJobSign(int component, double value) { return component < 3 ? Native(value) : value; }

Loading Expand(const TemplateValues& v) {
  Loading l;
  const double vertical = v.initialVerticalStress;
  const double horizontal = v.initialHorizontalStress.value_or(vertical);
  switch (v.kind) {
    case input::TestKind::kTriaxialCompression:
    case input::TestKind::kTriaxialExtension: {
      l.initialStress = StartStress(v.cellPressure, v.initialAxialStress.value_or(v.cellPressure));
      Phase p = NewPhase(v, 0, kTriaxialFlags);
      const double size = v.axialStrain < 0.0 ? -v.axialStrain : v.axialStrain;
      p.strain[kYY] = v.kind == input::TestKind::kTriaxialCompression ? Native(size) : size;
      l.phases.push_back(p);
      break;
    }
    case input::TestKind::kOedometer:
    case input::TestKind::kIsotropicCompression: {
      const bool isotropic = v.kind == input::TestKind::kIsotropicCompression;
      const bool stress = isotropic || !v.levels.empty();
      l.initialStress = isotropic ? StartStress(vertical, vertical) : StartStress(horizontal, vertical);
      const std::array<int, 6>& flags =
          isotropic ? kIsotropicFlags : (stress ? kOedometerStressFlags : kOedometerStrainFlags);
      double previous = stress ? vertical : 0.0;
      for (const Branch& b : BranchesOf(v)) {
        Phase p = NewPhase(v, b.firstLevel, flags);
        for (std::size_t k = b.firstLevel + 1; k <= b.lastLevel; ++k) {
          const Phase more = NewPhase(v, k, flags);
          p.loadSteps += more.loadSteps;
          p.timeIncrement += more.timeIncrement;
        }
        // Prescribed strains are met exactly; a stress falls a little short.
        const double target = BranchTarget(b, stress ? v.overshoot : 0.0);
        const double step = Native(target - previous);
        if (isotropic) p.stress[kXX] = p.stress[kZZ] = step;
        (stress ? p.stress : p.strain)[kYY] = step;
        previous = target;
        l.phases.push_back(p);
      }
      break;
    }
    case input::TestKind::kDirectSimpleShear: {
      l.initialStress = StartStress(horizontal, vertical);
      Phase p = NewPhase(v, 0, v.constantHeight ? kSimpleShearHeightFlags : kSimpleShearFlags);
      p.strain[kXY] = v.shearStrain;
      l.phases.push_back(p);
      break;
    }
    case input::TestKind::kCyclicDirectSimpleShear:
    case input::TestKind::kCyclicTriaxial: {
      const input::TestDescription d = CyclicDescription(v);
      l.initialStress = d.initialStress;
      l.phases = d.phases;
      break;
    }
    case input::TestKind::kGeneral:
      break;
  }
  return l;
}

Loading LoadingOf(const input::LabTest& test) {
  Loading l;
  l.testType = test.testType;
  l.initialStress = test.initialStress;
  for (std::size_t p = 0; p < static_cast<std::size_t>(std::max(test.nPhases, 0)); ++p) {
    Phase phase;
    phase.loadSteps = test.loadSteps[p];
    phase.timeIncrement = test.timeIncrement[p];
    phase.strain = test.prescribedStrain[p];
    phase.stress = test.prescribedStress[p];
    phase.flags = test.phaseFlags[p];
    l.phases.push_back(phase);
  }
  return l;
}

void ApplyLoading(const Loading& l, input::LabTest& test) {
  test.testType = l.testType;
  test.initialStress = l.initialStress;
  input::WritePhases(l.phases, test);
}

std::optional<TemplateValues> Recognise(const input::LabTest& test) {
  const Loading loading = LoadingOf(test);
  const input::TestKind kind = input::RecogniseTestType(test).kind;
  // A template stands for the test only when it gives back exactly its
  // numbers (levels summed up from increments need not).
  const std::optional<TemplateValues> v = ValuesOfKind(kind, loading);
  if (v && v->kind == kind && SameLoading(Expand(*v), loading)) return v;
  return std::nullopt;
}

TestFacts FactsOf(input::TestKind kind, const Loading& l) {
  TestFacts f;
    f.initialVerticalStress = -l.initialStress[kYY] + 0.0;
  f.kind = kind;
  f.testType = l.testType;
  if (!l.phases.empty()) f.flags = l.phases.back().flags;
  f.lateralStrainFixed =
      !l.phases.empty() && std::all_of(l.phases.begin(), l.phases.end(), [](const Phase& p) {
        return p.flags[kXX] == 0 && p.flags[kZZ] == 0 && p.strain[kXX] == 0.0 &&
               p.strain[kZZ] == 0.0;
      });
  return f;
}

}  // namespace soilcal::jobfile
