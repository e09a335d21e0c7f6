// [[tests]] with from = "FILE": a laboratory's file (GDS export, AGS4
// file, tidy table) read into the test its template would have written,
// so that everything downstream sees an ordinary test. Keys beside `from`
// (steps, time, drainage, x_range, a curve's name) override what was read.
#include <algorithm>
#include <cmath>

#include "jobfile/cyclic_segments.hpp"
#include "jobfile/nearest.hpp"
#include "jobfile/reader_parts.hpp"
#include "labfiles/lab_file.hpp"
#include "services/diag.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile::reader {
namespace {

const std::vector<std::string> kFromKeys{
    "name",    "from",    "title",   "stage",   "specimen",
    "group",   "curves",  "steps",   "time",    "drainage",
    "variant", "solver",  "x_range", "initial_vertical_stress", "initial_horizontal_stress",
    "k0",      "e0",      "n0"};

// kPa in the job's stress unit (force over length squared).
double KpaPerJobUnit(const State& s) {
  const std::pair<const char*, double> forces[] = {{"N", 1e-3}, {"kN", 1.0}, {"MN", 1e3},
                                                   {"lbf", 4.4482216152605e-3},
                                                   {"kip", 4.4482216152605}};
  const std::pair<const char*, double> lengths[] = {{"m", 1.0},     {"cm", 0.01},  {"mm", 1e-3},
                                                    {"km", 1e3},    {"in", 0.0254}, {"ft", 0.3048},
                                                    {"yd", 0.9144}};
  double force = 1.0, length = 1.0;
  for (const auto& [n, f] : forces) {
    if (s.force == n) force = f;
  }
  for (const auto& [n, l] : lengths) {
    if (s.length == n) length = l;
  }
  return force / (length * length);
}

labfiles::Selection ReadSelection(const State& s, const toml::table& t, double kpa) {
  labfiles::Selection sel;
  if (const std::optional<long long> stage = s.file.Integer(t, "stage")) {
    sel.stage = static_cast<int>(std::clamp<long long>(*stage, -1000000, 1000000));
  }
  sel.group = s.file.String(t, "group");
  if (const std::optional<double> v = s.file.Number(t, "initial_vertical_stress")) {
    sel.initialVerticalStress = *v * kpa;
  }
  if (const toml::node* node = t.get("specimen")) {
    const toml::table* specimenTable = node->as_table();
    if (specimenTable == nullptr) {
      s.file.Fail(kJobFileUnreadable, *node,
                  "specimen must be a table such as { location = \"BH1\", depth = 2.0, ref = \"3\" }");
    }
    s.file.CheckKeys(*specimenTable, {"location", "depth", "ref"}, "specimen");
    labfiles::SpecimenKey key;
    key.location = s.file.String(*specimenTable, "location").value_or("");
    key.depth = s.file.Number(*specimenTable, "depth");
    if (const toml::node* ref = specimenTable->get("ref"); ref != nullptr && ref->is_integer()) {
      key.ref = std::to_string(ref->as_integer()->get());
    } else {
      key.ref = s.file.String(*specimenTable, "ref").value_or("");
    }
    sel.specimen = key;
  }
  return sel;
}

// An oedometer's measured stress levels as the stress levels of its
// template: one phase per monotonic branch (loading, unloading, reloading),
// each ending at its reversal reading or last reading; the template ends
// every branch a little past that level, so that the reading lies inside
// the simulated range.
std::vector<double> BranchEnds(double start, const std::vector<double>& levels) {
  std::vector<double> ends;
  double previous = start;
  int sense = 0;
  for (double level : levels) {
    const int d = level > previous ? 1 : (level < previous ? -1 : 0);
    if (d == 0) continue;
    if (sense != 0 && d != sense) ends.push_back(previous);
    sense = d;
    previous = level;
  }
  if (sense != 0) ends.push_back(previous);
  return ends;
}

// A cyclic test read from a file: its amplitude and cycles as read, `steps`
// one whole number of load steps per half cycle (by default enough for the
// compared part of every half cycle to be its larger part), no time of its
// own (its time counts the cycles).
void CyclicSteps(const State& s, const toml::table& t, const labfiles::LabTest& lab,
                 TemplateValues& v) {
  v.amplitude = lab.amplitude / KpaPerJobUnit(s);
  v.cycles = lab.cycles;
  if (const toml::node* time = t.get("time")) {
    s.file.Fail(kJobFileUnreadable, *time, "a cyclic test has no time of its own: its time counts "
                "the load cycles");
  }
  const toml::node* steps = t.get("steps");
  if (steps != nullptr && !steps->is_integer()) {
    s.file.Fail(kJobFileUnreadable, *steps,
                "steps of a cyclic test is one whole number: the load steps of a half cycle");
  }
  const long long perHalf = s.file.Integer(t, "steps").value_or(
      CyclicStepsFor(lab.cycles, kCyclicStepsPerHalfCycle));
  if (perHalf < 1 || perHalf * 2 * static_cast<long long>(v.cycles) > kMaxSteps) {
    s.file.Fail(kJobFileUnreadable, steps != nullptr ? *steps : *t.get("from"),
                "steps is the number of load steps of a half cycle: at least 1, and at most " +
                    std::to_string(kMaxSteps) + " in all " + std::to_string(v.cycles) +
                    " cycles of the file");
  }
  v.steps = {static_cast<int>(perHalf)};
}

TemplateValues ValuesOf(const State& s, const toml::table& t, const labfiles::LabTest& lab,
                        double kpa, const std::string& what) {
  TemplateValues v;
  const std::optional<input::TestKind> kind = input::TestKindByName(lab.kind);
  if (!kind) s.file.Fail(kJobFileUnreadable, *t.get("from"), what + ": no template " + lab.kind);
  v.kind = *kind;
  v.cellPressure = lab.cellPressure / kpa;
  if (lab.initialAxialStress) v.initialAxialStress = *lab.initialAxialStress / kpa;
  v.axialStrain = std::abs(lab.axialStrain);
  v.initialVerticalStress = lab.initialVerticalStress / kpa;
  for (double level : BranchEnds(lab.initialVerticalStress, lab.levels)) {
    v.levels.push_back(level / kpa);
  }
  if (!lab.levels.empty() && v.levels.empty()) {
    s.file.Fail(kCsvUnusable, *t.get("from"),
                what + ": the vertical stress never changes, so there is nothing to calibrate");
  }
  if (IsCyclic(v.kind)) {
    CyclicSteps(s, t, lab, v);
    return v;
  }
  if (v.kind == input::TestKind::kOedometer) {
    // The horizontal start stress the job gives (k0 or a stress), else the
    // vertical one.
    const std::optional<double> k0 = s.file.Number(t, "k0");
    const std::optional<double> h = s.file.Number(t, "initial_horizontal_stress");
    if (k0 && h) s.file.Fail(kJobFileUnreadable, *t.get("k0"), "give initial_horizontal_stress or k0, not both");
    if (k0) v.initialHorizontalStress = *k0 * v.initialVerticalStress;
    if (h) v.initialHorizontalStress = *h;
  }
  StepsAndTime(s, t, PhaseCount(v), v);
  return v;
}

struct CurveChoice {
  const Quantity* x = nullptr;
  const Quantity* y = nullptr;
  std::string name;
  const toml::node* at = nullptr;
  const toml::table* table = nullptr;  // a curve given as a table, else none
};

std::vector<CurveChoice> ChooseCurves(const State& s, const toml::table& t,
                                      const labfiles::LabTest& lab, const std::string& file) {
  std::vector<CurveChoice> list;
  const auto add = [&](const std::string& y, const std::string& name, const toml::node& at) {
    CurveChoice c;
    c.x = FindQuantity(lab.x);
    c.y = FindQuantity(y);
    c.at = &at;
    c.table = at.as_table();
    if (c.y == nullptr || lab.Find(y) == nullptr) {
      std::string given;
      for (std::size_t i = 1; i < lab.columns.size(); ++i) {
        given += (given.empty() ? "" : ", ") + lab.columns[i].quantity;
      }
      s.file.Fail(kJobFileUnreadable, at,
                  file + " gives no \"" + y + "\" for this test; it gives " + given);
    }
    c.name = name.empty() ? y : name;
    list.push_back(c);
  };
  const toml::node* node = t.get("curves");
  if (node == nullptr) {
    for (const std::string& y : lab.defaultCurves) add(y, "", *t.get("from"));
    return list;
  }
  const toml::array* curves = node->as_array();
  if (curves == nullptr || curves->empty()) {
    s.file.Fail(kJobFileUnreadable, *node,
                "curves of a from test is a list of quantities, such as [\"deviator_stress\"]");
  }
  for (const toml::node& c : *curves) {
    if (const auto* y = c.as_string()) {
      add(y->get(), "", c);
    } else if (const toml::table* tc = c.as_table()) {
      s.file.CheckKeys(*tc, {"x", "y", "name", "x_range"}, "a curve of a from test");
      if (const std::optional<std::string> x = s.file.String(*tc, "x"); x && *x != lab.x) {
        s.file.Fail(kJobFileUnreadable, *tc->get("x"),
                    "the curves of this test are read against " + lab.x + ", not " + *x);
      }
      const std::optional<std::string> quantity = s.file.String(*tc, "y");
      if (!quantity) s.file.Fail(kJobFileUnreadable, c, "a curve of a from test needs y = \"quantity\"");
      add(*quantity, s.file.String(*tc, "name").value_or(""), c);
    } else {
      s.file.Fail(kJobFileUnreadable, c,
                  "a curve of a from test is a quantity name or { y = \"...\", name = \"...\" }");
    }
  }
  return list;
}

// The phase of each reading of a curve against the vertical stress of a
// test whose phases prescribe it: the phase whose stress range holds the
// reading, a reading at a phase's end counting to the next phase (which
// starts there), in reading order. Other tests keep the file's phases.
std::vector<int> PhasesAlong(const Loading& loading, const std::vector<double>& stress,
                             const std::vector<int>& fallback) {
  const std::size_t n = loading.phases.size();
  for (const Phase& p : loading.phases) {
    if (p.flags[1] != 1) return fallback;
  }
  std::vector<double> bound{-loading.initialStress[1]};
  // A phase's stress is its change over the phase (tension positive).
  for (const Phase& p : loading.phases) bound.push_back(bound.back() - p.stress[1]);
  std::vector<int> phases;
  std::size_t c = 1;
  for (std::size_t r = 0; r < stress.size(); ++r) {
    const double x = stress[r];
    // A reading stays in phase c while it lies in [start, end) of the phase
    // and moves in the phase's sense.
    while (c < n) {
      const double a = bound[c - 1], b = bound[c];
      const double sense = b > a ? 1.0 : -1.0;
      const double tol = 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
      const bool within = (x - a) * sense >= -tol && (b - x) * sense > tol;
      const bool forward = r == 0 || (x - stress[r - 1]) * sense >= -tol;
      if (within && forward) break;
      ++c;
    }
    phases.push_back(static_cast<int>(c));
  }
  return phases;
}

// The native curve of one ordinate against the test's abscissa, the
// readings grouped by phase as the native segments require.
void MakeCurve(const State& s, const toml::table& t, const labfiles::LabTest& lab,
               const CurveChoice& choice, const Loading& loading, const TestFacts& facts,
               double kpa, input::Curve& native, int& leftOut) {
  const int nPhases = static_cast<int>(loading.phases.size());
  const std::optional<CodePair> codes = ChooseCodes(*choice.x, *choice.y, facts);
  if (!codes) {
    s.file.Fail(kCsvUnusable, *choice.at,
                "the test controls " + std::string(choice.y->name) + "; it cannot be a curve's y");
  }
  // x_range of the curve, else of the test.
  const toml::table& owner =
      choice.table != nullptr && choice.table->contains("x_range") ? *choice.table : t;
  std::vector<double> range = s.file.Numbers(owner, "x_range");
  if (!range.empty() && (range.size() != 2 || range[1] < range[0])) {
    s.file.Fail(kJobFileUnreadable, *owner.get("x_range"),
                "x_range must be [from, to] with from <= to");
  }
  const std::vector<double>& xs = lab.Find(lab.x)->values;
  const std::vector<double>& ys = lab.Find(std::string(choice.y->name))->values;
  const auto job = [&](const Quantity& q, double v) {
    return q.kind == QuantityKind::kStress ? v / kpa : v;
  };
  const auto nativeOf = [](const NativeAxis& a, double v) { return v * a.per / a.factor; };
  std::vector<double> jobX;
  for (double x : xs) jobX.push_back(job(*choice.x, x));
  const std::vector<int> phase =
      choice.x->name == "vertical_stress" ? PhasesAlong(loading, jobX, lab.phase) : lab.phase;
  std::vector<std::vector<std::pair<double, double>>> segments(
      static_cast<std::size_t>(std::max(nPhases, 1)));
  if (choice.x->name == "cycles") {
    std::vector<double> jobY;
    for (double y : ys) jobY.push_back(job(*choice.y, y));
    CyclicSegments placed = PlaceCyclicReadings(loading.phases, jobX, jobY, range);
    segments = std::move(placed.segments);
    leftOut = placed.readingsLeftOut;
  }
  for (std::size_t r = 0; r < xs.size() && choice.x->name != "cycles"; ++r) {
    const double x = jobX[r];
    if (!range.empty() && (x < range[0] || x > range[1])) continue;
    const int p = std::clamp(phase[r], 1, std::max(nPhases, 1));
    segments[static_cast<std::size_t>(p - 1)].emplace_back(x, job(*choice.y, ys[r]));
  }
  // A reversal reading ends one branch and anchors the next: the simulated
  // branch is shifted onto it, so every later reading of it is compared.
  if (choice.x->name == "vertical_stress") {
    for (std::size_t p = segments.size(); p-- > 1;) {
      if (!segments[p - 1].empty() && !segments[p].empty()) {
        segments[p].insert(segments[p].begin(), segments[p - 1].back());
      }
    }
  }
  native = input::Curve{};
  native.xCode = codes->x.code;
  native.yCode = codes->y.code;
  native.nSegments = nPhases;
  native.multiSegment = nPhases > 1;
  for (const auto& seg : segments) {
    native.segmentSizes.push_back(static_cast<int>(seg.size()));
    for (const auto& [x, y] : seg) {
      native.x.push_back(nativeOf(codes->x, x));
      native.y.push_back(nativeOf(codes->y, y));
    }
  }
  native.nPoints = static_cast<int>(native.x.size());
  if (native.nPoints == 0) {
    s.file.Fail(kCsvUnusable, *t.get("from"), "no reading lies inside x_range");
  }
}

}  // namespace

void ReadFromTest(const State& s, const toml::table& t, const std::string& name, NativeJob& out) {
  const std::string what = "test \"" + name + "\"";
  s.file.CheckKeys(t, kFromKeys, what + " (read from a laboratory file)");
  const std::string file = *s.file.String(t, "from");
  const bool absolute = !file.empty() && (file.front() == '/' || file.front() == '\\');
  const std::string path = absolute ? file : s.folder + file;
  if (file.empty() || !services::FileExists(path)) {
    const std::string folder = services::FolderOf(path);
    s.file.Fail(kCsvMissing, *t.get("from"),
                "laboratory file \"" + file + "\" not found in " +
                    (folder.empty() ? "the current folder" : folder));
  }
  const double kpa = KpaPerJobUnit(s);
  const labfiles::Selection selection = ReadSelection(s, t, kpa);
  labfiles::LabFile lab;
  try {
    lab = labfiles::ReadLabFile(services::ResolvePath(path), file, selection);
  } catch (const labfiles::LabFileError& e) {
    s.file.Fail(kCsvUnusable, *t.get("from"), e.what());
  }
  const labfiles::LabTest& read = *lab.test;
  const TemplateValues v = ValuesOf(s, t, read, kpa, what);

  input::LabTest test;
  test.testFile = name + ".VLT";
  ApplyLoading(Expand(v), test);
  const bool given = t.contains("drainage") || t.contains("variant");
  test.modelNumber = s.model + 100 * ((given ? Variant(s, t) : (read.undrained ? 1 : 0)) + 1);
  const Loading loading = LoadingOf(test);
  ReadSolver(s, t, test);
  const std::optional<std::string> title = s.file.String(t, "title");
  out.titles.push_back(title.value_or(name + ": " + read.kind + " from " + file));
  if (out.titles.back().find_first_of("\r\n") != std::string::npos) {
    s.file.Fail(kJobFileUnreadable, *t.get("title"), "the title must be one line");
  }

  const TestFacts facts = FactsOf(v.kind, loading);
  std::vector<input::CurveLanguage> languages;
  std::vector<std::string> cyclicNotes;
  for (const CurveChoice& c : ChooseCurves(s, t, read, file)) {
    input::Curve native;
    int leftOut = 0;
    MakeCurve(s, t, read, c, loading, facts, kpa, native, leftOut);
    if (leftOut > 0) {
      cyclicNotes.push_back(c.name + ": " + std::to_string(leftOut) + " readings lie before the "
                            "compared part of their half cycle and are left out (more steps "
                            "per half cycle keep them)");
    }
    const std::optional<CodePair> codes = ChooseCodes(*c.x, *c.y, facts);
    input::CurveLanguage language;
    language.output = name + "_" + c.name;
    language.source = file;
    language.x = {std::string(c.x->name), codes->x.code, codes->x.factor, codes->x.per};
    language.y = {std::string(c.y->name), codes->y.code, codes->y.factor, codes->y.per};
    test.curves.push_back(std::move(native));
    languages.push_back(std::move(language));
    test.curveFiles.push_back(name + "_" + std::to_string(test.curves.size()) + ".TXT");
  }
  test.nCurves = static_cast<int>(test.curves.size());
  out.job.tests.push_back(std::move(test));
  out.language.curves.push_back(std::move(languages));
  out.inputFiles.push_back(services::ResolvePath(path));

  std::vector<std::string> choices;
  if (given) choices.push_back("drainage as the job gives it");
  if (v.kind == input::TestKind::kOedometer) {
    std::string ends;
    for (double level : v.levels) ends += (ends.empty() ? "" : ", ") + services::FormatReal(level);
    choices.push_back("one phase per monotonic branch, to " + ends + " (each branch ends " +
                      services::FormatReal(100.0 * v.overshoot) +
                      " % past its last reading; a reversal reading anchors the next branch)");
  }
  if (IsCyclic(v.kind)) {
    choices.push_back(std::to_string(v.steps.front()) + " load steps per half cycle; each half "
                      "cycle after the first compared from an anchor interpolated between the "
                      "readings at its first compared point");
  }
  choices.insert(choices.end(), cyclicNotes.begin(), cyclicNotes.end());
  choices.insert(choices.end(), lab.choices.begin(), lab.choices.end());
  out.sources += "# " + what + " from " + file + " (" + lab.format + ")\n";
  for (const std::string& c : choices) out.sources += "#   " + c + "\n";
  out.language.sources.push_back(std::move(choices));
}

}  // namespace soilcal::jobfile::reader
