// Tests from an AGS4 file: oedometer increments (CONG/CONS) as an oedometer
// test, cyclic triaxial readings (CTRD, labfiles/ags4_cyclic.hpp) as a
// cyclic triaxial test, and the triaxial summaries (TRIT/TRET, TRIG/TREG) as failure points
// with the Mohr-Coulomb line through them.
#include <algorithm>
#include <cmath>
#include <map>

#include "labfiles/ags4_cyclic.hpp"
#include "labfiles/ags4_groups.hpp"
#include "labfiles/lab_file.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;

struct Increment {
  double number = 0.0;
  double stress = 0.0;                 // CONS_INCF, kPa
  double voidRatio = 0.0;              // CONS_INCE
  std::optional<double> startVoidRatio;  // CONS_IVR
};

struct Specimen {
  SpecimenKey key;
  std::vector<Increment> increments;
};

std::vector<Specimen> OedometerSpecimens(const Ags4File& f, const Ags4Group& g) {
  const int inc = RequiredHeading(f, g, "CONS_INCN");
  const int stress = RequiredHeading(f, g, "CONS_INCF");
  const int end = RequiredHeading(f, g, "CONS_INCE");
  const int ivr = g.Heading("CONS_IVR");
  std::vector<Specimen> list;
  for (const Row& row : g.data) {
    Increment i;
    const std::optional<double> n = Number(f, g, row, inc, UnitKind::kNone);
    const std::optional<double> s = Number(f, g, row, stress, UnitKind::kStress);
    const std::optional<double> e = Number(f, g, row, end, UnitKind::kNone);
    if (!n || !s || !e) continue;  // an increment without its end values
    i.number = *n, i.stress = *s, i.voidRatio = *e;
    if (ivr >= 0) i.startVoidRatio = Number(f, g, row, ivr, UnitKind::kNone);
    const SpecimenKey key = KeyOf(g, row);
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const Specimen& sp) { return SameSpecimen(sp.key, key); });
    if (it == list.end()) {
      list.push_back({key, {}});
      it = list.end() - 1;
    }
    it->increments.push_back(i);
  }
  for (Specimen& sp : list) {
    std::stable_sort(sp.increments.begin(), sp.increments.end(),
                     [](const Increment& a, const Increment& b) { return a.number < b.number; });
  }
  return list;
}

// The initial void ratio of the specimen from CONG where CONS lacks it.
std::optional<double> CongVoidRatio(const Ags4File& f, const SpecimenKey& key) {
  const Ags4Group* g = f.Find("CONG");
  if (g == nullptr) return std::nullopt;
  const int ivr = g->Heading("CONG_IVR");
  if (ivr < 0) return std::nullopt;
  for (const Row& row : g->data) {
    if (SameSpecimen(KeyOf(*g, row), key)) return Number(f, *g, row, ivr, UnitKind::kNone);
  }
  return std::nullopt;
}

// An oedometer test: it starts at the end of the first increment (or at the
// stress the job gives below it), one phase per later increment; the strain
// is ε = (e_ref − e)/(1 + e_ref) against the stress at each increment's end.
LabTest OedometerTest(const Ags4File& f, const Specimen& sp, const Selection& sel,
                      std::vector<std::string>& choices) {
  const std::vector<Increment>& inc = sp.increments;
  LabTest t;
  t.kind = "oedometer";
  t.x = "vertical_stress";
  const bool below = sel.initialVerticalStress && *sel.initialVerticalStress < inc.front().stress;
  std::size_t first = 1;
  double eRef = inc.front().voidRatio;
  t.initialVerticalStress = inc.front().stress;
  if (below) {
    std::optional<double> e0 = inc.front().startVoidRatio;
    if (!e0) e0 = CongVoidRatio(f, sp.key);
    if (!e0) {
      throw LabFileError(f.name + ": initial_vertical_stress below the first increment needs the "
                         "void ratio at its start (CONS_IVR, or CONG_IVR) for " + KeyWords(sp.key));
    }
    eRef = *e0;
    first = 0;
    t.initialVerticalStress = *sel.initialVerticalStress;
    choices.push_back("start at σ′v = " + FormatReal(t.initialVerticalStress) +
                      " kPa as the job gives it; strains from the first increment's starting "
                      "void ratio e = " + FormatReal(eRef));
  } else {
    choices.push_back("start at the end of increment " + FormatReal(inc.front().number) +
                      ": σ′v = " + FormatReal(t.initialVerticalStress) + " kPa, e = " +
                      FormatReal(eRef) + " (the test's e0: give it as the model's initial void "
                      "ratio where it has one)");
  }
  if (first >= inc.size()) {
    throw LabFileError(f.name + ": " + KeyWords(sp.key) + " has only one load increment; an "
                       "oedometer test needs two or more");
  }
  std::vector<double> stress{t.initialVerticalStress}, strain{0.0};
  t.phase.push_back(1);
  int unloading = 0;
  for (std::size_t k = first; k < inc.size(); ++k) {
    t.levels.push_back(inc[k].stress);
    stress.push_back(inc[k].stress);
    strain.push_back((eRef - inc[k].voidRatio) / (1.0 + eRef));
    t.phase.push_back(static_cast<int>(t.levels.size()));
    const double before = t.levels.size() > 1 ? t.levels[t.levels.size() - 2] : t.initialVerticalStress;
    if (inc[k].stress < before) ++unloading;
  }
  choices.push_back(std::to_string(t.levels.size()) + " increments after the start (" +
                    std::to_string(unloading) + " unloading)");
  choices.push_back("axial strain ε = (e_ref − CONS_INCE)/(1 + e_ref) against CONS_INCF");
  t.columns.push_back({"vertical_stress", stress});
  t.columns.push_back({"axial_strain", strain});
  t.defaultCurves.push_back("axial_strain");
  return t;
}

// Failure points of a triaxial summary group: effective where the pore
// pressure at failure is given.
void TriaxialSummaries(const Ags4File& f, LabFile& out) {
  for (const char* name : {"TRET", "TRIT"}) {
    const Ags4Group* g = f.Find(name);
    if (g == nullptr) continue;
    const std::string p = name;
    const int cell = RequiredHeading(f, *g, p + "_CELL");
    const int dev = RequiredHeading(f, *g, p + "_DEVF");
    const int pwp = g->Heading(p + "_PWPF");
    for (const Row& row : g->data) {
      const std::optional<double> s3 = Number(f, *g, row, cell, UnitKind::kStress);
      const std::optional<double> q = Number(f, *g, row, dev, UnitKind::kStress);
      if (!s3 || !q) continue;
      const std::optional<double> u = pwp >= 0 ? Number(f, *g, row, pwp, UnitKind::kStress)
                                               : std::nullopt;
      FailurePoint fp;
      fp.specimen = p + " " + KeyWords(KeyOf(*g, row));
      fp.effective = u.has_value();
      fp.sigma3 = *s3 - u.value_or(0.0);
      fp.sigma1 = fp.sigma3 + *q;
      out.failures.push_back(fp);
    }
  }
  std::vector<FailurePoint> effective;
  for (const FailurePoint& fp : out.failures) {
    if (fp.effective) effective.push_back(fp);
  }
  out.strength = StrengthOf(effective);
  for (const char* name : {"TREG", "TRIG"}) {
    const Ags4Group* g = f.Find(name);
    if (g == nullptr) continue;
    const std::string p = name;
    const int c = g->Heading(p + "_COH"), phi = g->Heading(p + "_PHI");
    for (const Row& row : g->data) {
      std::string e = std::string(name) + " " + KeyWords(KeyOf(*g, row)) + ": the laboratory's";
      if (c >= 0 && !Text(row, c).empty()) e += " c′ = " + Text(row, c) + " kPa";
      if (phi >= 0 && !Text(row, phi).empty()) e += " φ′ = " + Text(row, phi) + "°";
      out.entries.push_back(e);
    }
  }
}

std::string Nearest(const std::vector<SpecimenKey>& list, const SpecimenKey& wanted) {
  std::vector<std::pair<double, std::string>> scored;
  for (const SpecimenKey& key : list) {
    double score = key.location == wanted.location ? 0.0 : 1e6;
    if (wanted.depth && key.depth) score += std::abs(*wanted.depth - *key.depth);
    if (!wanted.ref.empty() && key.ref != wanted.ref) score += 0.5;
    const std::string words = KeyWords(key);
    if (std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == words; })) {
      scored.emplace_back(score, words);
    }
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string s;
  for (std::size_t i = 0; i < scored.size() && i < 5; ++i) s += (i ? "; " : "") + scored[i].second;
  return s;
}

// A test the file can give: an oedometer specimen of CONS or a cyclic test
// of CTRD.
struct Candidate {
  const Specimen* oedometer = nullptr;
  const CyclicSpecimen* cyclic = nullptr;
  SpecimenKey key;
  std::string group;
};

// The group a selection names: CONS for the oedometer groups, CTRD for the
// cyclic triaxial ones, empty for both.
std::string GroupOf(const std::string& name, const Selection& sel) {
  if (!sel.group) return "";
  if (*sel.group == "CONS" || *sel.group == "CONG") return "CONS";
  if (*sel.group == "CTRD" || *sel.group == "CTRG" || *sel.group == "CTRC") return "CTRD";
  throw LabFileError(name + ": group " + *sel.group + " gives no test the reader builds; tests "
                     "come from CONS (oedometer increments) and CTRD (cyclic triaxial readings)");
}

}  // namespace

LabFile ReadAgs4(const std::string& text, const std::string& name, const Selection& sel,
                 bool needTest) {
  const Ags4File f = ParseAgs4(DecodeText(text), name);
  LabFile out;
  out.name = name;
  out.format = "AGS4";
  std::string groups;
  for (const Ags4Group& g : f.groups) {
    groups += (groups.empty() ? "" : ", ") + g.name + " (" + std::to_string(g.data.size()) + ")";
  }
  out.header.emplace_back("groups (data rows)", groups);
  std::vector<Specimen> oedometer;
  if (const Ags4Group* cons = f.Find("CONS")) oedometer = OedometerSpecimens(f, *cons);
  for (const Specimen& sp : oedometer) {
    const auto [lo, hi] = std::minmax_element(
        sp.increments.begin(), sp.increments.end(),
        [](const Increment& a, const Increment& b) { return a.stress < b.stress; });
    out.entries.push_back("CONS " + KeyWords(sp.key) + ": " + std::to_string(sp.increments.size()) +
                          " increments, σ′v " + FormatReal(lo->stress) + " to " +
                          FormatReal(hi->stress) + " kPa\n    from = \"" + name + "\"\n    " +
                          KeyToml(sp.key) + "\n    group = \"CONS\"");
  }
  const std::vector<CyclicSpecimen> cyclic = CyclicSpecimens(f);
  for (const CyclicSpecimen& sp : cyclic) out.entries.push_back(CyclicEntry(f, sp));
  TriaxialSummaries(f, out);
  const std::string group = GroupOf(name, sel);
  if (!needTest && !sel.specimen) return out;
  std::vector<Candidate> all;
  if (group != "CTRD") {
    for (const Specimen& sp : oedometer) all.push_back({&sp, nullptr, sp.key, "CONS"});
  }
  if (group != "CONS") {
    for (const CyclicSpecimen& sp : cyclic) all.push_back({nullptr, &sp, sp.key, "CTRD"});
  }
  const std::string where = group.empty() ? (oedometer.empty() ? std::string("CTRD")
                                             : cyclic.empty() ? std::string("CONS")
                                                              : std::string("CONS or CTRD"))
                                          : group;
  if (all.empty()) {
    throw LabFileError(name + " holds no " + (group == "CTRD" ? "" : "oedometer increments (group "
                       "CONS)") + (group.empty() ? " nor " : "") + (group == "CONS" ? "" :
                       "cyclic triaxial readings (group CTRD)") + " to make a test of; its groups "
                       "are " + groups);
  }
  std::vector<const Candidate*> found;
  std::vector<SpecimenKey> keys;
  const SpecimenKey wanted = sel.specimen.value_or(SpecimenKey{});
  for (const Candidate& c : all) {
    keys.push_back(c.key);
    if (!Matches(wanted, c.key)) continue;
    if (sel.stage && c.cyclic && TestNumber(*c.cyclic) != sel.stage) continue;
    found.push_back(&c);
  }
  if (found.empty()) {
    throw LabFileError(name + " has no specimen " + KeyWords(wanted) +
                       (sel.stage ? ", test " + std::to_string(*sel.stage) : std::string()) +
                       " in " + where + "; the nearest are " + Nearest(keys, wanted));
  }
  if (found.size() > 1) {
    const bool oneSpecimen = std::all_of(found.begin(), found.end(), [&](const Candidate* c) {
      return SameSpecimen(c->key, found.front()->key);
    });
    std::string tests;
    for (const Candidate* c : found) {
      tests += (tests.empty() ? "" : "; ") + c->group + " " + KeyWords(c->key) +
               (c->cyclic && !c->cyclic->testNumber.empty() ? ", test " + c->cyclic->testNumber
                                                           : std::string());
    }
    throw LabFileError(name + " holds " + std::to_string(found.size()) +
                       (oneSpecimen ? " tests of " + KeyWords(found.front()->key)
                                    : std::string(" specimens")) +
                       " in " + where + " (" + tests + "): name one with " +
                       (oneSpecimen ? "group = \"CONS\" or \"CTRD\" (and stage = N for a CTRD "
                                      "test number)"
                                    : "specimen = { location = \"...\", depth = ..., ref = "
                                      "\"...\" }"));
  }
  const Candidate& c = *found.front();
  out.choices.push_back("specimen " + KeyWords(c.key) + ", group " + c.group +
                        (c.cyclic && !c.cyclic->testNumber.empty()
                             ? ", test " + c.cyclic->testNumber
                             : std::string()));
  out.test = c.oedometer ? OedometerTest(f, *c.oedometer, sel, out.choices)
                         : CyclicTriaxialTest(f, *c.cyclic, out.choices);
  RequireFinite(*out.test, name);
  return out;
}

}  // namespace soilcal::labfiles
