// Tidy tables: a CSV or whitespace-separated file whose header names each
// column as a quantity with its unit ("axial_strain [%]", "q (kPa)",
// "sigma_3' [MPa]"). The columns are mapped to the job's quantities through
// a table of aliases; the test's type follows from the columns, its start
// from the first row.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "labfiles/cyclic_readings.hpp"
#include "labfiles/lab_file.hpp"
#include "labfiles/units.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;

// What a column holds. Total stresses need a pore pressure to become
// effective; a void ratio becomes axial strain.
enum class Holds {
  kAxialStrain, kVolumetricStrain, kDeviator, kMeanEffective, kMeanTotal, kRadialEffective,
  kRadialTotal, kVerticalEffective, kVerticalTotal, kPorePressure, kExcessPorePressure,
  kVoidRatio, kCycles, kPoreRatio, kPhase, kTime
};

struct Alias {
  std::string_view name;  // normal name without the unit
  Holds holds;
  UnitKind kind;
};

constexpr Alias kAliases[] = {
    {"axial_strain", Holds::kAxialStrain, UnitKind::kStrain},
    {"vertical_strain", Holds::kAxialStrain, UnitKind::kStrain},
    {"eps_a", Holds::kAxialStrain, UnitKind::kStrain},
    {"eps1", Holds::kAxialStrain, UnitKind::kStrain},
    {"eps_1", Holds::kAxialStrain, UnitKind::kStrain},
    {"epsilon_a", Holds::kAxialStrain, UnitKind::kStrain},
    {"ea", Holds::kAxialStrain, UnitKind::kStrain},
    {"volumetric_strain", Holds::kVolumetricStrain, UnitKind::kStrain},
    {"eps_v", Holds::kVolumetricStrain, UnitKind::kStrain},
    {"epsv", Holds::kVolumetricStrain, UnitKind::kStrain},
    {"epsilon_v", Holds::kVolumetricStrain, UnitKind::kStrain},
    {"ev", Holds::kVolumetricStrain, UnitKind::kStrain},
    {"deviator_stress", Holds::kDeviator, UnitKind::kStress},
    {"q", Holds::kDeviator, UnitKind::kStress},
    {"dev", Holds::kDeviator, UnitKind::kStress},
    {"deviator", Holds::kDeviator, UnitKind::kStress},
    {"mean_effective_stress", Holds::kMeanEffective, UnitKind::kStress},
    {"p'", Holds::kMeanEffective, UnitKind::kStress},
    {"p", Holds::kMeanTotal, UnitKind::kStress},
    {"radial_stress", Holds::kRadialEffective, UnitKind::kStress},
    {"sigma_3'", Holds::kRadialEffective, UnitKind::kStress},
    {"sigma3'", Holds::kRadialEffective, UnitKind::kStress},
    {"sigma_r'", Holds::kRadialEffective, UnitKind::kStress},
    {"sigma_3", Holds::kRadialTotal, UnitKind::kStress},
    {"sigma3", Holds::kRadialTotal, UnitKind::kStress},
    {"sigma_r", Holds::kRadialTotal, UnitKind::kStress},
    {"cell_pressure", Holds::kRadialTotal, UnitKind::kStress},
    {"vertical_stress", Holds::kVerticalEffective, UnitKind::kStress},
    {"sigma_v'", Holds::kVerticalEffective, UnitKind::kStress},
    {"sigma_a'", Holds::kVerticalEffective, UnitKind::kStress},
    {"sigma_v", Holds::kVerticalTotal, UnitKind::kStress},
    {"u", Holds::kPorePressure, UnitKind::kStress},
    {"pwp", Holds::kPorePressure, UnitKind::kStress},
    {"pore_pressure", Holds::kPorePressure, UnitKind::kStress},
    {"du", Holds::kExcessPorePressure, UnitKind::kStress},
    {"delta_u", Holds::kExcessPorePressure, UnitKind::kStress},
    {"excess_pore_pressure", Holds::kExcessPorePressure, UnitKind::kStress},
    {"e", Holds::kVoidRatio, UnitKind::kNone},
    {"void_ratio", Holds::kVoidRatio, UnitKind::kNone},
    {"n", Holds::kCycles, UnitKind::kNone},
    {"cycles", Holds::kCycles, UnitKind::kNone},
    {"r_u", Holds::kPoreRatio, UnitKind::kNone},
    {"ru", Holds::kPoreRatio, UnitKind::kNone},
    {"excess_pore_pressure_ratio", Holds::kPoreRatio, UnitKind::kNone},
    {"phase", Holds::kPhase, UnitKind::kNone},
    {"time", Holds::kTime, UnitKind::kTime},
};

struct Mapped {
  Holds holds;
  std::string header;
  std::vector<double> values;  // in kPa or fractions
};

// Rows of a whitespace-separated table: a token that begins with a bracket
// belongs to the column name before it ("q (kPa)").
std::vector<Row> WhitespaceRows(const std::string& text) {
  std::vector<Row> rows;
  int line = 0;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    ++line;
    Row row;
    row.line = line;
    std::string token;
    const std::string_view l(text.data() + at, end - at);
    std::size_t i = 0;
    while (i < l.size()) {
      while (i < l.size() && std::isspace(static_cast<unsigned char>(l[i]))) ++i;
      std::size_t j = i;
      while (j < l.size() && !std::isspace(static_cast<unsigned char>(l[j]))) ++j;
      if (j > i) {
        const std::string t(l.substr(i, j - i));
        if (!row.cells.empty() && (t.front() == '(' || t.front() == '[')) {
          row.cells.back() += " " + t;
        } else {
          row.cells.push_back(t);
        }
      }
      i = j;
    }
    if (!row.cells.empty() && row.cells[0][0] != '#') rows.push_back(std::move(row));
    at = end + 1;
  }
  return rows;
}

std::vector<Row> TableRows(const std::string& text, const std::string& name) {
  const std::string first = text.substr(0, text.find('\n'));
  if (first.find(';') != std::string::npos) return SplitRows(text, name, ';');
  if (first.find(',') != std::string::npos) return SplitRows(text, name, ',');
  if (first.find('\t') != std::string::npos) return SplitRows(text, name, '\t');
  return WhitespaceRows(text);
}

const Mapped* Get(const std::vector<Mapped>& m, Holds h) {
  for (const Mapped& c : m) {
    if (c.holds == h) return &c;
  }
  return nullptr;
}

std::string MappingWords(const std::vector<Mapped>& m) {
  static constexpr std::string_view kWords[] = {
      "axial strain", "volumetric strain", "deviator stress", "mean effective stress",
      "mean total stress", "effective radial stress", "total radial stress",
      "effective vertical stress", "total vertical stress", "pore pressure",
      "excess pore pressure", "void ratio", "cycles", "r_u", "phase", "time"};
  std::string s;
  for (const Mapped& c : m) {
    s += (s.empty() ? "\"" : ", \"") + c.header + "\" as " +
         std::string(kWords[static_cast<int>(c.holds)]);
  }
  return s;
}

std::vector<Mapped> MapColumns(const std::vector<Row>& rows, const std::string& name,
                               std::vector<std::string>& choices) {
  const Row& head = rows.front();
  std::vector<Mapped> m;
  std::vector<int> index;
  for (std::size_t c = 0; c < head.cells.size(); ++c) {
    NameAndUnit nu = SplitUnit(head.cells[c]);
    for (char& ch : nu.name) ch = ch == ' ' ? '_' : ch;
    const Alias* alias = nullptr;
    for (const Alias& a : kAliases) {
      if (a.name == nu.name) alias = &a;
    }
    if (alias == nullptr) {
      choices.push_back("column \"" + head.cells[c] + "\" is not a quantity the reader knows; left out");
      continue;
    }
    if (Get(m, alias->holds) != nullptr) {
      throw LabFileError(At(name, head.line) + "two columns hold the same quantity (" +
                         MappingWords(m) + ", \"" + head.cells[c] + "\"); delete one");
    }
    const std::optional<double> factor = UnitFactor(alias->kind, nu.unit);
    if (!factor) {
      throw LabFileError(At(name, head.line) + "the unit \"" + nu.unit + "\" of \"" + head.cells[c] +
                         "\" cannot be converted (the reader knows " + UnitsOf(alias->kind) + ")");
    }
    if (nu.unit.empty() && alias->kind == UnitKind::kStress) {
      choices.push_back("\"" + head.cells[c] + "\" has no unit: read in kPa");
    }
    if (nu.unit.empty() && alias->kind == UnitKind::kStrain) {
      choices.push_back("\"" + head.cells[c] + "\" has no unit: read as a fraction");
    }
    m.push_back({alias->holds, head.cells[c], {}});
    m.back().values.reserve(rows.size());
    index.push_back(static_cast<int>(c));
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const Row& row = rows[r];
      const std::optional<double> v =
          c < row.cells.size() ? ParseNumber(row.cells[c]) : std::nullopt;
      if (!v) {
        throw LabFileError(At(name, row.line) + "\"" + head.cells[c] + "\" holds " +
                           (c < row.cells.size() ? "\"" + row.cells[c].substr(0, 30) + "\", no number"
                                                 : std::string("no cell (the row is short)")));
      }
      m.back().values.push_back(*v * *factor);
    }
  }
  if (m.empty()) {
    throw LabFileError(At(name, head.line) + "no column names a quantity; name them like "
                       "\"axial_strain [%]\", \"q [kPa]\", \"eps_v [%]\", \"u [kPa]\"");
  }
  choices.push_back("columns: " + MappingWords(m));
  return m;
}

// A total stress column without its effective twin becomes effective with
// the pore pressure column: σ′ = σ − u (Terzaghi); without one it is
// refused, since a total stress is no start of a test.
void EffectiveFromTotal(std::vector<Mapped>& m, const std::string& name,
                        std::vector<std::string>& choices) {
  const std::pair<Holds, Holds> pairs[] = {{Holds::kVerticalTotal, Holds::kVerticalEffective},
                                           {Holds::kMeanTotal, Holds::kMeanEffective}};
  for (const auto& [total, effective] : pairs) {
    const Mapped* t = Get(m, total);
    if (t == nullptr || Get(m, effective) != nullptr) continue;
    const Mapped* u = Get(m, Holds::kPorePressure);
    if (u == nullptr) {
      throw LabFileError(name + ": \"" + t->header + "\" is a total stress (" + MappingWords(m) +
                         "); add a pore pressure column \"u [kPa]\" or mark an effective stress "
                         "with a prime (\"sigma_v' [kPa]\", \"p' [kPa]\")");
    }
    Mapped e{effective, t->header + " − " + u->header, {}};
    for (std::size_t i = 0; i < t->values.size(); ++i) e.values.push_back(t->values[i] - u->values[i]);
    choices.push_back("effective stress: \"" + t->header + "\" minus the pore pressure \"" +
                      u->header + "\"");
    m.push_back(std::move(e));
  }
}

LabTest TriaxialFromTable(const std::vector<Mapped>& m, const std::string& name,
                          std::vector<std::string>& choices) {
  LabTest t;
  const Mapped& ea = *Get(m, Holds::kAxialStrain);
  const Mapped& q = *Get(m, Holds::kDeviator);
  const Mapped* ev = Get(m, Holds::kVolumetricStrain);
  const Mapped* du = Get(m, Holds::kExcessPorePressure);
  const Mapped* u = Get(m, Holds::kPorePressure);
  const std::size_t n = ea.values.size();
  if (ev != nullptr && (du != nullptr || u != nullptr)) {
    throw LabFileError(name + " gives volumetric strain and pore pressure (" + MappingWords(m) +
                       "): a drained test has no excess pore pressure, an undrained one no "
                       "volume change; delete the column that does not belong");
  }
  std::vector<double> excess;
  if (du != nullptr) excess = du->values;
  if (du == nullptr && u != nullptr) {
    for (double v : u->values) excess.push_back(v - u->values.front());
    choices.push_back("excess pore pressure: the pore pressure minus its first value");
  }
  // The effective radial stress at the start.
  double radial = 0.0;
  if (const Mapped* r = Get(m, Holds::kRadialEffective)) {
    radial = r->values.front();
  } else if (const Mapped* p = Get(m, Holds::kMeanEffective)) {
    radial = p->values.front() - q.values.front() / 3.0;
    choices.push_back("σ′r at the start: p′ − q/3 of the first row");
  } else if (const Mapped* rt = Get(m, Holds::kRadialTotal); rt != nullptr && u != nullptr) {
    radial = rt->values.front() - u->values.front();
    choices.push_back("σ′r at the start: total radial stress minus pore pressure");
  } else {
    throw LabFileError(name + " gives no effective stress for the start (" + MappingWords(m) +
                       "); add a column \"sigma_3' [kPa]\" or \"p' [kPa]\" (a total stress "
                       "needs a pore pressure column \"u [kPa]\")");
  }
  t.cellPressure = radial;
  if (std::abs(q.values.front()) > 1e-9) t.initialAxialStress = radial + q.values.front();
  std::vector<double> strain(n);
  for (std::size_t i = 0; i < n; ++i) strain[i] = ea.values[i] - ea.values.front();
  t.axialStrain = strain.back();
  t.kind = t.axialStrain >= 0.0 ? "triaxial_compression" : "triaxial_extension";
  t.undrained = !excess.empty();
  t.columns.push_back({"axial_strain", strain});
  t.columns.push_back({"deviator_stress", q.values});
  t.defaultCurves.push_back("deviator_stress");
  if (t.undrained) {
    t.columns.push_back({"excess_pore_pressure", excess});
    t.defaultCurves.push_back("excess_pore_pressure");
  } else if (ev != nullptr) {
    t.columns.push_back({"volumetric_strain", ev->values});
    t.defaultCurves.push_back("volumetric_strain");
  }
  t.phase.assign(n, 1);
  choices.push_back(std::string(t.kind) + (t.undrained ? ", undrained (a pore pressure column)"
                                                       : ", drained") +
                    ", from σ′r = " + FormatReal(radial) + " kPa");
  return t;
}

LabTest OedometerFromTable(const std::vector<Mapped>& m, const std::string& name,
                           std::vector<std::string>& choices) {
  const Mapped* sv = Get(m, Holds::kVerticalEffective);
  const Mapped* ea = Get(m, Holds::kAxialStrain);
  const Mapped* e = Get(m, Holds::kVoidRatio);
  if (ea != nullptr && e != nullptr) {
    throw LabFileError(name + " gives axial strain and void ratio (" + MappingWords(m) +
                       "); keep one of them");
  }
  std::vector<double> strain;
  if (e != nullptr) {
    const double e1 = e->values.front();
    for (double v : e->values) strain.push_back((e1 - v) / (1.0 + e1));
    choices.push_back("axial strain ε = (e1 − e)/(1 + e1) with e1 = " + FormatReal(e1) +
                      " of the first row");
  } else {
    for (double v : ea->values) strain.push_back(v - ea->values.front());
  }
  LabTest t;
  t.kind = "oedometer";
  t.x = "vertical_stress";
  t.initialVerticalStress = sv->values.front();
  for (std::size_t i = 1; i < sv->values.size(); ++i) t.levels.push_back(sv->values[i]);
  if (t.levels.empty()) throw LabFileError(name + " gives one row only; an oedometer test needs two or more");
  t.phase.push_back(1);
  for (std::size_t i = 1; i < sv->values.size(); ++i) t.phase.push_back(static_cast<int>(i));
  t.columns.push_back({"vertical_stress", sv->values});
  t.columns.push_back({"axial_strain", strain});
  t.defaultCurves.push_back("axial_strain");
  choices.push_back("oedometer from σ′v = " + FormatReal(t.initialVerticalStress) +
                    " kPa, one phase per later row");
  return t;
}

// A cyclic triaxial test: the cycles with the deviator and a pore pressure
// (total, excess or r_u), the effective cell pressure from the first row.
LabTest CyclicFromTable(const std::vector<Mapped>& m, const std::string& name,
                        std::vector<std::string>& choices) {
  const Mapped& n = *Get(m, Holds::kCycles);
  const Mapped& q = *Get(m, Holds::kDeviator);
  const Mapped* ea = Get(m, Holds::kAxialStrain);
  const Mapped* u = Get(m, Holds::kPorePressure);
  const Mapped* du = Get(m, Holds::kExcessPorePressure);
  const Mapped* ru = Get(m, Holds::kPoreRatio);
  double radial = 0.0;
  if (const Mapped* r = Get(m, Holds::kRadialEffective)) {
    radial = r->values.front();
  } else if (const Mapped* p = Get(m, Holds::kMeanEffective)) {
    radial = p->values.front() - q.values.front() / 3.0;
    choices.push_back("σ′3c: p′ − q/3 of the first row");
  } else if (const Mapped* rt = Get(m, Holds::kRadialTotal); rt != nullptr && u != nullptr) {
    radial = rt->values.front() - u->values.front();
    choices.push_back("σ′3c: total radial stress minus pore pressure of the first row");
  } else {
    throw LabFileError(name + " gives no effective cell pressure for the start of the cyclic test (" +
                       MappingWords(m) + "); add a column \"sigma_3' [kPa]\" or \"p' [kPa]\"");
  }
  if (!(radial > 0.0)) {
    throw LabFileError(name + ": the effective cell pressure of the first row is " +
                       FormatReal(radial) + " kPa; the cyclic test needs a positive one");
  }
  const bool startRow = std::abs(n.values.front()) < 1e-9;
  if (du == nullptr && ru == nullptr && !startRow) {
    throw LabFileError(name + ": the pore pressure has no start, for the first row is at cycle " +
                       FormatReal(n.values.front()) + "; add the row at cycle 0 or give the "
                       "excess pore pressure (\"du [kPa]\") or \"r_u\"");
  }
  std::vector<CyclicReading> readings;
  for (std::size_t i = 0; i < n.values.size(); ++i) {
    CyclicReading r;
    r.cycles = n.values[i];
    r.deviator = q.values[i];
    if (du != nullptr) r.excess = du->values[i];
    if (du == nullptr && ru != nullptr) r.excess = ru->values[i] * radial;
    if (u != nullptr) r.pore = u->values[i];
    if (ea != nullptr) r.strain = ea->values[i];
    r.line = static_cast<int>(i) + 2;
    if (i > 0 && r.cycles < readings.back().cycles) {
      throw LabFileError(name + ": the cycles fall from " + FormatReal(readings.back().cycles) +
                         " to " + FormatReal(r.cycles) + " in row " + std::to_string(i + 1) +
                         "; a cyclic test's rows come in the order of the cycles");
    }
    readings.push_back(r);
  }
  choices.push_back("start: σ′3c = " + FormatReal(radial) + " kPa, isotropic");
  const std::optional<double> u0 =
      u != nullptr && du == nullptr && ru == nullptr ? std::optional<double>(u->values.front())
                                                     : std::nullopt;
  if (u0) choices.push_back("excess pore pressure: the pore pressure minus its first value");
  return CyclicFromReadings(name, std::move(readings), radial, u0, startRow, choices);
}

}  // namespace

LabFile ReadTable(const std::string& text, const std::string& name, const Selection&,
                  bool needTest) {
  LabFile f;
  f.name = name;
  f.format = "table";
  const std::vector<Row> rows = TableRows(DecodeText(text), name);
  if (rows.size() < 2) throw LabFileError(name + " holds no header row with readings below it");
  std::vector<Mapped> m = MapColumns(rows, name, f.choices);
  f.entries.push_back(f.choices.back() + "\n    from = \"" + name + "\"");
  EffectiveFromTotal(m, name, f.choices);
  const bool axial = Get(m, Holds::kAxialStrain) != nullptr;
  const bool deviator = Get(m, Holds::kDeviator) != nullptr;
  const bool vertical = Get(m, Holds::kVerticalEffective) != nullptr;
  const bool voids = Get(m, Holds::kVoidRatio) != nullptr;
  const bool cycles = Get(m, Holds::kCycles) != nullptr;
  const bool pore = Get(m, Holds::kPorePressure) != nullptr ||
                    Get(m, Holds::kExcessPorePressure) != nullptr ||
                    Get(m, Holds::kPoreRatio) != nullptr;
  if (cycles && deviator && pore) {
    f.test = CyclicFromTable(m, name, f.choices);
  } else if (cycles) {
    throw LabFileError(name + ": the columns (" + MappingWords(m) + ") hold the cycles of a cyclic "
                       "test but " + (deviator ? "no pore pressure (\"u\", \"du\" or \"r_u\")"
                                               : "no deviator stress (\"q [kPa]\")") +
                       "; a cyclic triaxial test needs both");
  } else if (axial && deviator) {
    f.test = TriaxialFromTable(m, name, f.choices);
  } else if (vertical && !deviator && (axial || voids)) {
    f.test = OedometerFromTable(m, name, f.choices);
  } else if (needTest) {
    throw LabFileError(name + ": the columns (" + MappingWords(m) + ") make no test the reader "
                       "knows: axial strain with deviator stress (triaxial), effective "
                       "vertical stress with axial strain or void ratio (oedometer), or cycles "
                       "with deviator stress and pore pressure (cyclic triaxial)");
  }
  if (f.test) RequireFinite(*f.test, name);
  return f;
}

}  // namespace soilcal::labfiles
