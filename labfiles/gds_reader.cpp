// GDS triaxial text exports: quoted key/value rows of the specimen, a row
// "Start of Repeated Data", one row of column names with units, one row per
// reading. Readings within a stage count from the stage's start (axial
// strain and volume change restart at zero); a test is taken from one stage,
// by default the last one that shears by 1 % axial strain or more.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "labfiles/gds_stages.hpp"
#include "labfiles/lab_file.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

using services::FormatReal;

// The stage a test takes when the job names none: the last in which the
// axial strain grows by this much.
constexpr double kShearingStrain = 0.01;
// A stage named by the job must shear by at least this much.
constexpr double kLeastShear = 0.001;

std::string Fixed(double v, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", digits, v);
  return buffer;
}

std::string StageList(const std::vector<Stage>& stages) {
  std::string list;
  for (const Stage& st : stages) {
    if (!list.empty()) list += ", ";
    list += std::to_string(st.number);
  }
  return list;
}

// The stage the test takes, or an error naming the stages there are.
const Stage& ChooseStage(const GdsData& d, const Selection& sel, std::vector<std::string>& choices) {
  if (sel.stage) {
    for (const Stage& st : d.stages) {
      if (st.number != *sel.stage) continue;
      if (st.strainGrowth < kLeastShear) {
        throw LabFileError(d.name + ": nothing shears in stage " + std::to_string(st.number) +
                           " (its axial strain changes by " + Fixed(100 * st.strainGrowth, 3) +
                           " %); choose a stage that shears (soilcal inspect " + d.name +
                           " lists them)");
      }
      choices.push_back("stage " + std::to_string(st.number) + ", as the job names it");
      return st;
    }
    throw LabFileError(d.name + " has no stage " + std::to_string(*sel.stage) +
                       "; its stages are " + StageList(d.stages) + " (stage = N in the test)");
  }
  for (auto it = d.stages.rbegin(); it != d.stages.rend(); ++it) {
    if (it->strainGrowth >= kShearingStrain) {
      choices.push_back("stage " + std::to_string(it->number) +
                        ": the last stage in which the axial strain grows by 1 % or more");
      return *it;
    }
  }
  throw LabFileError(d.name + ": nothing shears in any stage (no stage's axial strain grows by "
                     "1 % or more; stages " + StageList(d.stages) +
                     "); name the stage with stage = N");
}

LabTest ShearTest(const GdsData& d, const Stage& st, std::vector<std::string>& choices) {
  const StageReadings r = Readings(d, st, choices);
  LabTest t;
  t.undrained = st.undrained;
  const std::size_t n = r.strain.size();
  t.cellPressure = r.radial.front();
  const double q0 = r.deviator.front();
  if (std::abs(q0) > 1e-6 * std::max(1.0, std::abs(t.cellPressure))) {
    t.initialAxialStress = t.cellPressure + q0;
  }
  t.axialStrain = r.strain.back();
  t.kind = t.axialStrain >= 0.0 ? "triaxial_compression" : "triaxial_extension";
  choices.push_back("start: σ′r = " + FormatReal(t.cellPressure) + " kPa" +
                    (t.initialAxialStress ? ", σ′a = " + FormatReal(*t.initialAxialStress) + " kPa"
                                          : std::string(", isotropic")) +
                    " (radial pressure minus pore pressure at the stage's first reading)");
  choices.push_back(std::string(st.undrained ? "undrained" : "drained") + ": " + st.drainageWords);
  t.columns.push_back({"axial_strain", r.strain});
  t.columns.push_back({"deviator_stress", r.deviator});
  std::vector<double> p(n);
  for (std::size_t i = 0; i < n; ++i) p[i] = r.radial[i] + r.deviator[i] / 3.0;
  t.defaultCurves.push_back("deviator_stress");
  if (st.undrained) {
    std::vector<double> du(n);
    for (std::size_t i = 0; i < n; ++i) du[i] = r.pore[i] - r.pore.front();
    t.columns.push_back({"excess_pore_pressure", du});
    t.defaultCurves.push_back("excess_pore_pressure");
    choices.push_back("excess pore pressure: the pore pressure minus its value at the stage's "
                      "start (" + FormatReal(r.pore.front()) + " kPa)");
  } else if (!r.volumetric.empty()) {
    t.columns.push_back({"volumetric_strain", r.volumetric});
    t.defaultCurves.push_back("volumetric_strain");
  }
  t.columns.push_back({"mean_effective_stress", p});
  t.phase.assign(n, 1);
  return t;
}

std::string StageEntry(const GdsData& d, const Stage& st, bool taken) {
  std::string e = "stage " + std::to_string(st.number) + ": " + std::to_string(st.rows) +
                  " readings, time " + FormatReal(st.time0) + " to " + FormatReal(st.time1) +
                  " s, axial strain grows by " + Fixed(100 * st.strainGrowth, 3) +
                  " %, deviator " + Fixed(st.qMin, 1) + " to " + Fixed(st.qMax, 1) +
                  " kPa, σ′r " + Fixed(st.radialMin, 1) + " to " + Fixed(st.radialMax, 1) +
                  " kPa, " + (st.undrained ? "undrained" : "drained") + " (" + st.drainageWords +
                  ")";
  if (taken) e += "; from takes this stage by default";
  e += "\n    from = \"" + d.name + "\"\n    stage = " + std::to_string(st.number);
  return e;
}

}  // namespace

LabFile ReadGds(const std::string& text, const std::string& name, const Selection& sel,
                bool needTest) {
  const GdsData d = ParseGds(DecodeText(text), name);
  LabFile f;
  f.name = name;
  f.format = "GDS";
  f.header = d.header;
  const Stage* byDefault = nullptr;
  for (const Stage& st : d.stages) {
    if (st.strainGrowth >= kShearingStrain) byDefault = &st;
  }
  for (const Stage& st : d.stages) f.entries.push_back(StageEntry(d, st, &st == byDefault));
  if (!needTest && !sel.stage) return f;
  f.choices = d.choices;
  const Stage& st = ChooseStage(d, sel, f.choices);
  f.test = ShearTest(d, st, f.choices);
  RequireFinite(*f.test, name);
  return f;
}

}  // namespace soilcal::labfiles
