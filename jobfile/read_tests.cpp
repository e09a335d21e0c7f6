// [[tests]] of a TOML job: each test from its template (or its explicit
// phases) to the description of a lab-test file, with its curves.
#include <algorithm>
#include <cctype>
#include <set>

#include "jobfile/nearest.hpp"
#include "jobfile/reader_parts.hpp"
#include "services/diag.hpp"

namespace soilcal::jobfile::reader {
namespace {

constexpr const char* kComponents[] = {"xx", "yy", "zz", "xy", "yz", "zx"};
constexpr long long kMaxCycles = 100000;

const std::vector<std::string> kCommonKeys{"name",  "type",   "title", "drainage", "variant",
                                           "steps", "solver", "curves", "e0",       "n0"};

std::vector<std::string> KeysOf(input::TestKind kind) {
  std::vector<std::string> keys = kCommonKeys;
  // The time of a cyclic test counts its cycles: no time of its own.
  if (!IsCyclic(kind)) keys.emplace_back("time");
  auto add = [&](std::initializer_list<const char*> more) {
    for (const char* k : more) keys.emplace_back(k);
  };
  switch (kind) {
    case input::TestKind::kTriaxialCompression:
    case input::TestKind::kTriaxialExtension:
      add({"cell_pressure", "axial_strain", "initial_axial_stress"});
      break;
    case input::TestKind::kOedometer:
      add({"initial_vertical_stress", "initial_horizontal_stress", "k0", "vertical_stress",
           "vertical_strain", "overshoot"});
      break;
    case input::TestKind::kIsotropicCompression:
      add({"initial_pressure", "pressure", "overshoot"});
      break;
    case input::TestKind::kDirectSimpleShear:
      add({"vertical_stress", "initial_horizontal_stress", "k0", "shear_strain",
           "constant_height"});
      break;
    case input::TestKind::kCyclicDirectSimpleShear:
      add({"vertical_stress", "k0", "shear_stress_amplitude", "cyclic_stress_ratio", "cycles"});
      break;
    case input::TestKind::kCyclicTriaxial:
      add({"cell_pressure", "deviator_amplitude", "cyclic_stress_ratio", "cycles"});
      break;
    case input::TestKind::kGeneral:
      add({"initial_stress", "phases", "test_type"});
      break;
  }
  return keys;
}

bool ValidTestName(const std::string& name) {
  if (name.empty() || name.size() > 40) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
  });
}

// Steps and time of each of `n` phases: one value for all or one per phase.
}  // namespace

void StepsAndTime(const State& s, const toml::table& t, std::size_t n, TemplateValues& v) {
  const std::vector<long long> steps = s.file.Integers(t, "steps");
  const std::vector<double> time = s.file.Numbers(t, "time");
  if (steps.size() > 1 && steps.size() != n) {
    s.file.Fail(kJobFileUnreadable, *t.get("steps"),
                "steps gives " + std::to_string(steps.size()) + " values for " +
                    std::to_string(n) + " phases: give one for all or one per phase");
  }
  if (time.size() > 1 && time.size() != n) {
    s.file.Fail(kJobFileUnreadable, *t.get("time"),
                "time gives " + std::to_string(time.size()) + " values for " +
                    std::to_string(n) + " phases: give one for all or one per phase");
  }
  for (long long k : steps) {
    if (k < 1 || k > kMaxSteps) {
      s.file.Fail(kJobFileUnreadable, *t.get("steps"),
                  "steps must lie in 1.." + std::to_string(kMaxSteps) + " (load steps of a phase)");
    }
    v.steps.push_back(static_cast<int>(k));
  }
  v.time = time;
}

namespace {

double Required(const State& s, const toml::table& t, const char* key, const std::string& what) {
  return s.file.RequiredNumber(t, key, what);
}

std::optional<double> Horizontal(const State& s, const toml::table& t, double vertical) {
  const std::optional<double> given = s.file.Number(t, "initial_horizontal_stress");
  const std::optional<double> k0 = s.file.Number(t, "k0");
  if (given && k0) {
    s.file.Fail(kJobFileUnreadable, *t.get("k0"),
                "give initial_horizontal_stress or k0, not both");
  }
  if (k0) return *k0 * vertical;
  return given;
}

// The stress a test of stress levels starts from: the key when given, else
// the first level, which then is no phase of its own.
double StartLevel(const State& s, const toml::table& t, const char* key,
                  std::vector<double>& levels, const std::string& what) {
  if (const std::optional<double> start = s.file.Number(t, key)) return *start;
  if (levels.size() < 2) {
    s.file.Fail(kJobFileUnreadable, t,
                what + " needs " + key + " (the stress it starts from) or at least two levels, "
                "the first of which is the start");
  }
  const double start = levels.front();
  levels.erase(levels.begin());
  return start;
}

// The amplitude of a cyclic test: `amplitudeKey`, or the cyclic stress
// ratio times `perRatio` (sigma'v0 for tau/sigma'v0 in simple shear,
// 2 sigma'3c for q/(2 sigma'3c) in a triaxial test), positive.
void CyclicAmplitude(const State& s, const toml::table& t, const std::string& what,
                     const char* amplitudeKey, double perRatio, TemplateValues& v) {
  const std::optional<double> amplitude = s.file.Number(t, amplitudeKey);
  const std::optional<double> ratio = s.file.Number(t, "cyclic_stress_ratio");
  if (amplitude.has_value() == ratio.has_value()) {
    s.file.Fail(kJobFileUnreadable, amplitude ? t.get(amplitudeKey)->source() : t.source(),
                what + " needs either " + amplitudeKey + " or cyclic_stress_ratio, not both");
  }
  const double size = amplitude ? *amplitude : *ratio;
  if (!(size > 0.0)) {
    s.file.Fail(kJobFileUnreadable, *t.get(amplitude ? amplitudeKey : "cyclic_stress_ratio"),
                "the amplitude of a cyclic test must be positive (the first quarter cycle "
                "loads in the positive sense)");
  }
  if (v.kind == input::TestKind::kCyclicDirectSimpleShear) {
    // The builder takes the ratio itself.
    v.amplitude = amplitude.value_or(0.0);
    v.cyclicStressRatio = ratio;
  } else {
    v.amplitude = amplitude ? *amplitude : *ratio * perRatio;
  }
}

// A cyclic test: its start, the amplitude, the number of cycles and the
// load steps of a half cycle (half of them in each quarter cycle).
void CyclicValues(const State& s, const toml::table& t, const std::string& what,
                  TemplateValues& v) {
  if (v.kind == input::TestKind::kCyclicDirectSimpleShear) {
    v.initialVerticalStress = Required(s, t, "vertical_stress", what);
    if (!(v.initialVerticalStress > 0.0)) {
      s.file.Fail(kJobFileUnreadable, *t.get("vertical_stress"),
                  "vertical_stress is the vertical effective stress the test starts from; it "
                  "must be positive (compression)");
    }
    v.k0 = s.file.Number(t, "k0", 1.0);
    CyclicAmplitude(s, t, what, "shear_stress_amplitude", v.initialVerticalStress, v);
  } else {
    v.cellPressure = Required(s, t, "cell_pressure", what);
    if (!(v.cellPressure > 0.0)) {
      s.file.Fail(kJobFileUnreadable, *t.get("cell_pressure"),
                  "cell_pressure must be positive (compression)");
    }
    CyclicAmplitude(s, t, what, "deviator_amplitude", 2.0 * v.cellPressure, v);
  }
  const std::optional<long long> cycles = s.file.Integer(t, "cycles");
  if (!cycles) s.file.Fail(kJobFileUnreadable, t, what + " needs cycles = N (whole load cycles)");
  if (*cycles < 1 || *cycles > kMaxCycles) {
    s.file.Fail(kJobFileUnreadable, *t.get("cycles"),
                "cycles must lie in 1.." + std::to_string(kMaxCycles));
  }
  v.cycles = static_cast<int>(*cycles);
  const toml::node* steps = t.get("steps");
  if (steps != nullptr && !steps->is_integer()) {
    s.file.Fail(kJobFileUnreadable, *steps,
                "steps of a cyclic test is one whole number: the load steps of a half cycle");
  }
  const long long perHalf = s.file.Integer(t, "steps").value_or(kCyclicStepsPerHalfCycle);
  if (perHalf < 1 || perHalf * (2 * *cycles) > kMaxSteps) {
    s.file.Fail(kJobFileUnreadable, steps != nullptr ? steps->source() : t.source(),
                "steps is the number of load steps of a half cycle: at least 1, and at most " +
                    std::to_string(kMaxSteps) + " in all cycles");
  }
  v.steps = {static_cast<int>(perHalf)};
}

// How far past its last level a load branch goes, as a fraction of it.
double Overshoot(const State& s, const toml::table& t) {
  const double f = s.file.Number(t, "overshoot", kDefaultOvershoot);
  if (!(f >= 0.0 && f <= 0.2)) {
    s.file.Fail(kJobFileUnreadable, *t.get("overshoot"),
                "overshoot is the fraction by which each load branch goes past its last level "
                "(default " + services::FormatReal(kDefaultOvershoot) + "); it must lie in 0..0.2");
  }
  return f;
}

TemplateValues TemplateTest(const State& s, const toml::table& t, input::TestKind kind,
                            const std::string& what) {
  TemplateValues v;
  v.kind = kind;
  switch (kind) {
    case input::TestKind::kTriaxialCompression:
    case input::TestKind::kTriaxialExtension:
      v.cellPressure = Required(s, t, "cell_pressure", what);
      v.axialStrain = Required(s, t, "axial_strain", what);
      v.initialAxialStress = s.file.Number(t, "initial_axial_stress");
      if (v.axialStrain == 0.0) {
        s.file.Fail(kJobFileUnreadable, *t.get("axial_strain"),
                    "axial_strain is the final axial strain (a fraction, 0.1 for 10 %); it must "
                    "not be 0");
      }
      break;
    case input::TestKind::kOedometer: {
      v.levels = s.file.Numbers(t, "vertical_stress");
      v.strains = s.file.Numbers(t, "vertical_strain");
      if (v.levels.empty() == v.strains.empty()) {
        s.file.Fail(kJobFileUnreadable, t,
                    what + " needs either vertical_stress = [stress levels] (load control) or "
                           "vertical_strain = [strains] (strain control)");
      }
      v.initialVerticalStress = StartLevel(s, t, "initial_vertical_stress", v.levels, what);
      v.initialHorizontalStress = Horizontal(s, t, v.initialVerticalStress);
      v.overshoot = Overshoot(s, t);
      break;
    }
    case input::TestKind::kIsotropicCompression:
      v.levels = s.file.Numbers(t, "pressure");
      if (v.levels.empty()) {
        s.file.Fail(kJobFileUnreadable, t, what + " needs pressure = [pressure levels]");
      }
      v.initialVerticalStress = StartLevel(s, t, "initial_pressure", v.levels, what);
      v.overshoot = Overshoot(s, t);
      break;
    case input::TestKind::kDirectSimpleShear:
      v.initialVerticalStress = Required(s, t, "vertical_stress", what);
      v.initialHorizontalStress = Horizontal(s, t, v.initialVerticalStress);
      v.shearStrain = Required(s, t, "shear_strain", what);
      v.constantHeight = s.file.Boolean(t, "constant_height").value_or(false);
      break;
    case input::TestKind::kCyclicDirectSimpleShear:
    case input::TestKind::kCyclicTriaxial:
      CyclicValues(s, t, what, v);
      return v;
    case input::TestKind::kGeneral:
      break;
  }
  StepsAndTime(s, t, PhaseCount(v), v);
  return v;
}

// Components of one phase of a general test: each in `strain` or `stress`.
Phase GeneralPhase(const State& s, const toml::table& p, int number) {
  const std::string what = "phase " + std::to_string(number);
  s.file.CheckKeys(p, {"steps", "time", "strain", "stress"}, what);
  Phase phase;
  phase.loadSteps = static_cast<int>(s.file.Integer(p, "steps").value_or(100));
  phase.timeIncrement = s.file.Number(p, "time", 1.0);
  if (phase.loadSteps < 1 || phase.loadSteps > kMaxSteps) {
    s.file.Fail(kJobFileUnreadable, p, what + ": steps must lie in 1.." + std::to_string(kMaxSteps));
  }
  std::array<bool, 6> set{};
  const std::vector<std::string> names(std::begin(kComponents), std::end(kComponents));
  for (const char* control : {"strain", "stress"}) {
    const toml::node* node = p.get(control);
    if (node == nullptr) continue;
    const toml::table* values = node->as_table();
    if (values == nullptr) {
      s.file.Fail(kJobFileUnreadable, *node,
                  what + ": " + control + " must be a table such as { yy = 0.05 }");
    }
    s.file.CheckKeys(*values, names, what + " " + control);
    for (int i = 0; i < 6; ++i) {
      const std::optional<double> v = s.file.Number(*values, kComponents[i]);
      if (!v) continue;
      const auto k = static_cast<std::size_t>(i);
      if (set[k]) {
        s.file.Fail(kJobFileUnreadable, *values,
                    what + ": " + kComponents[i] +
                        " is given as a strain and as a stress; a component is controlled by one");
      }
      set[k] = true;
      const bool stress = std::string_view(control) == "stress";
      phase.flags[k] = stress ? 1 : 0;
      (stress ? phase.stress : phase.strain)[k] = FromJobSign(i, *v);
    }
  }
  for (int i = 0; i < 6; ++i) {
    if (!set[static_cast<std::size_t>(i)]) {
      s.file.Fail(kJobFileUnreadable, p,
                  what + " leaves " + kComponents[i] +
                      " uncontrolled: give it in strain = {...} or stress = {...}");
    }
  }
  return phase;
}

Loading GeneralTest(const State& s, const toml::table& t, const std::string& what) {
  Loading l;
  const std::vector<double> start = s.file.Numbers(t, "initial_stress");
  if (start.size() != 6) {
    s.file.Fail(kJobFileUnreadable, t,
                what + " needs initial_stress = [xx, yy, zz, xy, yz, zx] (compression positive)");
  }
  for (int i = 0; i < 6; ++i) {
    l.initialStress[static_cast<std::size_t>(i)] = FromJobSign(i, start[static_cast<std::size_t>(i)]);
  }
  l.testType = static_cast<int>(s.file.Integer(t, "test_type").value_or(1));
  if (l.testType == 6) {
    s.file.Fail(kJobFileUnreadable, *t.get("test_type"), "test type 6 (a cavity test) cannot be simulated");
  }
  const toml::array* phases = t["phases"].as_array();
  if (phases == nullptr || phases->empty()) {
    s.file.Fail(kJobFileUnreadable, t, what + " needs its phases as [[tests.phases]]");
  }
  int number = 0;
  for (const toml::node& node : *phases) {
    const toml::table* p = node.as_table();
    if (p == nullptr) s.file.Fail(kJobFileUnreadable, node, what + ": a phase must be a table");
    l.phases.push_back(GeneralPhase(s, *p, ++number));
  }
  return l;
}

}  // namespace

void ReadSolver(const State& s, const toml::table& t, input::LabTest& test) {
  test.tolerance = 0.01;
  test.maxIterations = 200;
  test.realSettings[0] = 1.0;
  test.accelerationFlag = 0;
  const toml::node* node = t.get("solver");
  if (node == nullptr) return;
  const toml::table* solver = node->as_table();
  if (solver == nullptr) {
    s.file.Fail(kJobFileUnreadable, *node, "solver must be a table, not " + TypeWords(*node));
  }
  s.file.CheckKeys(*solver, {"tolerance", "max_iterations", "relaxation", "acceleration"},
                   "solver");
  test.tolerance = s.file.Number(*solver, "tolerance", test.tolerance);
  test.maxIterations = static_cast<int>(
      std::clamp<long long>(s.file.Integer(*solver, "max_iterations").value_or(200), 0, 1000000000));
  test.realSettings[0] = s.file.Number(*solver, "relaxation", 1.0);
  test.accelerationFlag = static_cast<int>(s.file.Integer(*solver, "acceleration").value_or(0));
}

namespace {

}  // namespace

int Variant(const State& s, const toml::table& t) {
  const std::optional<std::string> drainage = s.file.String(t, "drainage");
  const std::optional<long long> variant = s.file.Integer(t, "variant");
  if (drainage && variant) {
    s.file.Fail(kJobFileUnreadable, *t.get("variant"), "give either drainage or variant, not both");
  }
  if (drainage) {
    if (*drainage != "drained" && *drainage != "undrained") {
      s.file.Fail(kJobFileUnreadable, *t.get("drainage"),
                  "drainage must be \"drained\" or \"undrained\", not \"" + *drainage + "\"");
    }
    return *drainage == "undrained" ? 1 : 0;
  }
  if (variant) {
    if (*variant < 0 || *variant > 9) {
      s.file.Fail(kJobFileUnreadable, *t.get("variant"), "variant must lie in 0..9");
    }
    return static_cast<int>(*variant);
  }
  return s.variant;
}

namespace {

void ReadTest(const State& s, const toml::table& t, std::set<std::string>& names, NativeJob& out) {
  const std::optional<std::string> name = s.file.String(t, "name");
  if (!name) s.file.Fail(kJobFileUnreadable, t, "every test needs a name = \"...\"");
  if (!ValidTestName(*name)) {
    s.file.Fail(kJobFileUnreadable, *t.get("name"),
                "test name \"" + *name + "\" must be 1 to 40 letters, digits, '_' or '-' (it "
                "names the test's files)");
  }
  std::string upper = *name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!names.insert(upper).second) {
    s.file.Fail(kJobFileUnreadable, *t.get("name"),
                "a test named \"" + *name + "\" is given already (names ignore letter case)");
  }
  ReadTestState(s, t, "test \"" + *name + "\"", out);
  if (t.contains("from")) {
    ReadFromTest(s, t, *name, out);
    return;
  }
  const std::string what = "test \"" + *name + "\"";
  const std::optional<std::string> type = s.file.String(t, "type");
  if (!type) s.file.Fail(kJobFileUnreadable, t, what + " needs a type = \"...\"");
  const std::optional<input::TestKind> kind = input::TestKindByName(*type);
  if (!kind) {
    s.file.Fail(kJobFileUnreadable, *t.get("type"),
                "unknown test type \"" + *type + "\"" + DidYouMean(*type, input::TestKindNames()));
  }
  s.file.CheckKeys(t, KeysOf(*kind), what);

  input::LabTest test;
  test.testFile = *name + ".VLT";
  std::vector<Branch> branches;
  if (IsCyclic(*kind)) {
    // The cyclic builders' test: undrained unless the test or [model] says
    // otherwise.
    const input::TestDescription d = CyclicDescription(TemplateTest(s, t, *kind, what));
    input::ApplyDescription(d, s.model, test);
    test.testType = 1;
    const bool given = t.contains("drainage") || t.contains("variant") || s.variantGiven;
    test.modelNumber = s.model + 100 * ((given ? Variant(s, t) : d.modelVariant) + 1);
  } else {
    if (*kind == input::TestKind::kGeneral) {
      ApplyLoading(GeneralTest(s, t, what), test);
    } else {
      const TemplateValues values = TemplateTest(s, t, *kind, what);
      branches = BranchesOf(values);
      ApplyLoading(Expand(values), test);
    }
    test.modelNumber = s.model + 100 * (Variant(s, t) + 1);
  }
  const Loading loading = LoadingOf(test);
  ReadSolver(s, t, test);

  const std::optional<std::string> title = s.file.String(t, "title");
  out.titles.push_back(title.value_or(*name + ": " + std::string(input::TestKindName(*kind))));
  if (out.titles.back().find_first_of("\r\n") != std::string::npos) {
    s.file.Fail(kJobFileUnreadable, *t.get("title"), "the title must be one line");
  }

  const TestFacts facts = FactsOf(*kind, loading);
  std::vector<input::CurveLanguage> languages;
  if (const toml::node* node = t.get("curves")) {
    const toml::array* curves = node->as_array();
    if (curves == nullptr) {
      s.file.Fail(kJobFileUnreadable, *node, what + ": curves must be given as [[tests.curves]]");
    }
    for (const toml::node& c : *curves) {
      const toml::table* curve = c.as_table();
      if (curve == nullptr) s.file.Fail(kJobFileUnreadable, c, what + ": a curve must be a table");
      input::Curve native;
      input::CurveLanguage language;
      out.inputFiles.push_back(
          ReadCurve(s, *curve, *name, test.nPhases, facts, branches, native, language));
      test.curves.push_back(std::move(native));
      languages.push_back(std::move(language));
      test.curveFiles.push_back(*name + "_" + std::to_string(test.curves.size()) + ".TXT");
    }
  }
  test.nCurves = static_cast<int>(test.curves.size());
  out.job.tests.push_back(std::move(test));
  out.language.curves.push_back(std::move(languages));
  out.language.sources.emplace_back();
}

// Output names of the curves' CSV files are unique in the job.
void UniqueOutputs(NativeJob& out) {
  std::set<std::string> used;
  for (auto& curves : out.language.curves) {
    for (input::CurveLanguage& c : curves) {
      std::string name = c.output;
      for (int k = 2; !used.insert(name).second; ++k) name = c.output + "_" + std::to_string(k);
      c.output = name;
    }
  }
}

}  // namespace

void ReadTests(const State& s, const toml::table& root, NativeJob& out) {
  const toml::array* tests = root["tests"].as_array();
  if (tests == nullptr || tests->empty()) {
    const toml::node* node = root.get("tests");
    s.file.Fail(kJobFileUnreadable, node != nullptr ? node->source() : root.source(),
                "the job needs at least one test as [[tests]] with name, type and curves");
  }
  std::set<std::string> names;
  for (const toml::node& node : *tests) {
    const toml::table* t = node.as_table();
    if (t == nullptr) s.file.Fail(kJobFileUnreadable, node, "a test must be a [[tests]] table");
    ReadTest(s, *t, names, out);
  }
  UniqueOutputs(out);
}

}  // namespace soilcal::jobfile::reader
