// Tidy tables: a CSV or whitespace-separated file whose header names each
// column as a quantity with its unit ("axial_strain [%]", "q (kPa)",
// "sigma_3' [MPa]"). The columns are mapped to the job's quantities through
// a table of aliases; the test's type follows from the columns, its start
// from the first row.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "labfiles/lab_file.hpp"
#include "labfiles/table_columns.hpp"
#include "labfiles/units.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;
using namespace table;

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
