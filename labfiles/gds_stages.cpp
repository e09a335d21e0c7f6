#include "labfiles/gds_stages.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "labfiles/units.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A stage is undrained when its specimen volume stays within this fraction
// and its pore pressure changes by more than kPoreChange.
constexpr double kConstantVolume = 1e-4;
constexpr double kPoreChange = 1.0;  // kPa

struct RoleName {
  GdsRole role;
  std::string_view name;
  UnitKind kind;
};
constexpr RoleName kRoleNames[] = {
    {kStageNumber, "stage number", UnitKind::kNone},
    {kStageNumber, "stage no.", UnitKind::kNone},
    {kTime, "time since start of test", UnitKind::kTime},
    {kRadialPressure, "radial pressure", UnitKind::kStress},
    {kRadialPressure, "cell pressure", UnitKind::kStress},
    {kBackPressure, "back pressure", UnitKind::kStress},
    {kBackVolume, "back volume", UnitKind::kVolume},
    {kPorePressure, "pore pressure", UnitKind::kStress},
    {kAxialDisplacement, "axial displacement", UnitKind::kLength},
    {kAxialStrain, "axial strain", UnitKind::kStrain},
    {kDeviatorStress, "deviator stress", UnitKind::kStress},
    {kEffRadialStress, "eff. radial stress", UnitKind::kStress},
    {kEffAxialStress, "eff. axial stress", UnitKind::kStress},
    {kVolumeChange, "volume change", UnitKind::kVolume},
    {kAxialLoad, "axial load", UnitKind::kForce},
    {kAxialLoad, "load cell", UnitKind::kForce},
};

std::string ColumnWords(const GdsData& d) {
  std::string list;
  for (const std::string& c : d.columnNames) list += (list.empty() ? "\"" : ", \"") + c + "\"";
  return list;
}

double HeaderLength(const GdsData& d, std::string_view key) {
  for (const auto& [k, v] : d.header) {
    const NameAndUnit nu = SplitUnit(k);
    if (nu.name != key) continue;
    const std::optional<double> value = ParseNumber(v);
    const std::optional<double> factor = UnitFactor(UnitKind::kLength, nu.unit.empty() ? "mm" : nu.unit);
    if (value && factor && *value > 0.0) return *value * *factor;
  }
  return 0.0;
}

void FindColumns(GdsData& d, const Row& names) {
  d.column.fill(-1);
  for (std::size_t c = 0; c < names.cells.size(); ++c) {
    d.columnNames.push_back(names.cells[c]);
    const NameAndUnit nu = SplitUnit(names.cells[c]);
    for (const RoleName& r : kRoleNames) {
      if (nu.name != r.name || d.column[r.role] >= 0) continue;
      const std::optional<double> factor = UnitFactor(r.kind, nu.unit);
      if (!factor) {
        throw LabFileError(At(d.name, names.line) + "the unit of \"" + names.cells[c] +
                           "\" is not one the reader converts (" + UnitsOf(r.kind) +
                           "); convert the column or rename its unit");
      }
      d.column[r.role] = static_cast<int>(c);
      d.values[r.role].reserve(64);
      if (*factor != 1.0) {
        d.choices.push_back("\"" + names.cells[c] + "\" × " + FormatReal(*factor) +
                            " (to kPa, mm, mm³, kN or a fraction)");
      }
      // The factor is kept in the first value slot's place until the rows
      // are read; see ReadRows.
      d.values[r.role].push_back(*factor);
    }
  }
}

void ReadRows(GdsData& d, const std::vector<Row>& rows, std::size_t from) {
  std::array<double, kRoleCount> factor{};
  for (int r = 0; r < kRoleCount; ++r) {
    if (d.column[r] >= 0) factor[r] = d.values[r].front();
    d.values[r].clear();
  }
  for (std::size_t i = from; i < rows.size(); ++i) {
    const Row& row = rows[i];
    for (int r = 0; r < kRoleCount; ++r) {
      const int c = d.column[r];
      if (c < 0) continue;
      if (static_cast<std::size_t>(c) >= row.cells.size() && i + 1 == rows.size() &&
          i > from) {
        throw LabFileError(At(d.name, row.line) + "the row ends after " +
                           std::to_string(row.cells.size()) + " cells, before \"" +
                           d.columnNames[static_cast<std::size_t>(c)] +
                           "\": the file is cut inside its last row; give the whole file");
      }
      const std::optional<double> v =
          static_cast<std::size_t>(c) < row.cells.size() ? ParseNumber(row.cells[static_cast<std::size_t>(c)])
                                                         : std::nullopt;
      d.values[r].push_back(v ? *v * factor[r] : kNaN);
    }
    d.lines.push_back(row.line);
  }
}

void FindStages(GdsData& d) {
  const std::size_t n = d.lines.size();
  std::size_t first = 0;
  for (std::size_t i = 1; i <= n; ++i) {
    const auto number = [&](std::size_t k) {
      if (d.column[kStageNumber] < 0) return 1;
      const double v = d.values[kStageNumber][k];
      return std::isfinite(v) ? static_cast<int>(std::lround(v)) : 0;
    };
    if (i < n && number(i) == number(first)) continue;
    Stage st;
    st.number = number(first);
    st.first = first;
    st.end = i;
    st.rows = static_cast<int>(i - first);
    d.stages.push_back(st);
    first = i;
  }
}

double ValueOf(const GdsData& d, GdsRole role, std::size_t i) {
  return d.column[role] < 0 ? kNaN : d.values[role][i];
}

// The volume column that tracks the specimen: volume change where it moves,
// else the back volume.
GdsRole VolumeRole(const GdsData& d) {
  if (d.column[kVolumeChange] >= 0) {
    const auto& v = d.values[kVolumeChange];
    if (std::any_of(v.begin(), v.end(), [](double x) { return std::isfinite(x) && x != 0.0; })) {
      return kVolumeChange;
    }
  }
  return d.column[kBackVolume] >= 0 ? kBackVolume : kRoleCount;
}

void Describe(GdsData& d) {
  double height = d.height0;
  double volume = d.height0 * d.diameter0 * d.diameter0 * std::numbers::pi / 4.0;
  const GdsRole vol = VolumeRole(d);
  std::vector<std::string> ignored;
  for (Stage& st : d.stages) {
    st.height = height;
    st.volume = volume;
    st.time0 = ValueOf(d, kTime, st.first);
    st.time1 = ValueOf(d, kTime, st.end - 1);
    const StageReadings r = Readings(d, st, ignored, false);
    for (double e : r.strain) st.strainGrowth = std::max(st.strainGrowth, std::abs(e));
    const auto [qlo, qhi] = std::minmax_element(r.deviator.begin(), r.deviator.end());
    const auto [rlo, rhi] = std::minmax_element(r.radial.begin(), r.radial.end());
    st.qMin = *qlo, st.qMax = *qhi, st.radialMin = *rlo, st.radialMax = *rhi;
    double dv = 0.0, du = 0.0;
    for (std::size_t i = st.first; i < st.end; ++i) {
      if (vol != kRoleCount) dv = std::max(dv, std::abs(ValueOf(d, vol, i) - ValueOf(d, vol, st.first)));
      const double u = ValueOf(d, kPorePressure, i) - ValueOf(d, kPorePressure, st.first);
      if (std::isfinite(u)) du = std::max(du, std::abs(u));
    }
    const double volumeScale = volume > 0.0 ? volume : 1e5;
    if (vol == kRoleCount) {
      st.undrained = du > kPoreChange;
      st.drainageWords = "no volume column; pore pressure changes by " + FormatReal(du) + " kPa";
    } else if (dv <= kConstantVolume * volumeScale && du > kPoreChange) {
      st.undrained = true;
      st.drainageWords = "volume constant, pore pressure changes by " + FormatReal(du) + " kPa";
    } else {
      st.drainageWords = "volume changes by up to " + FormatReal(dv) + " mm³";
    }
    if (!r.strain.empty() && height > 0.0) height *= 1.0 - r.strain.back();
    if (vol != kRoleCount && volume > 0.0) {
      volume += ValueOf(d, vol, st.end - 1) - ValueOf(d, vol, st.first);
    }
  }
}

}  // namespace

bool LooksLikeGds(const std::string& text) {
  const std::size_t at = text.find("Start of Repeated Data");
  return at != std::string::npos && at < 65536;
}

GdsData ParseGds(const std::string& text, const std::string& name) {
  GdsData d;
  d.name = name;
  const std::vector<Row> rows = SplitRows(text, name);
  std::size_t i = 0;
  for (; i < rows.size(); ++i) {
    if (NormalName(rows[i].cells[0]) == "start of repeated data") break;
    d.header.emplace_back(rows[i].cells[0], rows[i].cells.size() > 1 ? rows[i].cells[1] : "");
  }
  if (i + 1 >= rows.size()) {
    throw LabFileError(name + " is no GDS test export: no row \"Start of Repeated Data\" followed "
                       "by the column names (export the test's data as text)");
  }
  d.height0 = HeaderLength(d, "initial height");
  d.diameter0 = HeaderLength(d, "initial diameter");
  FindColumns(d, rows[i + 1]);
  if (d.column[kAxialStrain] < 0 && (d.column[kAxialDisplacement] < 0 || d.height0 <= 0.0)) {
    throw LabFileError(At(name, rows[i + 1].line) + "no \"Axial Strain (%)\" column (nor an "
                       "axial displacement with the initial height); the columns are " +
                       ColumnWords(d));
  }
  if (i + 2 >= rows.size()) throw LabFileError(name + " holds no readings after its column names");
  std::string used;
  for (int r = 0; r < kRoleCount; ++r) {
    const int c = d.column[r];
    if (c >= 0) used += (used.empty() ? "\"" : ", \"") + d.columnNames[static_cast<std::size_t>(c)] + "\"";
  }
  d.choices.insert(d.choices.begin(), "columns read: " + used);
  ReadRows(d, rows, i + 2);
  FindStages(d);
  Describe(d);
  return d;
}

StageReadings Readings(const GdsData& d, const Stage& st, std::vector<std::string>& choices,
                       bool strict) {
  StageReadings r;
  const std::size_t n = st.end - st.first;
  const auto has = [&](GdsRole role) { return d.column[role] >= 0; };
  const auto value = [&](GdsRole role, std::size_t i) {
    const double v = d.values[role][st.first + i];
    if (!std::isfinite(v) && strict) {
      throw LabFileError(At(d.name, d.lines[st.first + i]) + "\"" +
                         d.columnNames[static_cast<std::size_t>(d.column[role])] +
                         "\" holds no number; mend or delete the row");
    }
    return std::isfinite(v) ? v : 0.0;
  };
  const auto nonzero = [&](GdsRole role) {
    if (!has(role)) return false;
    for (std::size_t i = st.first; i < st.end; ++i) {
      if (std::isfinite(d.values[role][i]) && d.values[role][i] != 0.0) return true;
    }
    return false;
  };
  const GdsRole vol = VolumeRole(d);
  r.strain.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    r.strain[i] = has(kAxialStrain) ? value(kAxialStrain, i) - value(kAxialStrain, 0)
                  : st.height > 0.0 ? (value(kAxialDisplacement, i) - value(kAxialDisplacement, 0)) / st.height
                                    : 0.0;
  }
  if (!has(kAxialStrain)) {
    choices.push_back("axial strain: the axial displacement over the height at the stage's start (" +
                      FormatReal(st.height) + " mm)");
  }
  // Effective radial stress and pore pressure.
  const bool totals = has(kRadialPressure) && has(kPorePressure);
  if (!totals && !nonzero(kEffRadialStress) && strict) {
    throw LabFileError(d.name + " gives neither radial and pore pressure nor an effective radial "
                       "stress; its columns are " + ColumnWords(d));
  }
  r.radial.resize(n);
  r.pore.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (totals) {
      r.pore[i] = value(kPorePressure, i);
      r.radial[i] = value(kRadialPressure, i) - r.pore[i];
    } else {
      r.radial[i] = has(kEffRadialStress) ? value(kEffRadialStress, i) : 0.0;
      r.pore[i] = has(kPorePressure) ? value(kPorePressure, i)
                  : has(kRadialPressure) ? value(kRadialPressure, i) - r.radial[i] : 0.0;
    }
  }
  choices.push_back(totals ? "σ′r = radial pressure − pore pressure"
                           : "σ′r from the effective radial stress column");
  // Volume: the specimen's change from the stage's start, water leaving
  // being a fall of the column.
  std::vector<double> dv(n, 0.0);
  if (vol != kRoleCount) {
    for (std::size_t i = 0; i < n; ++i) dv[i] = value(vol, i) - value(vol, 0);
    if (st.volume > 0.0) {
      r.volumetric.resize(n);
      for (std::size_t i = 0; i < n; ++i) r.volumetric[i] = -dv[i] / st.volume;
      choices.push_back("volumetric strain: −Δ(" +
                        d.columnNames[static_cast<std::size_t>(d.column[vol])] +
                        ") over the specimen volume at the stage's start (" +
                        FormatReal(st.volume) + " mm³, from the initial height and diameter "
                        "and the earlier stages)");
    }
  }
  // Deviator stress: its column where it holds values, else load over the
  // current area, else effective axial minus radial stress.
  r.deviator.assign(n, 0.0);
  if (nonzero(kDeviatorStress)) {
    for (std::size_t i = 0; i < n; ++i) r.deviator[i] = value(kDeviatorStress, i);
  } else if (has(kAxialLoad) && st.volume > 0.0 && st.height > 0.0) {
    for (std::size_t i = 0; i < n; ++i) {
      // Current area of a right cylinder: A = V / H (mm²); kN/mm² = 1e6 kPa.
      const double area = (st.volume + dv[i]) / (st.height * (1.0 - r.strain[i]));
      r.deviator[i] = value(kAxialLoad, i) / area * 1e6;
    }
    choices.push_back("deviator stress: axial load over the current area V/H (the deviator "
                      "column is missing or zero)");
  } else if (nonzero(kEffAxialStress)) {
    for (std::size_t i = 0; i < n; ++i) r.deviator[i] = value(kEffAxialStress, i) - r.radial[i];
    choices.push_back("deviator stress: effective axial minus effective radial stress");
  } else if (strict) {
    throw LabFileError(d.name + " gives no deviator stress in stage " + std::to_string(st.number) +
                       " (its column is missing or zero) and no axial load with the initial "
                       "height and diameter to compute it; its columns are " + ColumnWords(d));
  }
  return r;
}

}  // namespace soilcal::labfiles
