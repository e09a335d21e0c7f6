// job_language.json: written by the TOML front end, read with the
// optimisation file.
#include "input/job_language.hpp"


#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "input/records.hpp"
#include "models/parameter_table.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::input {
namespace {

using json = nlohmann::ordered_json;
namespace params = models::params;

json AxisJson(const AxisLanguage& a) {
  json j = {{"name", a.name}, {"code", a.code}, {"factor", a.factor}};
  if (a.per != 1.0) j["per"] = a.per;
  return j;
}

// A number the writer may have written as null (NaN, an infinity): NaN
// then, `missing` when the key is absent.
double NumberOf(const json& j, const char* key, double missing) {
  if (!j.contains(key)) return missing;
  const json& v = j.at(key);
  return v.is_null() ? std::numeric_limits<double>::quiet_NaN() : v.get<double>();
}

std::string TextOf(const json& j, const char* key) {
  return j.contains(key) && j.at(key).is_string() ? j.at(key).get<std::string>() : std::string();
}

AxisLanguage AxisOf(const json& j) {
  return {j.at("name").get<std::string>(), j.at("code").get<int>(),
          NumberOf(j, "factor", std::numeric_limits<double>::quiet_NaN()), NumberOf(j, "per", 1.0)};
}

JobLanguage FromJson(const json& j) {
  JobLanguage l;
  l.jobFile = j.at("job").get<std::string>();
  for (const json& p : j.at("parameters")) {
    l.parameters.push_back({p.at("slot").get<int>(), p.at("name").get<std::string>(),
                            p.at("unit").get<std::string>(), p.at("conversion").get<std::string>(),
                            NumberOf(p, "partner", 0.0), TextOf(p, "start_rule")});
  }
  for (const json& t : j.at("tests")) {
    std::vector<CurveLanguage> curves;
    for (const json& c : t.at("curves")) {
      curves.push_back({c.at("output").get<std::string>(), AxisOf(c.at("x")), AxisOf(c.at("y")),
                        TextOf(c, "source")});
    }
    l.curves.push_back(std::move(curves));
    l.sources.push_back(t.contains("source_choices") && t.at("source_choices").is_array()
                            ? t.at("source_choices").get<std::vector<std::string>>()
                            : std::vector<std::string>{});
    std::vector<TestSlot> own;
    if (const auto it = t.find("own_slots"); it != t.end()) {
      for (const json& o : *it) {
        own.push_back({o.at("slot").get<int>(), o.at("value").get<double>(),
                       o.value("name", std::string())});
      }
    }
    l.testSlots.push_back(std::move(own));
  }
  return l;
}

// The language describes this job: the same free slots in the same order,
// the same number of tests and of curves per test, known quantity codes.
bool Agrees(const JobLanguage& l, const Job& job) {
  const auto& index = job.settings.index;
  if (l.parameters.size() != index.size()) return false;
  for (std::size_t j = 0; j < index.size(); ++j) {
    if (l.parameters[j].slot != index[j]) return false;
  }
  if (l.curves.size() != job.tests.size()) return false;
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    if (l.curves[t].size() != job.tests[t].curveFiles.size()) return false;
  }
  // A test's own slot is a material slot the search does not free.
  for (const std::vector<TestSlot>& own : l.testSlots) {
    for (const TestSlot& o : own) {
      if (o.slot < 1 || o.slot > 200) return false;
      if (std::find(index.begin(), index.end(), o.slot) != index.end()) return false;
    }
  }
  if (!l.testSlots.empty() && l.testSlots.size() != job.tests.size()) return false;
  return true;
}

}  // namespace

std::string JobLanguageJson(const JobLanguage& language) {
  json j;
  j["job"] = language.jobFile;
  j["parameters"] = json::array();
  for (const ParameterLanguage& p : language.parameters) {
    json entry = {{"slot", p.slot}, {"name", p.name}, {"unit", p.unit},
                  {"conversion", p.conversion}};
    if (p.conversion == "shear_from_young") entry["partner"] = p.partner;
    if (!p.startRule.empty()) entry["start_rule"] = p.startRule;
    j["parameters"].push_back(std::move(entry));
  }
  j["tests"] = json::array();
  for (std::size_t t = 0; t < language.curves.size(); ++t) {
    json list = json::array();
    for (const CurveLanguage& c : language.curves[t]) {
      json entry = {{"output", c.output}, {"x", AxisJson(c.x)}, {"y", AxisJson(c.y)}};
      if (!c.source.empty()) entry["source"] = c.source;
      list.push_back(std::move(entry));
    }
    json test = {{"curves", std::move(list)}};
    if (t < language.sources.size() && !language.sources[t].empty()) {
      test["source_choices"] = language.sources[t];
    }
    if (t < language.testSlots.size() && !language.testSlots[t].empty()) {
      json own = json::array();
      for (const TestSlot& o : language.testSlots[t]) {
        own.push_back({{"name", o.name}, {"slot", o.slot}, {"value", o.value}});
      }
      test["own_slots"] = std::move(own);
    }
    j["tests"].push_back(std::move(test));
  }
  return j.dump(2) + "\n";
}

const std::vector<TestSlot>* TestSlotsOf(const Job& job, const LabTest& test) {
  if (!job.language) return nullptr;
  const std::vector<std::vector<TestSlot>>& all = job.language->testSlots;
  for (std::size_t t = 0; t < job.tests.size() && t < all.size(); ++t) {
    if (&job.tests[t] == &test) return all[t].empty() ? nullptr : &all[t];
  }
  return nullptr;
}

std::optional<JobLanguage> ReadJobLanguage(const Job& job) {
  const std::string path = job.projectFolder + kJobLanguageFile;
  if (!services::FileExists(path)) return std::nullopt;
  std::string text;
  std::string why;
  if (!services::ReadRegularFile(services::ResolvePath(path), text, &why)) {
    services::Warn(std::string(kJobLanguageFile) + " " + why + "; the job keeps its native names");
    return std::nullopt;
  }
  try {
    JobLanguage l = FromJson(json::parse(text));
    if (Agrees(l, job)) return l;
    services::Warn(std::string(kJobLanguageFile) +
                   " does not describe the free parameters, tests and curves of " +
                   services::BareName(job.argument) + "; the job keeps its native names");
  } catch (const json::exception& e) {
    services::Warn(std::string(kJobLanguageFile) + " cannot be read (" + e.what() +
                   "); the job keeps its native names");
  }
  return std::nullopt;
}

namespace {

params::Parameter ConversionOf(const ParameterLanguage& p) {
  params::Parameter conversion;
  if (p.conversion == "sine") {
    conversion.stored = params::Stored::kSine;
  } else if (p.conversion == "shear_from_young") {
    conversion.stored = params::Stored::kShearFromYoung;
  } else if (p.conversion == "porosity_from_void_ratio") {
    conversion.stored = params::Stored::kPorosityFromVoidRatio;
  }
  return conversion;
}

}  // namespace

double ToJobValue(const ParameterLanguage& p, double stored) {
  const params::Parameter conversion = ConversionOf(p);
  return params::ExactGiven(conversion, stored, p.partner)
      .value_or(params::FromStored(conversion, stored, p.partner));
}

double ToStoredValue(const ParameterLanguage& p, double given) {
  return params::ToStored(ConversionOf(p), given, p.partner);
}

}  // namespace soilcal::input
