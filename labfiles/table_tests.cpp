#include "labfiles/table_columns.hpp"

#include <algorithm>
#include <cmath>

#include "labfiles/cyclic_readings.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles::table {
namespace {

using services::FormatReal;

// A phase column of an oedometer table must agree with the reversals of
// its loading, whose branches are the test's phases: each phase one way
// (loading or unloading), in order; phases one after the other that go the
// same way are run as one branch.
void CheckPhases(const Mapped& phase, const Mapped& sv, const std::string& name,
                 std::vector<std::string>& choices) {
  int sense = 0, merged = 0;
  for (std::size_t i = 1; i < phase.values.size(); ++i) {
    const double p = phase.values[i], before = phase.values[i - 1];
    if (p != std::floor(p) || p < 1 || p < before) {
      throw LabFileError(name + ": \"" + phase.header + "\" holds " + FormatReal(p) + " at reading " +
                         std::to_string(i + 1) + "; phases are whole numbers from 1 on, in order");
    }
    const double d = sv.values[i] - sv.values[i - 1];
    const int now = d > 0 ? 1 : (d < 0 ? -1 : 0);
    if (p == before && sense != 0 && now != 0 && now != sense) {
      throw LabFileError(name + ": phase " + FormatReal(p) + " both loads and unloads (at reading " +
                         std::to_string(i + 1) + "); each phase of an oedometer is one branch of "
                         "its loading: give the reversal a phase of its own");
    }
    if (p != before && now != 0 && now == sense) ++merged;
    if (now != 0) sense = now;
  }
  choices.push_back("phase column \"" + phase.header + "\" agrees with the reversals of the loading" +
                    (merged > 0 ? " (a phase that goes on the way of the one before runs with it)"
                                : std::string()));
}

}  // namespace

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
  if (const Mapped* phase = Get(m, Holds::kPhase);
      phase != nullptr && std::any_of(phase->values.begin(), phase->values.end(),
                                      [&](double p) { return p != phase->values.front(); })) {
    throw LabFileError(name + ": \"" + phase->header + "\" gives several phases; a triaxial test "
                       "from a table is one shearing phase (split the file, one test per phase)");
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
  if (const Mapped* phase = Get(m, Holds::kPhase)) CheckPhases(*phase, *sv, name, choices);
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
                         " to " + FormatReal(r.cycles) + " at reading " + std::to_string(i + 1) +
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

}  // namespace soilcal::labfiles::table
