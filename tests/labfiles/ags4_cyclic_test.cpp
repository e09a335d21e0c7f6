// Cyclic triaxial tests of an AGS4 file (CTRG, CTRC, CTRD): the reader gives
// back the closed-form r_u and axial strain that made the readings, the
// effective cell pressure of the end of consolidation and the deviator
// amplitude, whether the file records through the cycles or once per cycle,
// and refuses what makes no cyclic triaxial test with a sentence.
#include <gtest/gtest.h>

#include <cmath>

#include "cyclic_ags4_writer.hpp"
#include "labfiles/ags4_cyclic.hpp"
#include "labfiles/lab_file.hpp"

namespace soilcal::testing {
namespace {

using labfiles::LabFile;
using labfiles::LabFileError;
using labfiles::Selection;

LabFile Read(const std::string& text, const Selection& sel, bool needTest = true) {
  return labfiles::ReadAgs4(text, "cyclic.ags", sel, needTest);
}

std::string ErrorOf(const std::string& text, const Selection& sel) {
  try {
    Read(text, sel);
  } catch (const LabFileError& e) {
    return e.what();
  }
  return "no error";
}

Selection Specimen(const std::string& location, double depth, const std::string& ref) {
  Selection s;
  s.specimen = labfiles::SpecimenKey{location, depth, ref};
  return s;
}

bool Has(const std::vector<std::string>& list, const std::string& part) {
  for (const std::string& s : list) {
    if (s.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(Ags4Cyclic, ARecordThroughTheCyclesGivesTheClosedFormRuAndStrain) {
  const CyclicSpecimenFile specimen;  // σ′3c = 400 − 300 kPa, ±30 kPa, 10 cycles, 8 readings each
  const LabFile f = Read(Ags4CyclicFile({specimen}), Selection{});
  ASSERT_TRUE(f.test.has_value());
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "cyclic_triaxial");
  EXPECT_TRUE(t.undrained);
  EXPECT_EQ(t.x, "cycles");
  EXPECT_DOUBLE_EQ(t.cellPressure, 100.0);
  EXPECT_NEAR(t.amplitude, 30.0, 1e-9);  // the sine's peaks lie on readings 2 and 6
  EXPECT_EQ(t.cycles, 10);
  EXPECT_EQ(t.defaultCurves, (std::vector<std::string>{"excess_pore_pressure_ratio", "axial_strain"}));
  const auto& n = t.Find("cycles")->values;
  const auto& ru = t.Find("excess_pore_pressure_ratio")->values;
  const auto& ea = t.Find("axial_strain")->values;
  ASSERT_EQ(n.size(), 81u);
  ASSERT_EQ(t.phase.size(), 81u);
  // The file holds 12 significant digits; r_u = Δu/σ′3c with Δu from the
  // reading at cycle 0, the strain counted from it (its 0.05 % dropped).
  for (std::size_t i = 0; i < n.size(); ++i) {
    SCOPED_TRACE(n[i]);
    EXPECT_NEAR(ru[i], PorePressureRatio(n[i], 15.0, 0.7), 1e-10);
    EXPECT_NEAR(ea[i], 0.002 * n[i], 1e-12);
  }
  EXPECT_NEAR(t.Find("excess_pore_pressure")->values.back(), 100.0 * ru.back(), 1e-9);
  // Phases of the load wave: a quarter, 19 half cycles, a last quarter.
  EXPECT_EQ(t.phase[2], 1);    // N = 0.25, the first peak
  EXPECT_EQ(t.phase[3], 2);    // N = 0.375
  EXPECT_EQ(t.phase[8], 3);    // N = 1, inside the third phase
  EXPECT_EQ(t.phase.back(), 21);
  EXPECT_TRUE(Has(f.choices, "start: σ′3c = 100 kPa, isotropic (CTRC_CELL − CTRC_PWP of CTRC line"));
  EXPECT_TRUE(Has(f.choices, "pore pressure minus 300 kPa of the reading at cycle 0"));
}

TEST(CyclicPhase, ReadingsFallIntoTheHalfCyclesOfTheLoadWave) {
  const std::pair<double, int> cases[] = {{0.0, 1},  {0.25, 1}, {0.26, 2}, {0.75, 2},
                                          {0.76, 3}, {1.0, 3},  {1.25, 3}, {2.0, 5},
                                          {3.0, 7},  {3.5, 7},  {9.0, 7}};
  for (const auto& [n, phase] : cases) {
    SCOPED_TRACE(n);
    EXPECT_EQ(labfiles::CyclicPhaseAt(n, 3), phase);
  }
}

// Two specimens, one with two tests, each read once per cycle (its peak) in
// MPa: the pore pressure counts from the back pressure of CTRC, the strain
// is taken as written.
TEST(Ags4Cyclic, OneReadingPerCycleInMegapascalCountsFromTheEndOfConsolidation) {
  CyclicSpecimenFile a, b, c;
  a.perCycle = b.perCycle = c.perCycle = 0;
  a.testNumber = "1", b.testNumber = "2", c.testNumber = "1";
  b.amplitude = 40.0, b.cell = 500.0, b.back = 300.0, b.cycles = 6, b.cyclesToLiquefaction = 5.0;
  c.location = "BH2";
  const std::string file = Ags4CyclicFile({a, b, c}, "MPa");
  Selection sel = Specimen("BH1", 5.0, "1");
  sel.stage = 2;
  const LabFile f = Read(file, sel);
  const labfiles::LabTest& t = *f.test;
  EXPECT_NEAR(t.cellPressure, 200.0, 1e-9);
  EXPECT_NEAR(t.amplitude, 40.0, 1e-9);
  EXPECT_EQ(t.cycles, 6);
  const auto& n = t.Find("cycles")->values;
  const auto& ru = t.Find("excess_pore_pressure_ratio")->values;
  ASSERT_EQ(n.size(), 6u);
  for (std::size_t i = 0; i < n.size(); ++i) {
    EXPECT_EQ(n[i], i + 1.0);
    EXPECT_NEAR(ru[i], PorePressureRatio(n[i], 5.0, 0.7), 1e-9);  // 1 from cycle 5 on
    EXPECT_NEAR(t.Find("axial_strain")->values[i], 0.002 * n[i], 1e-12);
    EXPECT_EQ(t.phase[i], 2 * static_cast<int>(n[i]) + 1);
  }
  EXPECT_TRUE(Has(f.choices, "specimen BH1 at 5 m, ref 1, group CTRD, test 2"));
  EXPECT_TRUE(Has(f.choices, "each deviator taken as the cycle's peak"));
  EXPECT_TRUE(Has(f.choices, "minus 300 kPa at the end of consolidation (CTRC)"));
  // The listing names all three tests with the TOML that selects each.
  const LabFile all = Read(file, Selection{}, false);
  ASSERT_EQ(all.entries.size(), 3u);
  EXPECT_NE(all.entries[1].find("CTRD BH1 at 5 m, ref 1, test 2: 6 cyclic triaxial readings to "
                                "cycle 6\n    from = \"cyclic.ags\"\n    specimen = { location = "
                                "\"BH1\", depth = 5, ref = \"1\" }\n    group = \"CTRD\"\n    stage = 2"),
            std::string::npos) << all.entries[1];
  const std::string csv = labfiles::CurvesCsv(t);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "phase,cycles,excess_pore_pressure_ratio,axial_strain,excess_pore_pressure");
}

TEST(Ags4Cyclic, WhatMakesNoCyclicTriaxialTestIsRefusedWithASentence) {
  CyclicSpecimenFile one;
  const std::string good = Ags4CyclicFile({one});
  std::string noCycles = good;
  noCycles.replace(noCycles.find("\"CTRD_CYCN\""), 11, "\"CTRD_XXXX\"");
  EXPECT_NE(ErrorOf(noCycles, {}).find("group CTRD lacks a heading of the cycle number (one of "
                                       "CTRD_CYCN, CTRD_NCYC"),
            std::string::npos);
  // Once per cycle without CTRC: nothing gives the start.
  CyclicSpecimenFile bare;
  bare.perCycle = 0, bare.consolidation = false;
  EXPECT_NE(ErrorOf(Ags4CyclicFile({bare}), {}).find("begin at cycle 1 and CTRC gives no pore "
                                                     "pressure at the end of consolidation"),
            std::string::npos);
  // A one-way load (the deviator never below zero) is no test of the template.
  std::string oneWay = good;
  for (std::size_t at = oneWay.find("\"CTRD\""); (at = oneWay.find(",\"-", at)) != std::string::npos;) {
    oneWay.erase(at + 2, 1);
  }
  EXPECT_NE(ErrorOf(oneWay, {}).find("cycles it about zero from an isotropic start"), std::string::npos);
  // Cycle numbers out of order.
  std::string swapped = good;
  swapped.replace(swapped.find("\"0.125\""), 7, "\"0.500\"");
  EXPECT_NE(ErrorOf(swapped, {}).find("the cycle number falls from 0.5 to 0.25"), std::string::npos);
  EXPECT_NE(ErrorOf(good, Specimen("BH9", 5.0, "1")).find("has no specimen BH9 at 5 m, ref 1 in "
                                                          "CTRD; the nearest are BH1 at 5 m, ref 1"),
            std::string::npos);
  Selection group;
  group.group = "CTRX";
  EXPECT_NE(ErrorOf(good, group).find("group CTRX gives no test the reader builds"), std::string::npos);
  group.group = "CONS";
  EXPECT_NE(ErrorOf(good, group).find("holds no oedometer increments (group CONS) to make a test of"),
            std::string::npos);
  // Two tests of one specimen want a stage.
  CyclicSpecimenFile first, second;
  first.testNumber = "1", second.testNumber = "2";
  EXPECT_NE(ErrorOf(Ags4CyclicFile({first, second}), {}).find("holds 2 tests of BH1 at 5 m, ref 1 "
                                                             "in CTRD"),
            std::string::npos);
  std::string kips = Ags4CyclicFile({one});
  const std::size_t unit = kips.find("\"kPa\"", kips.find("\"GROUP\",\"CTRD\""));
  kips.replace(unit, 5, "\"ksf\"");
  EXPECT_NE(ErrorOf(kips, {}).find("the unit \"ksf\" of CTRD_CELL cannot be converted"),
            std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
