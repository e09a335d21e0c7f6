// Keys are snake_case; unknown or undetermined values are null. Values are
// in the units of "calibrated" (the slot's own: sin φ for a friction angle).
#include "report/uncertainty_json.hpp"

#include <limits>

#include "report/json_values.hpp"

namespace soilcal::report {
namespace {

using json = nlohmann::ordered_json;

std::optional<double> NumberOf(const json& j) {
  return j.is_number() ? std::optional<double>(j.get<double>()) : std::nullopt;
}

json ParameterJson(const ParameterUncertaintySummary& p) {
  json flags = json::array();
  for (const UncertaintyFlagSummary& f : p.flags) flags.push_back({{"kind", f.kind}, {"text", f.text}});
  json interval = p.interval95 ? json::array({p.interval95->first, p.interval95->second}) : json(nullptr);
  json profile = p.profile ? json::array({Optional(p.profile->low), Optional(p.profile->high)})
                           : json(nullptr);
  return {{"standard_error", Optional(p.standardError)},
          {"interval_95", interval},
          {"profile", profile},
          {"flags", flags}};
}

ParameterUncertaintySummary ParameterOf(const json& j) {
  ParameterUncertaintySummary p;
  p.standardError = NumberOf(j.at("standard_error"));
  const json& interval = j.at("interval_95");
  if (interval.is_array() && interval.size() == 2) {
    const std::optional<double> low = NumberOf(interval.at(0)), high = NumberOf(interval.at(1));
    if (low && high) p.interval95 = std::make_pair(*low, *high);
  }
  const json& profile = j.at("profile");
  if (profile.is_array() && profile.size() == 2) {
    p.profile = ProfileSummary{NumberOf(profile.at(0)), NumberOf(profile.at(1))};
  }
  for (const json& f : j.at("flags")) {
    p.flags.push_back({f.at("kind").get<std::string>(), f.at("text").get<std::string>()});
  }
  return p;
}

json MethodJson(const UncertaintySummary& u) {
  return {{"computed", u.computed},
          {"note", u.note},
          {"finite_difference_step", u.step},
          {"degrees_of_freedom", u.degreesOfFreedom},
          {"residual_variance", Optional(u.residualVariance)},
          {"t_quantile_975", Optional(u.tQuantile)},
          {"profile_threshold", Optional(u.profileThreshold)},
          {"evaluations", u.evaluations},
          {"profile_evaluations", u.profileEvaluations},
          {"units", {{"force", u.forceUnit}, {"length", u.lengthUnit}, {"time", u.timeUnit}}}};
}

}  // namespace

void AddUncertaintyJson(const Summary& s, json& j) {
  for (std::size_t i = 0; i < s.parameters.size() && i < j["parameters"].size(); ++i) {
    const auto& u = s.parameters[i].uncertainty;
    j["parameters"][i]["uncertainty"] = u ? ParameterJson(*u) : json(nullptr);
  }
  const bool known = s.uncertainty && s.uncertainty->computed;
  if (known) {
    json matrix = json::array();
    for (const auto& row : s.uncertainty->correlation) {
      json r = json::array();
      for (const auto& v : row) r.push_back(Optional(v));
      matrix.push_back(r);
    }
    j["correlation"] = {{"parameters", s.uncertainty->order}, {"matrix", matrix}};
  } else {
    j["correlation"] = nullptr;
  }
  j["condition_number"] = known ? Optional(s.uncertainty->conditionNumber) : json(nullptr);
  j["residual_count"] = known ? json(s.uncertainty->residualCount) : json(nullptr);
  j["uncertainty_method"] = s.uncertainty ? MethodJson(*s.uncertainty) : json(nullptr);
}

void ReadUncertaintyJson(const json& j, Summary& s) {
  if (!j.contains("uncertainty_method") || j.at("uncertainty_method").is_null()) return;
  const json& m = j.at("uncertainty_method");
  UncertaintySummary u;
  u.computed = m.at("computed").get<bool>();
  u.note = m.at("note").get<std::string>();
  u.step = NumberOf(m.at("finite_difference_step")).value_or(std::numeric_limits<double>::quiet_NaN());
  u.degreesOfFreedom = m.at("degrees_of_freedom").get<int>();
  u.residualVariance = NumberOf(m.at("residual_variance"));
  u.tQuantile = NumberOf(m.at("t_quantile_975"));
  u.profileThreshold = NumberOf(m.at("profile_threshold"));
  u.evaluations = m.at("evaluations").get<long>();
  u.profileEvaluations = m.at("profile_evaluations").get<long>();
  const json& units = m.at("units");
  u.forceUnit = units.at("force").get<std::string>();
  u.lengthUnit = units.at("length").get<std::string>();
  u.timeUnit = units.at("time").get<std::string>();
  u.conditionNumber = NumberOf(j.at("condition_number"));
  if (j.at("residual_count").is_number()) u.residualCount = j.at("residual_count").get<int>();
  if (const json& c = j.at("correlation"); c.is_object()) {
    u.order = c.at("parameters").get<std::vector<std::string>>();
    for (const json& row : c.at("matrix")) {
      std::vector<std::optional<double>> r;
      for (const json& v : row) r.push_back(NumberOf(v));
      u.correlation.push_back(std::move(r));
    }
  }
  const json& params = j.at("parameters");
  for (std::size_t i = 0; i < params.size() && i < s.parameters.size(); ++i) {
    if (params[i].contains("uncertainty") && !params[i].at("uncertainty").is_null()) {
      s.parameters[i].uncertainty = ParameterOf(params[i].at("uncertainty"));
    }
  }
  s.uncertainty = std::move(u);
}

}  // namespace soilcal::report
