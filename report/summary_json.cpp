// The JSON form of a calibration summary. Unknown values are null; keys are
// snake_case words.
#include "report/summary_json.hpp"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "report/uncertainty_json.hpp"

namespace soilcal::report {
namespace {

using json = nlohmann::ordered_json;

template <typename T>
json Optional(const std::optional<T>& v) {
  return v ? json(*v) : json(nullptr);
}

template <typename T>
std::optional<T> OptionalOf(const json& j, const char* key) {
  if (!j.contains(key) || j.at(key).is_null()) return std::nullopt;
  return j.at(key).get<T>();
}

json FitJson(const std::optional<CurveFitSummary>& fit) {
  if (!fit) return nullptr;
  return {{"relative_error", fit->error}, {"points_in_range", fit->nValid}};
}

std::optional<CurveFitSummary> FitOf(const json& j) {
  if (j.is_null()) return std::nullopt;
  return CurveFitSummary{j.at("relative_error").get<double>(), j.at("points_in_range").get<int>()};
}

json PointJson(const std::optional<PointSummary>& p) {
  if (!p) return nullptr;
  return {{"mean_relative_error", p->meanError}, {"objective", p->objective}};
}

std::optional<PointSummary> PointOf(const json& j) {
  if (j.is_null()) return std::nullopt;
  return PointSummary{j.at("mean_relative_error").get<double>(), j.at("objective").get<double>()};
}

json ToJson(const Summary& s) {
  json j;
  j["job"] = s.job;
  j["exit_code"] = Optional(s.exitCode);
  j["exit_name"] = s.exitName;
  j["kernel_error"] = s.kernelError.empty() ? json(nullptr) : json(s.kernelError);
  j["wall_time_ms"] = Optional(s.wallMs);
  j["cpu_time_s"] = Optional(s.cpuSeconds);
  j["model_number"] = s.modelNumber;
  j["search_intensity"] = s.intensity;
  j["tolerance"] = s.tolerance;
  j["evaluations"] = s.evaluations;
  j["iterations"] = s.iterations;
  j["parameters"] = json::array();
  for (const ParameterSummary& p : s.parameters) {
    j["parameters"].push_back({{"slot", p.slot},
                               {"name", p.name},
                               {"lower", p.lower},
                               {"start", Optional(p.start)},
                               {"calibrated", Optional(p.best)},
                               {"upper", p.upper},
                               {"relative_sensitivity", Optional(p.sensitivity)}});
  }
  j["start"] = PointJson(s.start);
  j["best"] = PointJson(s.best);
  j["tests"] = json::array();
  for (const TestSummary& t : s.tests) {
    json curves = json::array();
    for (const CurveSummary& c : t.curves) {
      curves.push_back({{"file", c.file},
                        {"quantity_codes", {c.column1, c.column2}},
                        {"measured_points", c.nPoints},
                        {"start", FitJson(c.start)},
                        {"best", FitJson(c.best)}});
    }
    j["tests"].push_back({{"file", t.file}, {"curves", curves}});
  }
  j["warnings"] = json::array();
  for (const Warning& w : s.warnings) j["warnings"].push_back({{"kind", w.kind}, {"text", w.text}});
  AddUncertaintyJson(s, j);
  return j;
}

Summary FromJson(const json& j) {
  Summary s;
  s.job = j.at("job").get<std::string>();
  s.exitCode = OptionalOf<int>(j, "exit_code");
  s.exitName = j.at("exit_name").get<std::string>();
  s.kernelError = OptionalOf<std::string>(j, "kernel_error").value_or("");
  s.wallMs = OptionalOf<int>(j, "wall_time_ms");
  s.cpuSeconds = OptionalOf<double>(j, "cpu_time_s");
  s.modelNumber = j.at("model_number").get<int>();
  s.intensity = j.at("search_intensity").get<int>();
  s.tolerance = j.at("tolerance").get<double>();
  s.evaluations = j.at("evaluations").get<long>();
  s.iterations = j.at("iterations").get<int>();
  for (const json& p : j.at("parameters")) {
    s.parameters.push_back({p.at("slot").get<int>(), p.at("name").get<std::string>(),
                            p.at("lower").get<double>(), p.at("upper").get<double>(),
                            OptionalOf<double>(p, "start"), OptionalOf<double>(p, "calibrated"),
                            OptionalOf<double>(p, "relative_sensitivity")});
  }
  s.start = PointOf(j.at("start"));
  s.best = PointOf(j.at("best"));
  for (const json& t : j.at("tests")) {
    TestSummary test{t.at("file").get<std::string>(), {}};
    for (const json& c : t.at("curves")) {
      const json& codes = c.at("quantity_codes");
      test.curves.push_back({c.at("file").get<std::string>(), codes.at(0).get<int>(),
                             codes.at(1).get<int>(), c.at("measured_points").get<int>(),
                             FitOf(c.at("start")), FitOf(c.at("best"))});
    }
    s.tests.push_back(std::move(test));
  }
  for (const json& w : j.at("warnings")) {
    s.warnings.push_back({w.at("kind").get<std::string>(), w.at("text").get<std::string>()});
  }
  ReadUncertaintyJson(j, s);
  return s;
}

}  // namespace


std::string SummaryToJson(const Summary& summary) { return ToJson(summary).dump(2) + "\n"; }

bool WriteSummaryJson(const Summary& summary, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << SummaryToJson(summary);
  return static_cast<bool>(out);
}

std::optional<Summary> ReadSummaryJson(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  try {
    return FromJson(json::parse(in));
  } catch (const json::exception& e) {
    error = path + ": " + e.what();
    return std::nullopt;
  }
}


}  // namespace soilcal::report
