// comparison.json: the models in rank order with the figures the ranking
// used, each test's and curve's error and the free parameters in the units
// a person reads. Unknown values are null; keys are snake_case words.
#include <nlohmann/json.hpp>

#include "report/comparison.hpp"
#include "report/json_values.hpp"
#include "services/version.hpp"

namespace soilcal::report {
namespace {

using json = nlohmann::ordered_json;

json CriterionRule() {
  return {{"aic", "m ln(S/m) + 2k"},
          {"bic", "m ln(S/m) + k ln(m)"},
          {"S", "the minimised objective: the sum of the squared weighted relative deviations"},
          {"m", "the measured points compared"},
          {"k", "the free parameters"},
          {"variance_floor", kVarianceFloor},
          {"indistinguishable_below", kIndistinguishableBic}};
}

json TestsJson(const Summary& s) {
  json tests = json::array();
  for (const TestSummary& t : s.tests) {
    json curves = json::array();
    for (const CurveSummary& c : t.curves) {
      json curve = {{"file", c.file}};
      if (!c.label.empty()) curve["label"] = c.label;
      curve["relative_error"] = c.best ? json(c.best->error) : json(nullptr);
      curve["points_in_range"] = c.best ? json(c.best->nValid) : json(nullptr);
      curves.push_back(std::move(curve));
    }
    tests.push_back({{"file", t.file},
                     {"header", t.header},
                     {"relative_error", Optional(TestError(t))},
                     {"curves", curves}});
  }
  return tests;
}

json Pair(const std::optional<double>& a, const std::optional<double>& b) {
  return json::array({Optional(a), Optional(b)});
}

json ParametersJson(const Summary& s) {
  json out = json::array();
  for (const ShownParameter& p : ShownParameters(s)) {
    json flags = json::array();
    for (const std::string& f : p.flags) flags.push_back(f);
    out.push_back(
        {{"name", p.name},
         {"symbol", p.symbol},
         {"unit", p.unit},
         {"slot", p.slot},
         {"best", Optional(p.best)},
         {"interval_95", p.interval95 ? Pair(p.interval95->first, p.interval95->second)
                                      : json(nullptr)},
         {"profile_interval_95", p.profiles ? Pair(p.profileLow, p.profileHigh) : json(nullptr)},
         {"flags", flags}});
  }
  return out;
}

json ModelJson(const ComparedModel& m, const ComparedModel& best) {
  const std::optional<Summary>& s = m.summary;
  json j;
  j["rank"] = m.rank;
  j["name"] = m.name;
  j["label"] = m.label.empty() ? json(nullptr) : json(m.label);
  j["model_number"] = s ? Optional(s->modelNumber) : json(nullptr);
  j["model_name"] = s && !s->modelName.empty() ? json(s->modelName) : json(nullptr);
  j["folder"] = m.folder;
  j["exit_code"] = s ? Optional(s->exitCode) : json(nullptr);
  j["compared"] = m.fitted;
  j["note"] = m.note.empty() ? json(nullptr) : json(m.note);
  j["objective"] = Optional(m.objective);
  j["mean_relative_error"] = Optional(m.meanError);
  j["points"] = m.fitted ? json(m.points) : json(nullptr);
  j["free_parameter_count"] = s ? json(s->parameters.size()) : json(nullptr);
  j["aic"] = m.criteria ? json(m.criteria->aic) : json(nullptr);
  j["bic"] = m.criteria ? json(m.criteria->bic) : json(nullptr);
  j["delta_bic"] = m.criteria && best.criteria ? json(m.criteria->bic - best.criteria->bic)
                                               : json(nullptr);
  j["rank_by_objective"] = m.fitted ? json(m.objectiveRank) : json(nullptr);
  if (s) {
    j["search"] = {{"mode", s->searchMode.empty() ? json(nullptr) : json(s->searchMode)},
                   {"evaluations", s->evaluations},
                   {"uncertainty_evaluations",
                    s->uncertainty ? json(s->uncertainty->evaluations) : json(nullptr)}};
    j["wall_time_ms"] = Optional(s->wallMs);
    j["cpu_time_s"] = Optional(s->cpuSeconds);
    j["run_wall_time_s"] = s->runTimes ? json(s->runTimes->wall) : json(nullptr);
    j["run_cpu_time_s"] = s->runTimes ? json(s->runTimes->cpu) : json(nullptr);
    j["tests"] = TestsJson(*s);
    j["free_parameters"] = ParametersJson(*s);
  } else {
    j["search"] = nullptr;
    j["wall_time_ms"] = nullptr;
    j["cpu_time_s"] = nullptr;
    j["run_wall_time_s"] = nullptr;
    j["run_cpu_time_s"] = nullptr;
    j["tests"] = json::array();
    j["free_parameters"] = json::array();
  }
  return j;
}

}  // namespace

std::string ComparisonJson(const Comparison& c) {
  json j;
  j["title"] = c.title;
  j["program_version"] = kVersion;
  j["criterion"] = c.criterion;
  j["criterion_rule"] = CriterionRule();
  j["verdict"] = c.verdict;
  j["indistinguishable"] = c.indistinguishable;
  j["points_differ"] = c.pointsDiffer;
  if (c.runTimes) {
    json parts = json::array();
    for (const TimePart& p : c.runTimes->parts) {
      parts.push_back({{"part", p.name}, {"wall_time_s", p.wall}, {"cpu_time_s", p.cpu}});
    }
    j["run_times"] = {{"wall_time_s", c.runTimes->wall},
                      {"cpu_time_s", c.runTimes->cpu},
                      {"parts", parts}};
  } else {
    j["run_times"] = nullptr;
  }
  j["models"] = json::array();
  for (const ComparedModel& m : c.models) j["models"].push_back(ModelJson(m, c.models.front()));
  return j.dump(2) + "\n";
}

}  // namespace soilcal::report
