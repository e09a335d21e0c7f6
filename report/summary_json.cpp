// The JSON form of a calibration summary. Unknown values are null; keys are
// snake_case words.
#include "report/summary_json.hpp"

#include <fstream>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "models/parameter_table.hpp"
#include "report/json_values.hpp"
#include "report/uncertainty_json.hpp"
#include "services/output_file.hpp"
#include "services/regular_file.hpp"

namespace soilcal::report {
namespace {

using json = nlohmann::ordered_json;

template <typename T>
std::optional<T> OptionalOf(const json& j, const char* key) {
  if (!j.contains(key) || j.at(key).is_null()) return std::nullopt;
  return j.at(key).get<T>();
}

// A number the writer may have written as null (NaN and infinities become
// null in JSON): NaN when it is not a number.
double NumberOrNaN(const json& j) {
  return j.is_number() ? j.get<double>() : std::numeric_limits<double>::quiet_NaN();
}

json FitJson(const std::optional<CurveFitSummary>& fit) {
  if (!fit) return nullptr;
  return {{"relative_error", fit->error},
          {"points_in_range", fit->nValid},
          {"points_without_information", fit->nUninformative},
          {"objective_term", fit->objective}};
}

std::optional<CurveFitSummary> FitOf(const json& j) {
  if (j.is_null()) return std::nullopt;
  return CurveFitSummary{NumberOrNaN(j.at("relative_error")), j.at("points_in_range").get<int>(),
                         OptionalOf<int>(j, "points_without_information").value_or(0),
                         j.contains("objective_term") ? NumberOrNaN(j.at("objective_term"))
                                                      : std::numeric_limits<double>::quiet_NaN()};
}

json PointJson(const std::optional<PointSummary>& p) {
  if (!p) return nullptr;
  return {{"mean_relative_error", p->meanError}, {"objective", p->objective}};
}

std::optional<PointSummary> PointOf(const json& j) {
  if (j.is_null()) return std::nullopt;
  return PointSummary{NumberOrNaN(j.at("mean_relative_error")), NumberOrNaN(j.at("objective"))};
}

json StringOrNull(const std::string& v) { return v.empty() ? json(nullptr) : json(v); }

std::string StringOf(const json& j, const char* key) {
  return OptionalOf<std::string>(j, key).value_or("");
}

json UnitsJson(const std::optional<JobUnits>& u) {
  if (!u) return nullptr;
  return {{"force", u->force},
          {"length", u->length},
          {"time", u->time},
          {"stress", models::params::StressUnitText(u->force, u->length)}};
}

std::optional<JobUnits> UnitsOf(const json& j) {
  if (j.is_null()) return std::nullopt;
  return JobUnits{j.at("force").get<std::string>(), j.at("length").get<std::string>(),
                  j.at("time").get<std::string>()};
}

json SearchJson(const Summary& s) {
  json budget = nullptr;
  if (s.maxIterations) budget = {{"max_iterations", *s.maxIterations}};
  if (s.maxEvaluations) budget = {{"max_evaluations", *s.maxEvaluations}};
  return {{"mode", StringOrNull(s.searchMode)},
          {"budget", budget},
          {"evaluations", s.evaluations},
          {"iterations", s.iterations},
          {"continuations", s.continuations},
          {"continuation_evaluations", s.continuationEvaluations}};
}

void SearchOf(const json& j, Summary& s) {
  if (!j.is_object()) return;
  s.searchMode = StringOf(j, "mode");
  if (j.contains("budget") && j.at("budget").is_object()) {
    s.maxIterations = OptionalOf<long>(j.at("budget"), "max_iterations");
    s.maxEvaluations = OptionalOf<long>(j.at("budget"), "max_evaluations");
  }
  s.continuations = OptionalOf<int>(j, "continuations").value_or(0);
  s.continuationEvaluations = OptionalOf<long>(j, "continuation_evaluations").value_or(0);
}

// The parameter as a person reads it: symbol, words, unit and the values in
// that unit (degrees for a sine slot).
json DisplayJson(const ParameterSummary& p) {
  if (!p.display) return nullptr;
  auto shown = [&](const std::optional<double>& v) {
    const std::optional<double> d = v ? ShownValue(p, *v) : std::nullopt;
    return Optional(d);
  };
  return {{"symbol", p.display->symbol},
          {"words", p.display->words},
          {"unit", p.display->unit},
          {"stored_as_sine", p.display->sine},
          {"lower", shown(p.lower)},
          {"start", shown(p.start)},
          {"calibrated", shown(p.best)},
          {"upper", shown(p.upper)}};
}

std::optional<ParameterDisplay> DisplayOf(const json& p) {
  if (!p.contains("display") || p.at("display").is_null()) return std::nullopt;
  const json& d = p.at("display");
  return ParameterDisplay{d.at("symbol").get<std::string>(), d.at("words").get<std::string>(),
                          d.at("unit").get<std::string>(), d.at("stored_as_sine").get<bool>()};
}

json TestTypeJson(const input::TestType& t) {
  return {{"kind", input::TestKindName(t.kind)},
          {"text", input::TestTypeText(t)},
          {"axial", input::ComponentName(t.axial)},
          {"shear", t.shear >= 0 ? json(input::ComponentName(t.shear)) : json(nullptr)},
          {"unconfined", t.unconfined},
          {"reversals", t.reversals}};
}

int ComponentOf(const json& j, const char* key, int fallback) {
  const std::string name = StringOf(j, key);
  for (int c = 0; c < 6; ++c) {
    if (input::ComponentName(c) == name) return c;
  }
  return fallback;
}

input::TestType TestTypeOf(const json& t) {
  input::TestType type;
  if (!t.contains("test_type") || !t.at("test_type").is_object()) return type;
  const json& j = t.at("test_type");
  const std::string kind = StringOf(j, "kind");
  type.axial = ComponentOf(j, "axial", 1);
  type.shear = ComponentOf(j, "shear", -1);
  type.kind = input::TestKindByName(kind).value_or(input::TestKind::kGeneral);
  // Earlier summaries named both cyclic kinds "cyclic"; the shear component
  // tells them apart.
  if (kind == "cyclic") {
    type.kind = type.shear >= 0 ? input::TestKind::kCyclicDirectSimpleShear
                                : input::TestKind::kCyclicTriaxial;
  }
  type.unconfined = OptionalOf<bool>(j, "unconfined").value_or(false);
  type.reversals = OptionalOf<int>(j, "reversals").value_or(0);
  return type;
}

json WarningsJson(const std::vector<Warning>& warnings) {
  json out = json::array();
  for (const Warning& w : warnings) out.push_back({{"kind", w.kind}, {"text", w.text}});
  return out;
}

std::vector<Warning> WarningsOf(const json& j, const char* key) {
  std::vector<Warning> out;
  if (!j.contains(key)) return out;
  for (const json& w : j.at(key)) {
    out.push_back({w.at("kind").get<std::string>(), w.at("text").get<std::string>()});
  }
  return out;
}

// "run_times": the whole run's wall and CPU seconds with its parts.
json RunTimesJson(const std::optional<RunTimes>& t) {
  if (!t) return nullptr;
  json parts = json::array();
  for (const TimePart& p : t->parts) {
    parts.push_back({{"part", p.name}, {"wall_time_s", p.wall}, {"cpu_time_s", p.cpu}});
  }
  return {{"wall_time_s", t->wall}, {"cpu_time_s", t->cpu}, {"parts", parts}};
}

std::optional<RunTimes> RunTimesOf(const json& j) {
  if (!j.contains("run_times") || !j.at("run_times").is_object()) return std::nullopt;
  const json& t = j.at("run_times");
  RunTimes times;
  times.wall = NumberOrNaN(t.at("wall_time_s"));
  times.cpu = NumberOrNaN(t.at("cpu_time_s"));
  for (const json& p : t.at("parts")) {
    times.parts.push_back({p.at("part").get<std::string>(), NumberOrNaN(p.at("wall_time_s")),
                           NumberOrNaN(p.at("cpu_time_s"))});
  }
  return times;
}

json ToJson(const Summary& s) {
  json j;
  j["job"] = s.job;
  j["program_version"] = StringOrNull(s.programVersion);
  j["input_digest"] = StringOrNull(s.inputDigest);
  j["job_folder"] = StringOrNull(s.jobFolder);
  j["exit_code"] = Optional(s.exitCode);
  j["exit_name"] = s.exitName;
  j["kernel_error"] = s.kernelError.empty() ? json(nullptr) : json(s.kernelError);
  j["stop_reason"] = StringOrNull(s.stopReason);
  j["wall_time_ms"] = Optional(s.wallMs);
  j["cpu_time_s"] = Optional(s.cpuSeconds);
  j["run_times"] = RunTimesJson(s.runTimes);
  if (s.criticalState) {
    const CriticalStateLine& c = *s.criticalState;
    j["critical_state_line"] = {{"m", c.m},
                                {"friction_angle_deg", c.phiDegrees ? json(*c.phiDegrees) : json(nullptr)},
                                {"calibrated", c.calibrated}};
  } else {
    j["critical_state_line"] = nullptr;
  }
  j["model_number"] = Optional(s.modelNumber);
  j["model_name"] = StringOrNull(s.modelName);
  j["units"] = UnitsJson(s.units);
  j["search_intensity"] = Optional(s.intensity);
  j["tolerance"] = Optional(s.tolerance);
  j["search"] = SearchJson(s);
  j["evaluations"] = s.evaluations;
  j["iterations"] = s.iterations;
  j["parameters"] = json::array();
  for (const ParameterSummary& p : s.parameters) {
    if (p.jobUnits) {
      j["parameters"].push_back({{"slot", p.slot},
                                 {"name", p.name},
                                 {"unit", p.unit},
                                 {"lower", p.lower},
                                 {"start", Optional(p.start)},
                                 {"best", Optional(p.best)},
                                 {"calibrated", Optional(p.best)},
                                 {"upper", p.upper},
                                 {"slot_best", Optional(p.slotBest)},
                                 {"relative_sensitivity", Optional(p.sensitivity)},
                                 {"display", DisplayJson(p)}});
      if (!p.startRule.empty()) j["parameters"].back()["start_rule"] = p.startRule;
      continue;
    }
    j["parameters"].push_back({{"slot", p.slot},
                               {"name", p.name},
                               {"lower", p.lower},
                               {"start", Optional(p.start)},
                               {"calibrated", Optional(p.best)},
                               {"upper", p.upper},
                               {"relative_sensitivity", Optional(p.sensitivity)}});
    j["parameters"].back()["display"] = DisplayJson(p);
  }
  j["start"] = PointJson(s.start);
  j["best"] = PointJson(s.best);
  j["tests"] = json::array();
  for (const TestSummary& t : s.tests) {
    json curves = json::array();
    for (const CurveSummary& c : t.curves) {
      json curve = {{"file", c.file}};
      if (!c.label.empty()) curve["label"] = c.label;  // a TOML job's CSV file and quantity
      curve["quantity_codes"] = {c.column1, c.column2};
      curve["measured_points"] = c.nPoints;
      curve["segment_sizes"] = c.segments;
      curve["start"] = FitJson(c.start);
      curve["best"] = FitJson(c.best);
      curves.push_back(std::move(curve));
    }
    json test = {{"file", t.file},
                 {"header", t.header},
                 {"material", t.material},
                 {"test_type", TestTypeJson(t.type)},
                 {"load_steps", t.loadSteps},
                 {"initial_stress", t.initialStress ? json(*t.initialStress) : json(nullptr)},
                 {"undrained", t.undrained},
                 {"curves", curves}};
    if (t.ownStart) {
      test["own_start"] = {{"given", t.ownStart->given},
                           {"void_ratio", t.ownStart->voidRatio},
                           {"porosity", t.ownStart->porosity}};
    }
    j["tests"].push_back(std::move(test));
  }
  j["input_warnings"] = WarningsJson(s.inputWarnings);
  j["warnings"] = WarningsJson(s.warnings);
  AddUncertaintyJson(s, j);
  return j;
}

Summary FromJson(const json& j) {
  Summary s;
  s.job = j.at("job").get<std::string>();
  s.programVersion = StringOf(j, "program_version");
  s.inputDigest = StringOf(j, "input_digest");
  s.jobFolder = StringOf(j, "job_folder");
  s.exitCode = OptionalOf<int>(j, "exit_code");
  s.exitName = j.at("exit_name").get<std::string>();
  s.kernelError = StringOf(j, "kernel_error");
  s.stopReason = StringOf(j, "stop_reason");
  s.wallMs = OptionalOf<int>(j, "wall_time_ms");
  s.cpuSeconds = OptionalOf<double>(j, "cpu_time_s");
  s.runTimes = RunTimesOf(j);
  if (j.contains("critical_state_line") && j.at("critical_state_line").is_object()) {
    const json& c = j.at("critical_state_line");
    s.criticalState = CriticalStateLine{NumberOrNaN(c.at("m")),
                                        OptionalOf<double>(c, "friction_angle_deg"),
                                        c.at("calibrated").get<bool>()};
  }
  s.modelNumber = OptionalOf<int>(j, "model_number");
  s.modelName = StringOf(j, "model_name");
  s.units = j.contains("units") ? UnitsOf(j.at("units")) : std::nullopt;
  s.intensity = OptionalOf<int>(j, "search_intensity");
  s.tolerance = OptionalOf<double>(j, "tolerance");
  if (j.contains("search")) SearchOf(j.at("search"), s);
  s.evaluations = j.at("evaluations").get<long>();
  s.iterations = j.at("iterations").get<int>();
  for (const json& p : j.at("parameters")) {
    ParameterSummary param;
    param.slot = p.at("slot").get<int>();
    param.name = p.at("name").get<std::string>();
    param.lower = NumberOrNaN(p.at("lower"));
    param.upper = NumberOrNaN(p.at("upper"));
    param.start = OptionalOf<double>(p, "start");
    param.best = OptionalOf<double>(p, "calibrated");
    param.sensitivity = OptionalOf<double>(p, "relative_sensitivity");
    if (p.contains("unit")) {
      param.jobUnits = true;
      param.unit = p.at("unit").get<std::string>();
      param.slotBest = OptionalOf<double>(p, "slot_best");
    }
    param.display = DisplayOf(p);
    param.startRule = p.value("start_rule", std::string());
    s.parameters.push_back(std::move(param));
  }
  s.start = PointOf(j.at("start"));
  s.best = PointOf(j.at("best"));
  for (const json& t : j.at("tests")) {
    TestSummary test;
    test.file = t.at("file").get<std::string>();
    test.header = StringOf(t, "header");
    test.material = StringOf(t, "material");
    test.type = TestTypeOf(t);
    if (t.contains("load_steps")) test.loadSteps = t.at("load_steps").get<std::vector<int>>();
    if (t.contains("initial_stress") && t.at("initial_stress").is_array()) {
      const json& stress = t.at("initial_stress");
      std::array<double, 6> sigma{};
      for (std::size_t k = 0; k < sigma.size() && k < stress.size(); ++k) sigma[k] = NumberOrNaN(stress[k]);
      test.initialStress = sigma;
    }
    test.undrained = OptionalOf<bool>(t, "undrained").value_or(false);
    if (const auto own = t.find("own_start"); own != t.end() && own->is_object()) {
      test.ownStart = SpecimenStart{own->value("given", std::string("e0")),
                                    NumberOrNaN(own->value("void_ratio", json(nullptr))),
                                    NumberOrNaN(own->value("porosity", json(nullptr)))};
    }
    for (const json& c : t.at("curves")) {
      CurveSummary curve;
      const json& codes = c.at("quantity_codes");
      curve.file = c.at("file").get<std::string>();
      curve.label = c.value("label", std::string());
      curve.column1 = codes.at(0).get<int>();
      curve.column2 = codes.at(1).get<int>();
      curve.nPoints = c.at("measured_points").get<int>();
      curve.start = FitOf(c.at("start"));
      curve.best = FitOf(c.at("best"));
      if (c.contains("segment_sizes")) curve.segments = c.at("segment_sizes").get<std::vector<int>>();
      test.curves.push_back(std::move(curve));
    }
    s.tests.push_back(std::move(test));
  }
  s.inputWarnings = WarningsOf(j, "input_warnings");
  s.warnings = WarningsOf(j, "warnings");
  ReadUncertaintyJson(j, s);
  return s;
}

}  // namespace


std::string SummaryToJson(const Summary& summary) { return ToJson(summary).dump(2) + "\n"; }

bool WriteSummaryJson(const Summary& summary, const std::string& path) {
  return services::WriteFileAtomically(path, SummaryToJson(summary)).ok;
}

std::optional<Summary> ReadSummaryJson(const std::string& path, std::string& error) {
  std::string text;
  std::string why;
  if (!services::ReadRegularFile(path, text, &why)) {
    error = path + " " + why;
    return std::nullopt;
  }
  try {
    return FromJson(json::parse(text));
  } catch (const json::exception& e) {
    error = path + ": " + e.what();
    return std::nullopt;
  }
}


}  // namespace soilcal::report
