#include "jobfile/toml_writer.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "jobfile/csv.hpp"
#include "jobfile/native_job.hpp"
#include "jobfile/parameter_text.hpp"
#include "jobfile/quantity_names.hpp"
#include "jobfile/templates.hpp"
#include "models/parameter_table.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

namespace params = models::params;
constexpr const char* kComponents[] = {"xx", "yy", "zz", "xy", "yz", "zx"};

std::string Real(double v) { return services::FormatReal(v + 0.0); }

// A TOML basic string.
std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') {
      q += '\\';
      q += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      q += buffer;
    } else {
      q += c;
    }
  }
  return q + "\"";
}

template <typename T>
std::string List(const std::vector<T>& values) {
  std::string s = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) s += ", ";
    if constexpr (std::is_same_v<T, int>) {
      s += std::to_string(values[i]);
    } else {
      s += Real(values[i]);
    }
  }
  return s + "]";
}

// A native test's phases end on their levels; a TOML test by levels goes
// a little past each branch's last level unless told otherwise.
std::string Overshoot(const TemplateValues& v) {
  if (v.overshoot == kDefaultOvershoot) return "";
  return "overshoot = " + Real(v.overshoot) + "   # each phase ends on its level\n";
}

// One value for all phases when they agree, else one per phase.
template <typename T>
std::string PerPhase(const std::vector<T>& values) {
  for (const T& v : values) {
    if (!(v == values.front())) return List(values);
  }
  if constexpr (std::is_same_v<T, int>) return std::to_string(values.front());
  return Real(values.front());
}

[[noreturn]] void Refuse(const std::string& text) {
  throw services::RunError(kJobFileUnreadable, text);
}

int VariantOf(const input::LabTest& test, int base) { return (test.modelNumber - base) / 100 - 1; }

std::string Drainage(int variant) {
  if (variant == 0) return "drainage = \"drained\"\n";
  if (variant == 1) return "drainage = \"undrained\"\n";
  return "variant = " + std::to_string(variant) + "\n";
}

const params::Model* TableOf(const input::MaterialInput& m) {
  if (models::udsm::IsUserModel(m.baseModel)) return params::FindUserModel(m.name, m.baseModel);
  return params::FindModel(m.baseModel);
}

std::string ModelSection(const input::Job& job) {
  const input::MaterialInput& m = job.material;
  std::string t = "[model]\n";
  const params::Model* model = params::FindModel(m.baseModel);
  t += model != nullptr ? "name = " + Quote(std::string(model->name)) + "\n"
                        : "number = " + std::to_string(m.baseModel) + "\n";
  if (models::udsm::IsUserModel(m.baseModel)) {
    t += "library = " + Quote(m.name) + "\n";
  } else if (!m.name.empty()) {
    t += "material = " + Quote(m.name) + "\n";
  }
  return t + Drainage(VariantOf(job.tests.back(), m.baseModel));
}

std::string ParameterSection(const input::MaterialInput& m) {
  std::string t = "[parameters]\n";
  std::set<int> written;
  // A slot the reader fills when the job leaves it out is written even at 0;
  // a K0nc the model derives (not above 0) is left out, and the reader
  // derives it alike.
  auto given = [&](int slot) {
    const double v = m.params[static_cast<std::size_t>(slot)];
    const params::JobDefault fill = params::JobDefaultOf(m.baseModel, slot);
    if (fill == params::JobDefault::kK0ncFromSine) return v > 0.0;
    return v != 0.0 || std::signbit(v) || fill != params::JobDefault::kNone;
  };
  if (const params::Model* model = TableOf(m)) {
    for (const params::Parameter& p : model->parameters) {
      if (p.slot > 200 || written.count(p.slot) != 0 || !given(p.slot)) continue;
      if (params::FindParameterForSlot(*model, p.slot) != &p) continue;
      const auto named = NameValue(p, m.params[static_cast<std::size_t>(p.slot)]);
      if (!named) continue;
      t += named->name + " = " + Real(named->value);
      if (!named->note.empty()) t += "  # " + named->note;
      t += "\n";
      written.insert(p.slot);
    }
  }
  for (int slot = 1; slot <= 200; ++slot) {
    if (written.count(slot) != 0 || !given(slot)) continue;
    t += SlotName(slot) + " = " + Real(m.params[static_cast<std::size_t>(slot)]) + "\n";
  }
  return t;
}

// A free parameter under its name when both bounds convert exactly and the
// model lets it be calibrated, else as slot_N.
std::string FreeLine(const params::Model* model, int slot, double lower, double upper) {
  if (model != nullptr) {
    if (const params::Parameter* p = params::FindParameterForSlot(*model, slot)) {
      const auto lo = NameValue(*p, lower);
      const auto hi = NameValue(*p, upper);
      if (lo && hi && p->derivation != params::Derivation::kOverwritten &&
          p->derivation != params::Derivation::kIgnoredOnceDerived) {
        return lo->name + " = [" + Real(lo->value) + ", " + Real(hi->value) + "]\n";
      }
    }
  }
  return SlotName(slot) + " = [" + Real(lower) + ", " + Real(upper) + "]\n";
}

std::string CalibrateSection(const input::Job& job, bool thorough) {
  const input::OptimisationSettings& s = job.settings;
  std::string t = "[calibrate]\n";
  t += "intensity = " + std::to_string(s.intensity) + "\n";
  t += "tolerance = " + Real(s.tolerance) + "\n";
  if (thorough) t += "search = \"thorough\"\n";
  if (s.index.empty()) return t;
  t += "\n[calibrate.free]\n";
  const params::Model* model = TableOf(job.material);
  std::set<int> freed;
  for (std::size_t j = 0; j < s.index.size(); ++j) {
    if (!freed.insert(s.index[j]).second) {
      Refuse("slot " + std::to_string(s.index[j]) +
             " is free twice in the optimisation file; a TOML job frees each parameter once");
    }
    t += FreeLine(model, s.index[j], s.lower[j], s.upper[j]);
  }
  return t;
}

std::string TemplateKeys(const TemplateValues& v) {
  std::string t;
  switch (v.kind) {
    case input::TestKind::kTriaxialCompression:
    case input::TestKind::kTriaxialExtension:
      t += "cell_pressure = " + Real(v.cellPressure) + "\n";
      if (v.initialAxialStress) t += "initial_axial_stress = " + Real(*v.initialAxialStress) + "\n";
      t += "axial_strain = " + Real(v.axialStrain) + "\n";
      break;
    case input::TestKind::kOedometer:
      t += "initial_vertical_stress = " + Real(v.initialVerticalStress) + "\n";
      if (v.initialHorizontalStress) {
        t += "initial_horizontal_stress = " + Real(*v.initialHorizontalStress) + "\n";
      }
      t += v.levels.empty() ? "vertical_strain = " + List(v.strains) + "\n"
                            : "vertical_stress = " + List(v.levels) + "\n";
      t += Overshoot(v);
      break;
    case input::TestKind::kIsotropicCompression:
      t += "initial_pressure = " + Real(v.initialVerticalStress) + "\n";
      t += "pressure = " + List(v.levels) + "\n";
      t += Overshoot(v);
      break;
    case input::TestKind::kDirectSimpleShear:
      t += "vertical_stress = " + Real(v.initialVerticalStress) + "\n";
      if (v.initialHorizontalStress) {
        t += "initial_horizontal_stress = " + Real(*v.initialHorizontalStress) + "\n";
      }
      t += "shear_strain = " + Real(v.shearStrain) + "\n";
      if (v.constantHeight) t += "constant_height = true\n";
      break;
    case input::TestKind::kCyclicDirectSimpleShear:
      t += "vertical_stress = " + Real(v.initialVerticalStress) + "\nk0 = " + Real(v.k0) + "\n";
      t += v.cyclicStressRatio ? "cyclic_stress_ratio = " + Real(*v.cyclicStressRatio) + "\n"
                               : "shear_stress_amplitude = " + Real(v.amplitude) + "\n";
      return t + "cycles = " + std::to_string(v.cycles) + "\nsteps = " + PerPhase(v.steps) + "\n";
    case input::TestKind::kCyclicTriaxial:
      t += "cell_pressure = " + Real(v.cellPressure) + "\n";
      t += "deviator_amplitude = " + Real(v.amplitude) + "\n";
      return t + "cycles = " + std::to_string(v.cycles) + "\nsteps = " + PerPhase(v.steps) + "\n";
    case input::TestKind::kGeneral:
      break;
  }
  t += "steps = " + PerPhase(v.steps) + "\n";
  t += "time = " + PerPhase(v.time) + "\n";
  return t;
}

// Compression positive for the normal components, as the reader takes them.
double JobSign(int component, double nativeValue) { return FromJobSign(component, nativeValue); }

std::string GeneralKeys(const Loading& l) {
  std::string t;
  std::vector<double> start;
  for (int i = 0; i < 6; ++i) start.push_back(JobSign(i, l.initialStress[static_cast<std::size_t>(i)]));
  t += "initial_stress = " + List(start) + "  # xx yy zz xy yz zx\n";
  if (l.testType != 1) t += "test_type = " + std::to_string(l.testType) + "\n";
  return t;
}

std::string GeneralPhases(const Loading& l) {
  std::string t;
  for (const Phase& p : l.phases) {
    t += "\n[[tests.phases]]\nsteps = " + std::to_string(p.loadSteps) + "\ntime = " + Real(p.timeIncrement) +
         "\n";
    std::string strain, stress;
    for (int i = 0; i < 6; ++i) {
      const auto k = static_cast<std::size_t>(i);
      std::string& target = p.flags[k] == 1 ? stress : strain;
      const double v = JobSign(i, p.flags[k] == 1 ? p.stress[k] : p.strain[k]);
      target += std::string(target.empty() ? "" : ", ") + kComponents[i] + " = " + Real(v);
    }
    if (!strain.empty()) t += "strain = { " + strain + " }\n";
    if (!stress.empty()) t += "stress = { " + stress + " }\n";
  }
  return t;
}

// Solver settings that differ from what a TOML test gets without them (the
// reader of the lab-test file keeps at most 0.0025 of the tolerance).
std::string SolverLine(const input::LabTest& test) {
  std::string keys;
  auto add = [&](const std::string& k) { keys += (keys.empty() ? "" : ", ") + k; };
  if (test.tolerance != 0.0025) add("tolerance = " + Real(test.tolerance));
  if (test.maxIterations != 200) add("max_iterations = " + std::to_string(test.maxIterations));
  if (test.realSettings[0] != 1.0) add("relaxation = " + Real(test.realSettings[0]));
  if (test.accelerationFlag != 0) add("acceleration = " + std::to_string(test.accelerationFlag));
  return keys.empty() ? "" : "solver = { " + keys + " }\n";
}

std::string SafeName(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
  }
  if (name.empty()) name = "test";
  return name.substr(0, 40);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Stem(const std::string& file) {
  std::string bare = services::BareName(file);
  const std::size_t dot = bare.rfind('.');
  return dot == std::string::npos || dot == 0 ? bare : bare.substr(0, dot);
}

std::string CurveText(const input::LabTest& test, std::size_t c, const TestFacts& facts,
                      const std::string& testName, TomlJobText& out) {
  const input::Curve& curve = test.curves[c];
  const std::optional<NamedPair> names = NameCodes(curve.xCode, curve.yCode, facts);
  if (!names) {
    Refuse("the curve " + services::BareName(test.curveFiles[c]) + " (codes " +
           std::to_string(curve.xCode) + ", " + std::to_string(curve.yCode) +
           ") has no quantity names");
  }
  auto column = [](const NamedAxis& a) {
    return std::string(a.quantity->name) + (a.scale < 0.0 ? " (negated)" : "");
  };
  const std::string csvName = testName + "_" + SafeName(Stem(test.curveFiles[c])) + ".csv";
  std::vector<std::string> header;
  std::vector<std::vector<double>> columns;
  if (test.nPhases > 1) {
    header.push_back("phase");
    std::vector<double> phase;
    for (std::size_t p = 0; p < curve.segmentSizes.size(); ++p) {
      phase.insert(phase.end(), static_cast<std::size_t>(std::max(curve.segmentSizes[p], 0)),
                   static_cast<double>(p + 1));
    }
    columns.push_back(phase);
  }
  header.push_back(column(names->x));
  header.push_back(column(names->y));
  columns.push_back(curve.x);
  columns.push_back(curve.y);
  out.csv.push_back({csvName, CsvText(header, columns)});

  std::string t = "\n[[tests.curves]]\nfile = " + Quote(csvName) + "\n";
  t += "x = " + Quote(std::string(names->x.quantity->name)) + "\n";
  t += "y = " + Quote(std::string(names->y.quantity->name)) + "\n";
  if (names->x.scale < 0.0) t += "x_column = " + Quote(column(names->x)) + "\nx_scale = -1\n";
  if (names->y.scale < 0.0) t += "y_column = " + Quote(column(names->y)) + "\ny_scale = -1\n";
  return t;
}

std::string TestText(const input::Job& job, std::size_t index, std::set<std::string>& names,
                     TomlJobText& out) {
  const input::LabTest& test = job.tests[index];
  const int base = job.material.baseModel;
  const int variant = VariantOf(test, base);
  if (test.modelNumber - 100 * (variant + 1) != base || variant < 0 || variant > 9) {
    Refuse(services::BareName(test.testFile) + " has model number " +
           std::to_string(test.modelNumber) + " while the job calibrates model " +
           std::to_string(base) + " (variants 0 to 9); a TOML job has one model");
  }
  const std::string stem = SafeName(Stem(test.testFile)).substr(0, 36);
  std::string name = stem;
  for (int k = 2; !names.insert(Upper(name)).second; ++k) name = stem + "_" + std::to_string(k);

  const std::optional<TemplateValues> values = Recognise(test);
  const Loading loading = LoadingOf(test);
  const input::TestKind kind = values ? values->kind : input::TestKind::kGeneral;
  std::string t = "\n[[tests]]\nname = " + Quote(name) + "\n";
  t += "type = " + Quote(std::string(input::TestKindName(kind))) + "\n";
  if (variant != VariantOf(job.tests.back(), base)) t += Drainage(variant);
  t += values ? TemplateKeys(*values) : GeneralKeys(loading);
  t += SolverLine(test);
  if (!values) t += GeneralPhases(loading);
  const TestFacts facts = FactsOf(kind, loading);
  for (std::size_t c = 0; c < test.curves.size(); ++c) t += CurveText(test, c, facts, name, out);
  return t;
}

}  // namespace

TomlJobText NativeToToml(const input::Job& job, bool thorough, const std::string& source) {
  if (job.tests.empty()) Refuse("the job has no tests; a TOML job needs at least one");
  TomlJobText out;
  const input::MaterialInput& m = job.material;
  std::string& t = out.toml;
  t += "# Written by soilcal --write-toml from " + source + "\n";
  t += "# Stresses in force/length^2, compression positive; strains as fractions.\n\n";
  t += "[units]\nforce = " + Quote(m.forceUnit) + "\nlength = " + Quote(m.lengthUnit) +
       "\ntime = " + Quote(m.timeUnit) + "\n\n";
  t += ModelSection(job) + "\n";
  t += ParameterSection(m) + "\n";
  t += CalibrateSection(job, thorough);
  std::set<std::string> names;
  for (std::size_t i = 0; i < job.tests.size(); ++i) t += TestText(job, i, names, out);
  return out;
}

void WriteTomlJob(const TomlJobText& text, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(services::ResolvePath(path));
  const fs::path folder = file.parent_path();
  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  auto write = [](const fs::path& p, const std::string& s) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << s;
    out.close();
    if (!out) Refuse("the file " + p.string() + " cannot be written");
  };
  for (const TomlJobText::Csv& csv : text.csv) write(folder / csv.name, csv.text);
  write(file, text.toml);
}

}  // namespace soilcal::jobfile
