// Writing a job from measured tests: the tests gathered (a TOML job's own
// [[tests]], a lab file as `from = "FILE"`), read once through the TOML
// reader to know them, the start values derived for each model, the job
// written and read back before anyone sees it.
#include "jobfile/new_job.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <optional>
#include <set>
#include <tuple>
#include <sstream>

#include <toml++/toml.h>

#include "jobfile/measured_tests.hpp"
#include "labfiles/lab_file.hpp"
#include "jobfile/model_list.hpp"
#include "jobfile/reader_parts.hpp"
#include "jobfile/test_text.hpp"
#include "jobfile/toml_job.hpp"
#include "models/parameter_table.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

namespace fs = std::filesystem;
namespace params = models::params;

struct Sources {
  std::string units;      // the [units] table of the first TOML job, as text
  std::string drainage;   // of the first TOML job's model, if it gives one
  std::string material;
  toml::array tests;
  std::vector<bool> fromLab;   // per test: read from a lab file (written by us)
};

// `file` (relative to `from`) as a path relative to the folder `to`.
std::string Relative(const std::string& file, const fs::path& from, const fs::path& to) {
  fs::path p(file);
  if (p.is_relative()) p = from / p;
  std::error_code ec;
  const fs::path rel = fs::relative(fs::absolute(p), fs::absolute(to), ec);
  // Beside or below the job, or a little above it: relative; else absolute.
  int up = 0;
  for (const fs::path& part : rel) up += part == ".." ? 1 : 0;
  return (ec || rel.empty() || up > 2 ? fs::absolute(p).lexically_normal() : rel).generic_string();
}

void AddTomlJob(const std::string& path, const fs::path& outFolder, Sources& s) {
  const toml::table root = reader::ParseTomlText(reader::ReadJobFileText(path), path);
  const fs::path folder = fs::path(services::FolderOf(path).empty() ? "." : services::FolderOf(path));
  const toml::array* tests = root["tests"].as_array();
  if (tests == nullptr || tests->empty()) {
    throw services::RunError(kJobFileUnreadable,
                             path + " holds no [[tests]]: soilcal new needs measured tests");
  }
  std::string units;
  if (const toml::table* table = root["units"].as_table()) {
    std::ostringstream text;
    text << toml::toml_formatter(*table);
    units = text.str();
  }
  if (!s.tests.empty() && units != s.units) {
    throw services::RunError(kJobFileUnreadable,
                             path + " gives other [units] than the first job; soilcal new "
                                    "reuses tests of jobs in one system of units only");
  }
  if (s.tests.empty()) {
    s.units = units;
    const toml::table* model = root["model"].as_table();
    if (model == nullptr) {
      if (const toml::array* list = root["models"].as_array(); list && !list->empty()) {
        model = list->get(0)->as_table();
      }
    }
    if (model != nullptr) {
      s.drainage = (*model)["drainage"].value_or(std::string());
      s.material = (*model)["material"].value_or(std::string());
    }
  }
  for (const toml::node& node : *tests) {
    const toml::table* t = node.as_table();
    if (t == nullptr) continue;
    toml::table copy = *t;
    if (auto from = copy["from"].value<std::string>()) {
      copy.insert_or_assign("from", Relative(*from, folder, outFolder));
    }
    if (toml::array* curves = copy["curves"].as_array()) {
      for (toml::node& c : *curves) {
        toml::table* curve = c.as_table();
        if (curve == nullptr) continue;
        if (auto file = (*curve)["file"].value<std::string>()) {
          curve->insert_or_assign("file", Relative(*file, folder, outFolder));
        }
      }
    }
    s.tests.push_back(std::move(copy));
    s.fromLab.push_back(false);
  }
}

// A test name the TOML reader takes (letters, digits, _ and -, at most 40),
// made from `text` and unique among the tests so far.
std::string TestName(const std::string& text, const Sources& s) {
  std::string name;
  for (const char c : text) {
    const bool ok = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
    if (name.size() < 36) name += ok ? c : '_';
  }
  if (name.empty()) name = "TEST";
  std::string unique = name;
  for (int k = 2;; ++k) {
    bool taken = false;
    for (const toml::node& t : s.tests) {
      const toml::table* table = t.as_table();
      if (table != nullptr && (*table)["name"].value<std::string>() == unique) taken = true;
    }
    if (!taken) return unique;
    unique = name + "_" + std::to_string(k);
  }
}

// A lab file as `from` tests: one test, or one per specimen asked for
// (LOCATION:DEPTH:REF, as `soilcal inspect --specimen` takes it).
toml::table SpecimenTable(const std::string& text) {
  const std::optional<labfiles::SpecimenKey> key = labfiles::ParseSpecimenKey(text);
  if (!key) {
    throw services::RunError(kJobFileUnreadable, "--specimen " + text +
                                                     ": give LOCATION:DEPTH:REF, for example "
                                                     "BH1:2.0:3 (depth and ref may be empty)");
  }
  toml::table specimen;
  specimen.insert("location", key->location);
  if (key->depth) specimen.insert("depth", *key->depth);
  if (!key->ref.empty()) specimen.insert("ref", key->ref);
  return specimen;
}

void AddLabFile(const std::string& path, const std::vector<std::string>& specimens,
                const LabChoice* choice, const fs::path& outFolder, Sources& s) {
  const std::string stem = fs::path(path).stem().string();
  const std::string from = Relative(path, fs::current_path(), outFolder);
  if (choice != nullptr) {
    toml::table t;
    std::string name = stem;
    if (choice->stage) name += "_stage" + std::to_string(*choice->stage);
    if (!choice->specimen.empty()) name += "_" + choice->specimen;
    t.insert("name", TestName(name, s));
    t.insert("from", from);
    if (choice->stage) t.insert("stage", *choice->stage);
    if (!choice->specimen.empty()) t.insert("specimen", SpecimenTable(choice->specimen));
    if (!choice->group.empty()) t.insert("group", choice->group);
    s.tests.push_back(std::move(t));
    s.fromLab.push_back(true);
    return;
  }
  if (specimens.empty()) {
    toml::table t;
    t.insert("name", TestName(stem, s));
    t.insert("from", from);
    s.tests.push_back(std::move(t));
    s.fromLab.push_back(true);
    return;
  }
  for (const std::string& text : specimens) {
    toml::table specimen = SpecimenTable(text);
    toml::table t;
    t.insert("name", TestName(stem + "_" + text, s));
    t.insert("from", from);
    t.insert("specimen", std::move(specimen));
    s.tests.push_back(std::move(t));
    s.fromLab.push_back(true);
  }
}

// A TOML basic string: "text" with backslashes, quotes and control
// characters escaped.
std::string Quoted(const std::string& s) {
  std::string text = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
      text += buffer;
    } else {
      text += c;
    }
  }
  return text + "\"";
}

// A number at four significant digits rounded down (-1), to nearest (0) or up (1).
double Round4(double v, int direction) {
  if (v == 0.0 || !std::isfinite(v)) return v;
  const double scale = std::pow(10.0, std::floor(std::log10(std::abs(v))) - 3);
  const double q = v / scale;
  const double r = direction < 0 ? std::floor(q + 1e-9) : direction > 0 ? std::ceil(q - 1e-9)
                                                                        : std::round(q);
  return r * scale;
}

struct Rounded {
  double value, lower, upper;
};

// Values set by hand, by model, name and "value" or "bounds": written as
// typed, not rounded.
using HandSet = std::set<std::tuple<std::string, std::string, std::string>>;

// A number as typed: the shortest text that reads back as the same double.
std::string HandNumber(double v) {
  char buffer[40];
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
    if (std::strtod(buffer, nullptr) == v) break;
  }
  return buffer;
}

Rounded RoundForJob(const derive::DerivedValue& v) {
  Rounded r{Round4(v.value, 0), Round4(v.lower, -1), Round4(v.upper, 1)};
  r.lower = std::min(r.lower, r.value);
  r.upper = std::max(r.upper, r.value);
  return r;
}

std::string ModelText(const derive::Derivation& d, const Sources& s, bool inList,
                      const HandSet& hand) {
  const auto byHand = [&](const derive::DerivedValue& v, const char* what = "value") {
    return hand.count({d.model, v.name, what}) > 0;
  };
  const auto number = [&](const derive::DerivedValue& v, const char* what, double rounded,
                          double typed) {
    return byHand(v, what) ? HandNumber(typed) : JobNumber(rounded);
  };
  std::ostringstream out;
  const std::string prefix = inList ? "models." : "";
  out << (inList ? "[[models]]\n" : "[model]\n");
  out << "name = " << Quoted(d.model) << "\n";
  if (!s.material.empty()) out << "material = " << Quoted(s.material) << "\n";
  if (!s.drainage.empty()) out << "drainage = " << Quoted(s.drainage) << "\n";
  out << "\n[" << prefix << "parameters]\n";
  out << "from_data = true  # a value deleted here is derived again from the tests\n";
  for (const derive::DerivedValue& v : d.values) {
    out << v.name << " = " << number(v, "value", RoundForJob(v).value, v.value) << "  # "
        << (v.free ? "" : (byHand(v) || v.fromData) ? "fixed, " : "default, ") << v.note
        << "\n";
  }
  if (!inList) {
    // The default search starts its swarm at random points in the bounds and
    // may end away from start values that already fit; the thorough one
    // starts from them.
    out << "\n[calibrate]\nsearch = \"thorough\"  # starts from the values above; the default "
           "search starts at random points in the bounds\n";
  }
  out << "\n[" << prefix << "calibrate.free]\n";
  for (const derive::DerivedValue& v : d.values) {
    if (!v.free) continue;
    const Rounded r = RoundForJob(v);
    out << v.name << " = [" << number(v, "bounds", r.lower, v.lower) << ", "
        << number(v, "bounds", r.upper, v.upper)
        << "]\n";
  }
  return out.str();
}

// The earth pressure coefficient at rest of a specimen at the start of an
// oedometer test: K0nc of the first derivation that gives it, raised by
// OCR^sin φ′ for an overconsolidated start (Mayne & Kulhawy 1982).
std::optional<double> StartK0(const std::vector<derive::Derivation>& derivations) {
  for (const derive::Derivation& d : derivations) {
    const derive::DerivedValue* k0 = d.Find("K0nc");
    if (k0 == nullptr) continue;
    const derive::DerivedValue* phi = d.Find("phi");
    const derive::DerivedValue* ocr = d.Find("OCR");
    double k = k0->value;
    if (phi != nullptr && ocr != nullptr && ocr->value > 1.0) {
      k *= std::pow(ocr->value, std::sin(phi->value * std::numbers::pi / 180.0));
    }
    return k;
  }
  return std::nullopt;
}

// An oedometer specimen read from a lab file starts at rest, not under an
// isotropic stress (the reader's start without k0): its first increments
// would otherwise carry it from the isotropic to the K0 state and show a
// steeper compression than the soil's. Returns the tests given k0.
std::vector<std::string> StartAtRest(const NativeJob& native, double k0, Sources& s) {
  std::vector<std::string> named;
  const std::vector<derive::MeasuredTest> measured = MeasuredTests(native);
  if (measured.size() != s.tests.size() || s.fromLab.size() != s.tests.size()) return named;
  for (std::size_t i = 0; i < measured.size(); ++i) {
    toml::table* t = s.tests.get(i)->as_table();
    if (!s.fromLab[i] || t == nullptr || measured[i].kind != derive::TestKind::kOedometer) continue;
    if (t->contains("k0") || t->contains("initial_horizontal_stress")) continue;
    t->insert("k0", Round4(k0, 0));
    named.push_back(measured[i].name);
  }
  return named;
}

// Applies the edits to the derivation of one model; records which values
// are set by hand.
void ApplyEdits(const std::vector<ValueEdit>& edits, derive::Derivation& d, HandSet& hand) {
  for (const ValueEdit& e : edits) {
    if (!e.model.empty() && e.model != d.model) continue;
    derive::DerivedValue* v = nullptr;
    for (derive::DerivedValue& candidate : d.values) {
      if (candidate.name == e.name) v = &candidate;
    }
    if (v == nullptr) {
      if (!e.model.empty()) {
        throw services::RunError(kJobFileUnreadable, "the model " + d.model + " has no parameter \"" +
                                                         e.name + "\" in the derived table");
      }
      continue;
    }
    const bool wasFree = v->free;
    const std::string was = "the tests gave " + JobNumber(RoundForJob(*v).value);
    if (e.value) v->value = *e.value;
    if (e.free) v->free = *e.free;
    if (e.lower) v->lower = *e.lower;
    if (e.upper) v->upper = *e.upper;
    // Newly freed without bounds: the rounded bounds of the value itself
    // are no range; the reader then names the line to fix.
    if (v->free && !wasFree && !e.lower && !e.upper) v->lower = v->upper = v->value;
    if (e.value) hand.insert({d.model, v->name, "value"});
    if (e.lower || e.upper) hand.insert({d.model, v->name, "bounds"});
    if (e.value || e.lower || e.upper || (e.free && *e.free != wasFree)) {
      v->note = "set by hand (" + was + ": " + v->note + ")";
    }
  }
}

}  // namespace

std::string JobNumber(double v) {
  if (v == 0.0) return "0";
  const double a = std::abs(v);
  char buffer[64];
  if (a < 1e-4 || a >= 1e8) {
    std::snprintf(buffer, sizeof buffer, "%.4g", v);
    return buffer;
  }
  const int exponent = static_cast<int>(std::floor(std::log10(a)));
  std::snprintf(buffer, sizeof buffer, "%.*f", std::max(0, 3 - exponent), v);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

NewJob MakeNewJob(const NewJobRequest& request) {
  if (request.models.empty() || request.files.empty()) {
    throw services::RunError(kJobFileUnreadable, "soilcal new needs a model and at least one file");
  }
  const fs::path outFolder =
      services::FolderOf(request.output).empty() ? fs::path(".") : fs::path(services::FolderOf(request.output));
  Sources sources;
  for (const std::string& file : request.files) {
    if (!services::FileExists(file)) {
      throw services::RunError(kJobFileUnreadable, file + " not found: give the path of a TOML "
                                                          "job or of a lab file");
    }
    if (IsTomlJob(file)) {
      if (!HasModelList(file)) ReadTomlJob(file);  // its own messages, its own lines
      AddTomlJob(file, outFolder, sources);
    } else {
      const LabChoice* choice = nullptr;
      for (const LabChoice& c : request.choices) {
        if (c.file == file) choice = &c;
      }
      AddLabFile(file, request.specimens, choice, outFolder, sources);
    }
  }
  std::string tests = TestsText(sources.tests);
  const std::string units = sources.units.empty() ? "" : "[units]\n" + sources.units + "\n\n";

  NewJob job;
  std::vector<NativeJob> probes;
  HandSet hand;
  for (const std::string& model : request.models) {
    if (params::FindModel(model) == nullptr) {
      throw services::RunError(kJobFileUnreadable, "unknown model \"" + model + "\"");
    }
    // The tests read once through the TOML reader under this model.
    const int number = params::FindModel(model)->number;
    const bool needsM = number == 4 || number == 5 || number == 8;
    const std::string probe = units + "[model]\nname = " + Quoted(model) + "\n" +
                              (sources.drainage.empty() ? "" : "drainage = " +
                                                                  Quoted(sources.drainage) + "\n") +
                              (needsM ? "\n[parameters]\nM = 1\n" : "") + "\n" + tests;
    NativeJob& native = probes.emplace_back();
    try {
      native = ReadTomlText(probe, request.output);
    } catch (const services::RunError& e) {
      std::string files;
      for (const std::string& f : request.files) {
        if (!IsTomlJob(f)) files += (files.empty() ? "" : ", ") + f;
      }
      if (files.empty()) throw;
      throw services::RunError(e.code, "the lab file(s) " + files +
                                           " could not be read as tests; written as [[tests]] "
                                           "from = \"FILE\" into the new job, the TOML reader "
                                           "says: " + e.detail);
    }
    job.forceUnit = native.job.material.forceUnit;
    job.lengthUnit = native.job.material.lengthUnit;
    job.timeUnit = native.job.material.timeUnit;
    derive::DeriveOptions options;
    options.sand = request.sand;
    options.pref = native.job.material.referencePressure;
    options.stressUnit = params::StressUnitText(native.job.material.forceUnit,
                                                native.job.material.lengthUnit);
    try {
      job.derivations.push_back(derive::Derive(model, MeasuredTests(native), options));
    } catch (const std::invalid_argument& e) {
      throw services::RunError(kJobFileUnreadable, e.what());
    }
    ApplyEdits(request.edits, job.derivations.back(), hand);
  }

  std::vector<std::string> atRest;
  const std::optional<double> k0 = StartK0(job.derivations);
  if (k0 && !probes.empty()) {
    atRest = StartAtRest(probes.front(), *k0, sources);
    tests = TestsText(sources.tests);
  }

  std::ostringstream text;
  text << "# Written by soilcal new from";
  for (const std::string& f : request.files) text << " " << services::BareName(f);
  text << ".\n# Start values and bounds read off the measured curves; each parameter line\n"
          "# says how its value was found. Read them, then run: soilcal "
       << services::BareName(request.output) << "\n";
  for (const derive::Derivation& d : job.derivations) {
    for (const std::string& skip : d.skipped) text << "# Not read (" << d.model << "): " << skip << "\n";
  }
  if (!atRest.empty()) {
    text << "# Oedometer tests from lab files start at rest: k0 = " << JobNumber(Round4(*k0, 0))
         << " (K0nc of the derived values) in";
    for (const std::string& name : atRest) text << " " << name;
    text << ".\n";
  }
  text << "\n" << units;
  const bool list = job.derivations.size() > 1;
  for (const derive::Derivation& d : job.derivations) text << ModelText(d, sources, list, hand) << "\n";
  text << tests << "\n";
  job.toml = text.str();

  // Read back as the program will read it.
  if (!request.readBack) return job;
  if (list) {
    ReadModelListText(job.toml, request.output);
  } else {
    ReadTomlText(job.toml, request.output);
  }
  return job;
}

std::string DerivationTable(const std::vector<derive::Derivation>& derivations) {
  std::ostringstream out;
  for (const derive::Derivation& d : derivations) {
    out << d.model << ":\n";
    for (const derive::DerivedValue& v : d.values) {
      char line[96];
      std::snprintf(line, sizeof line, "  %-14s %12s  ", v.name.c_str(),
                    JobNumber(RoundForJob(v).value).c_str());
      out << line;
      if (v.free) {
        const Rounded r = RoundForJob(v);
        out << "free [" << JobNumber(r.lower) << ", " << JobNumber(r.upper) << "]  ";
      } else {
        out << (v.fromData ? "fixed  " : "default  ");
      }
      out << v.note << "\n";
    }
    for (const std::string& s : d.skipped) out << "  not read: " << s << "\n";
  }
  return out.str();
}

}  // namespace soilcal::jobfile
