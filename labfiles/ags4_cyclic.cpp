#include "labfiles/ags4_cyclic.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "labfiles/cyclic_readings.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;
using Names = std::span<const char* const>;

// The headings read for each value, in the order they are looked for;
// messages name them all. Other spellings of a value are accepted beside
// the first so that files of several dictionary versions and laboratories
// read alike.
constexpr const char* kTestNumber[] = {"CTRD_TESN", "CTRD_TEST", "CTRD_STAG"};
constexpr const char* kCycles[] = {"CTRD_CYCN", "CTRD_NCYC", "CTRD_CYC", "CTRD_CYCL"};
constexpr const char* kAxialStrain[] = {"CTRD_AXST", "CTRD_STRN", "CTRD_AXSN", "CTRD_ASTR",
                                        "CTRD_EPSA"};
constexpr const char* kDeviator[] = {"CTRD_DEVS", "CTRD_DEV", "CTRD_DEVI", "CTRD_QDEV"};
constexpr const char* kPorePressure[] = {"CTRD_PWP", "CTRD_PWPM", "CTRD_PORE"};
constexpr const char* kExcessPore[] = {"CTRD_EPWP", "CTRD_EXPP", "CTRD_DPWP"};
constexpr const char* kCell[] = {"CTRD_CELL", "CTRD_CP"};
constexpr const char* kConsTestNumber[] = {"CTRC_TESN", "CTRC_TEST", "CTRC_STAG"};
constexpr const char* kConsCell[] = {"CTRC_CELL", "CTRC_CP"};
constexpr const char* kConsPore[] = {"CTRC_PWP", "CTRC_PWPF", "CTRC_BP", "CTRC_BACK"};
constexpr const char* kConsRadial[] = {"CTRC_EHS", "CTRC_ESH", "CTRC_ERS", "CTRC_ECP"};
constexpr const char* kConsVertical[] = {"CTRC_EVS", "CTRC_ESV", "CTRC_EAS"};

int AnyHeading(const Ags4Group& g, Names names) {
  for (const char* n : names) {
    if (const int i = g.Heading(n); i >= 0) return i;
  }
  return -1;
}

std::string List(Names names) {
  std::string s;
  for (const char* n : names) s += (s.empty() ? "" : ", ") + std::string(n);
  return s;
}

int RequiredAny(const Ags4File& f, const Ags4Group& g, Names names, const std::string& what) {
  const int i = AnyHeading(g, names);
  if (i < 0) {
    throw LabFileError(At(f.name, g.line) + "group " + g.name + " lacks a heading of the " + what +
                       " (one of " + List(names) + "), which the reader needs; add the column");
  }
  return i;
}

std::string HeadingName(const Ags4Group& g, int i) {
  return i < 0 ? std::string("none") : g.headings[static_cast<std::size_t>(i)];
}

using Reading = CyclicReading;

// The effective stresses at the end of consolidation, from the last CTRC
// row of the specimen (and test).
struct Consolidation {
  std::optional<double> radial, vertical, pore;
  std::string how;
};

std::optional<Consolidation> ConsolidationOf(const Ags4File& f, const CyclicSpecimen& sp) {
  const Ags4Group* g = f.Find("CTRC");
  if (g == nullptr) return std::nullopt;
  const int tesn = AnyHeading(*g, kConsTestNumber);
  const Row* last = nullptr;
  for (const Row& row : g->data) {
    if (!SameSpecimen(KeyOf(*g, row), sp.key)) continue;
    if (tesn >= 0 && !sp.testNumber.empty() && Text(row, tesn) != sp.testNumber) continue;
    last = &row;
  }
  if (last == nullptr) return std::nullopt;
  Consolidation c;
  const int radial = AnyHeading(*g, kConsRadial), vertical = AnyHeading(*g, kConsVertical);
  const int cell = AnyHeading(*g, kConsCell), pore = AnyHeading(*g, kConsPore);
  if (radial >= 0) c.radial = Number(f, *g, *last, radial, UnitKind::kStress);
  if (vertical >= 0) c.vertical = Number(f, *g, *last, vertical, UnitKind::kStress);
  if (pore >= 0) c.pore = Number(f, *g, *last, pore, UnitKind::kStress);
  if (c.radial) {
    c.how = HeadingName(*g, radial);
  } else if (cell >= 0 && c.pore) {
    if (const std::optional<double> total = Number(f, *g, *last, cell, UnitKind::kStress)) {
      c.radial = *total - *c.pore;
      c.how = HeadingName(*g, cell) + " − " + HeadingName(*g, pore);
    }
  }
  if (c.radial) c.how += " of CTRC line " + std::to_string(last->line);
  return c;
}

std::vector<Reading> Readings(const Ags4File& f, const Ags4Group& g, const CyclicSpecimen& sp,
                              std::vector<std::string>& choices) {
  const int n = RequiredAny(f, g, kCycles, "cycle number");
  const int ea = AnyHeading(g, kAxialStrain), q = AnyHeading(g, kDeviator);
  const int u = AnyHeading(g, kPorePressure), du = AnyHeading(g, kExcessPore);
  const int cell = AnyHeading(g, kCell);
  if (q < 0) RequiredAny(f, g, kDeviator, "deviator stress");
  if (u < 0 && du < 0) {
    throw LabFileError(At(f.name, g.line) + "group CTRD lacks a heading of the pore pressure (one "
                       "of " + List(kPorePressure) + ") or of the excess pore pressure (one of " +
                       List(kExcessPore) + "), which the reader needs; add the column");
  }
  std::vector<Reading> list;
  int skipped = 0;
  for (const Row* row : sp.rows) {
    Reading r;
    r.line = row->line;
    const std::optional<double> cycles = Number(f, g, *row, n, UnitKind::kNone);
    const std::optional<double> dev = Number(f, g, *row, q, UnitKind::kStress);
    if (u >= 0) r.pore = Number(f, g, *row, u, UnitKind::kStress);
    if (du >= 0) r.excess = Number(f, g, *row, du, UnitKind::kStress);
    if (!cycles || !dev || (!r.pore && !r.excess)) {
      ++skipped;
      continue;
    }
    if (!(*cycles >= 0.0)) {
      throw LabFileError(At(f.name, row->line) + HeadingName(g, n) + " holds " +
                         FormatReal(*cycles) + "; a cycle number is 0 or more");
    }
    if (!list.empty() && *cycles < list.back().cycles) {
      throw LabFileError(At(f.name, row->line) + "the cycle number falls from " +
                         FormatReal(list.back().cycles) + " to " + FormatReal(*cycles) +
                         " within the readings of " + KeyWords(sp.key) +
                         "; a test's readings come in the order of the cycles");
    }
    r.cycles = *cycles;
    r.deviator = dev;
    if (ea >= 0) r.strain = Number(f, g, *row, ea, UnitKind::kStrain);
    if (cell >= 0) r.cell = Number(f, g, *row, cell, UnitKind::kStress);
    list.push_back(r);
  }
  if (skipped > 0) {
    choices.push_back(std::to_string(skipped) + " CTRD rows without the cycle number, deviator or "
                      "pore pressure left out");
  }
  choices.push_back("columns: cycles " + HeadingName(g, n) + ", axial strain " + HeadingName(g, ea) +
                    ", deviator " + HeadingName(g, q) + ", pore pressure " +
                    (du >= 0 ? HeadingName(g, du) + " (excess)" : HeadingName(g, u)) +
                    (cell >= 0 ? ", cell pressure " + HeadingName(g, cell) : std::string()));
  if (list.size() < 2) {
    throw LabFileError(f.name + ": " + KeyWords(sp.key) + " has " + std::to_string(list.size()) +
                       " complete CTRD readings (cycle number, deviator and pore pressure); a "
                       "cyclic test needs two or more");
  }
  return list;
}

}  // namespace

std::optional<int> TestNumber(const CyclicSpecimen& sp) {
  const std::optional<double> n = ParseNumber(sp.testNumber);
  if (!n || *n != std::floor(*n) || std::abs(*n) > 1e6) return std::nullopt;
  return static_cast<int>(*n);
}

std::vector<CyclicSpecimen> CyclicSpecimens(const Ags4File& f) {
  std::vector<CyclicSpecimen> list;
  const Ags4Group* g = f.Find("CTRD");
  if (g == nullptr) return list;
  const int tesn = AnyHeading(*g, kTestNumber);
  for (const Row& row : g->data) {
    const SpecimenKey key = KeyOf(*g, row);
    const std::string test = Text(row, tesn);
    auto it = std::find_if(list.begin(), list.end(), [&](const CyclicSpecimen& sp) {
      return SameSpecimen(sp.key, key) && sp.testNumber == test;
    });
    if (it == list.end()) {
      list.push_back({key, test, {}});
      it = list.end() - 1;
    }
    it->rows.push_back(&row);
  }
  return list;
}

std::string CyclicEntry(const Ags4File& f, const CyclicSpecimen& sp) {
  std::string e = "CTRD " + KeyWords(sp.key) +
                  (sp.testNumber.empty() ? "" : ", test " + sp.testNumber) + ": " +
                  std::to_string(sp.rows.size()) + " cyclic triaxial readings";
  const Ags4Group& g = *f.Find("CTRD");
  if (const int n = AnyHeading(g, kCycles); n >= 0) {
    double last = 0.0;
    for (const Row* row : sp.rows) {
      const std::string cell = Text(*row, n);
      if (const std::optional<double> v = ParseNumber(cell)) last = std::max(last, *v);
    }
    e += " to cycle " + FormatReal(last);
  }
  e += "\n    from = \"" + f.name + "\"\n    " + KeyToml(sp.key) + "\n    group = \"CTRD\"";
  if (TestNumber(sp)) e += "\n    stage = " + sp.testNumber;
  return e;
}

LabTest CyclicTriaxialTest(const Ags4File& f, const CyclicSpecimen& sp,
                           std::vector<std::string>& choices) {
  const Ags4Group& g = *f.Find("CTRD");
  std::vector<Reading> r = Readings(f, g, sp, choices);
  const Reading first = r.front();
  const bool startReading = std::abs(first.cycles) < 1e-9;
  const std::optional<Consolidation> cons = ConsolidationOf(f, sp);

  // The pore pressure the excess counts from.
  std::optional<double> u0;
  if (!first.excess) {
    if (startReading) {
      u0 = first.pore;
      choices.push_back("excess pore pressure: the pore pressure minus " + FormatReal(*u0) +
                        " kPa of the reading at cycle 0");
    } else if (cons && cons->pore) {
      u0 = cons->pore;
      choices.push_back("excess pore pressure: the pore pressure minus " + FormatReal(*u0) +
                        " kPa at the end of consolidation (CTRC)");
    } else {
      throw LabFileError(f.name + ": the readings of " + KeyWords(sp.key) + " begin at cycle " +
                         FormatReal(first.cycles) + " and CTRC gives no pore pressure at the end "
                         "of consolidation, so the excess pore pressure has no start; add the "
                         "reading at cycle 0 or the CTRC row");
    }
  }
  // The effective cell pressure the cycling starts from.
  double radial = 0.0;
  if (cons && cons->radial) {
    radial = *cons->radial;
    choices.push_back("start: σ′3c = " + FormatReal(radial) + " kPa, isotropic (" + cons->how + ")");
    if (cons->vertical && std::abs(*cons->vertical - radial) > 0.01 * std::abs(radial)) {
      throw LabFileError(f.name + ": " + KeyWords(sp.key) + " was consolidated anisotropically (σ′v = " +
                         FormatReal(*cons->vertical) + ", σ′h = " + FormatReal(radial) +
                         " kPa in CTRC); the cyclic triaxial test starts isotropic");
    }
  } else if (first.cell && u0) {
    radial = *first.cell - *u0;
    choices.push_back("start: σ′3c = " + FormatReal(radial) + " kPa, isotropic (cell pressure "
                      "minus pore pressure at the first reading)");
  } else {
    throw LabFileError(f.name + ": the effective cell pressure of " + KeyWords(sp.key) +
                       " at the start of cycling is not in the file; give CTRC rows with the "
                       "effective stress (" + List(kConsRadial) + ") or the cell and pore "
                       "pressure (" + List(kConsCell) + ", " + List(kConsPore) + "), or CTRD_CELL "
                       "with a reading at cycle 0");
  }
  if (!(radial > 0.0)) {
    throw LabFileError(f.name + ": the effective cell pressure of " + KeyWords(sp.key) + " is " +
                       FormatReal(radial) + " kPa; the test needs a positive one");
  }

  return CyclicFromReadings(f.name, std::move(r), radial, u0, startReading, choices);
}

}  // namespace soilcal::labfiles
