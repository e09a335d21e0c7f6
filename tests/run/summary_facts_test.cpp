// The names, units and degrees the summary gives each model family's
// parameters, in the job's own units (here MN, m and h), and how the report
// and the JSON show them.
#include <gtest/gtest.h>

#include <cmath>

#include "models/parameter_table.hpp"
#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/summary_json.hpp"
#include "run/summary_facts.hpp"

#include <nlohmann/json.hpp>

namespace soilcal::testing {
namespace {

struct Expected {
  int model;  // model number as the test file gives it
  int slot;
  const char* symbol;
  const char* unit;
  bool sine;
  const char* modelName;
};

// A job of one free parameter in `slot` whose material was read in MN, m
// and h.
input::Job JobOf(int model, int slot) {
  input::Job job;
  job.modelNumber = model;
  job.material.version = 6;
  job.material.forceUnit = "MN";
  job.material.lengthUnit = "m";
  job.material.timeUnit = "h";
  job.material.name = "usermod.dll";
  job.settings.nParams = 1;
  job.settings.tolerance = 1e-3;
  job.settings.index = {slot};
  job.settings.lower = {0.1};
  job.settings.upper = {0.9};
  return job;
}

TEST(SummaryFacts, EveryModelFamilyNamesItsParametersInTheJobsUnits) {
  const Expected cases[] = {
      {101, 1, "G", "MPa", false, "linear elastic"},
      {102, 3, "φ", "°", true, "Mohr-Coulomb"},
      {102, 5, "ψ", "°", true, "Mohr-Coulomb"},
      {102, 7, "c_inc", "MPa/m", false, "Mohr-Coulomb"},
      {104, 39, "λ*", "", false, "soft soil"},
      {105, 31, "M", "", false, "modified Cam-Clay"},
      {106, 40, "E50ref", "MPa", false, "Hardening Soil"},
      {108, 42, "τ", "h", false, "soft-soil creep"},
      {112, 4, "s_u^A", "MPa", false, "NGI-ADP"},
      {112, 7, "s_u,inc^A", "MPa/m", false, "NGI-ADP"},
      {112, 38, "γf^C", "%", false, "NGI-ADP"},
      {115, 31, "σci", "MPa", false, "Hoek-Brown"},
      {115, 48, "ψ", "°", false, "Hoek-Brown"},  // kept in degrees by the model
      {119, 50, "γ0.7", "", false, "Hardening Soil with small-strain stiffness"},
      {132, 41, "v0", "1/h", false, "Sekiguchi-Ohta (viscid)"},
      {135, 33, "s_u^P", "MPa", false, "NGI-ADP"},
  };
  for (const Expected& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " slot " + std::to_string(c.slot));
    const input::Job job = JobOf(c.model, c.slot);
    report::Summary s;
    s.parameters.push_back({c.slot, "key", 0.1, 0.9, 0.5, 0.5, 100.0, {}});
    run::AddJobFacts(job, run::CalibrationTrace{}, s);
    ASSERT_TRUE(s.parameters[0].display);
    const report::ParameterDisplay& d = *s.parameters[0].display;
    EXPECT_EQ(d.symbol, c.symbol);
    EXPECT_EQ(d.unit, c.unit);
    EXPECT_EQ(d.sine, c.sine);
    EXPECT_EQ(s.modelName, c.modelName);
    ASSERT_TRUE(s.units);
    EXPECT_EQ(s.units->force, "MN");

    // Report: symbol and unit; a sine slot in degrees (sin 30° = 0.5).
    const std::string table = report::ParameterSection(s);
    EXPECT_NE(table.find(report::SymbolHtml(c.symbol)), std::string::npos);
    EXPECT_NE(table.find("<b>" + std::string(c.sine ? "30" : "0.5") + "</b>"), std::string::npos);
    // JSON: the stored value and the one shown.
    const auto j = nlohmann::json::parse(report::SummaryToJson(s));
    EXPECT_EQ(j["parameters"][0]["calibrated"].get<double>(), 0.5);
    EXPECT_NEAR(j["parameters"][0]["display"]["calibrated"].get<double>(), c.sine ? 30.0 : 0.5, 1e-12);
    EXPECT_EQ(j["model_number"], c.model);
    EXPECT_EQ(j["units"]["stress"], "MPa");
  }
}

TEST(SummaryFacts, SlotsWithoutANameKeepTheResultFilesKey) {
  // Slot 31 of a library that does not describe itself (the probe library)
  // and slot 117 of Mohr-Coulomb have no name.
  for (const auto& [model, slot] : {std::pair{121, 31}, std::pair{102, 117}}) {
    report::Summary s;
    s.parameters.push_back({slot, "ProLay31", 0.1, 0.9, 0.5, 0.5, 100.0, {}});
    input::Job job = JobOf(model, slot);
    job.material.name = "udsm_probe.dll";
    run::AddJobFacts(job, run::CalibrationTrace{}, s);
    EXPECT_FALSE(s.parameters[0].display);
    EXPECT_NE(report::ParameterSection(s).find("<td class=\"text\">ProLay31</td>"), std::string::npos);
    if (model == 121) {
      EXPECT_EQ(s.modelName, "user-defined model (udsm_probe.dll)");
    }
  }
}

TEST(SummaryFacts, AUserModelIsShownAsItsLibraryDescribesIt) {
  // The example library names user parameter 1 (slot 31) E, a stress: in
  // MN and m that is MPa. The hypoplastic library names slot 32 hs.
  report::Summary s;
  s.parameters.push_back({31, "ProLay31", 0.1, 0.9, 0.5, 0.5, 100.0, {}});
  run::AddJobFacts(JobOf(121, 31), run::CalibrationTrace{}, s);
  ASSERT_TRUE(s.parameters[0].display);
  EXPECT_EQ(s.parameters[0].display->symbol, "E");
  EXPECT_EQ(s.parameters[0].display->unit, "MPa");
  EXPECT_EQ(s.modelName, "Mohr-Coulomb of the example user library (usermod.dll)");

  report::Summary h;
  h.parameters.push_back({32, "ProLay32", 1e6, 1e7, 4e6, 4e6, 100.0, {}});
  input::Job job = JobOf(121, 32);
  job.material.name = "hypoplastic_sand.dll";
  run::AddJobFacts(job, run::CalibrationTrace{}, h);
  ASSERT_TRUE(h.parameters[0].display);
  EXPECT_EQ(h.parameters[0].display->symbol, "hs");
  EXPECT_EQ(h.parameters[0].display->words, "granular hardness");
  EXPECT_EQ(h.modelName, "hypoplastic sand with intergranular strain (hypoplastic_sand.dll)");
}

}  // namespace
}  // namespace soilcal::testing
