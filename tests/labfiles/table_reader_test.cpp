// Tidy tables: column names with units mapped through the aliases, the
// test's type from the columns, its start from the first row, a void ratio
// turned into strain, and ambiguity refused with the columns listed.
#include <gtest/gtest.h>

#include <cmath>

#include "labfiles/lab_file.hpp"

namespace soilcal::testing {
namespace {

using labfiles::LabFile;
using labfiles::LabFileError;
using labfiles::ReadTable;

std::string ErrorOf(const std::string& text) {
  try {
    ReadTable(text, "t.csv", {}, true);
  } catch (const LabFileError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TableReader, UndrainedTriaxialFromAliasesAndUnits) {
  // σ′3 in MPa, strain in %, q in kPa, pore pressure absolute: the start is
  // σ′3 = 0.2 MPa and Δu counts from the first row.
  const LabFile f = ReadTable("eps_a [%],q (kPa),u [kPa],sigma_3' [MPa]\n"
                              "0,0,100,0.2\n"
                              "1,50,120,0.18\n"
                              "2,80,135,0.165\n",
                              "tmd07.csv", {}, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "triaxial_compression");
  EXPECT_TRUE(t.undrained);
  EXPECT_DOUBLE_EQ(t.cellPressure, 200.0);
  EXPECT_DOUBLE_EQ(t.axialStrain, 0.02);
  EXPECT_EQ(t.Find("excess_pore_pressure")->values, (std::vector<double>{0, 20, 35}));
  EXPECT_EQ(t.Find("axial_strain")->values, (std::vector<double>{0, 0.01, 0.02}));
}

TEST(TableReader, DrainedTriaxialWhitespaceSeparatedStartsFromMeanStress) {
  // Whitespace-separated with bracketed units apart from their names; the
  // start from p′ − q/3 of the first row: 110 − 30/3 = 100 kPa, with the
  // axial stress 130 kPa.
  const LabFile f = ReadTable("eps_a [-]  q [kPa]  eps_v [‰]  p' [kPa]\n"
                              "0.000 30 0.0 110\n"
                              "0.010 90 2.5 130\n",
                              "d.txt", {}, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_FALSE(t.undrained);
  EXPECT_DOUBLE_EQ(t.cellPressure, 100.0);
  ASSERT_TRUE(t.initialAxialStress.has_value());
  EXPECT_DOUBLE_EQ(*t.initialAxialStress, 130.0);
  EXPECT_DOUBLE_EQ(t.Find("volumetric_strain")->values[1], 0.0025);
}

TEST(TableReader, OedometerFromVoidRatiosCountsStrainFromTheFirstRow) {
  // ε = (e1 − e)/(1 + e1) with e1 = 1.0; semicolons and decimal commas.
  const LabFile f = ReadTable("sigma_v' [kPa];e\n50;1,0\n100;0,9\n200;0,8\n100;0,82\n", "o.csv",
                              {}, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "oedometer");
  EXPECT_DOUBLE_EQ(t.initialVerticalStress, 50.0);
  EXPECT_EQ(t.levels, (std::vector<double>{100, 200, 100}));
  const auto& ea = t.Find("axial_strain")->values;
  EXPECT_NEAR(ea[1], 0.05, 1e-15);
  EXPECT_NEAR(ea[3], 0.09, 1e-15);
}

TEST(TableReader, AmbiguousOrUnknownColumnsAreRefusedWithTheMapping) {
  EXPECT_EQ(ErrorOf("eps_a [%],q [kPa],eps_v [%],u [kPa],p' [kPa]\n0,0,0,0,100\n"),
            "t.csv gives volumetric strain and pore pressure (\"eps_a [%]\" as axial strain, "
            "\"q [kPa]\" as deviator stress, \"eps_v [%]\" as volumetric strain, \"u [kPa]\" as "
            "pore pressure, \"p' [kPa]\" as mean effective stress): a drained test has no excess "
            "pore pressure, an undrained one no volume change; delete the column that does not "
            "belong");
  EXPECT_NE(ErrorOf("eps_a [%],q [kPa],sigma_3 [kPa]\n0,0,100\n").find("no effective stress for the start"),
            std::string::npos);
  EXPECT_NE(ErrorOf("eps_a [%],q [ksi]\n0,0\n").find("the unit \"ksi\" of \"q [ksi]\""),
            std::string::npos);
  EXPECT_NE(ErrorOf("q [kPa],dev [kPa]\n0,0\n").find("two columns hold the same quantity"),
            std::string::npos);
  EXPECT_NE(ErrorOf("eps_a [%],q [kPa],p' [kPa]\n0,0,100\n1,x,100\n").find("t.csv line 3: \"q [kPa]\" holds \"x\""),
            std::string::npos);
}

// A cyclic table of r_u (pore pressure ratio) with whitespace columns: du
// = r_u σ′3c, the strain from the first row, phases of the load wave; one
// of pore pressure over a start row at cycle 0 gives the same numbers.
TEST(TableReader, CyclesWithDeviatorAndPorePressureMakeACyclicTriaxialTest) {
  const LabFile f = ReadTable("N q [kPa] r_u eps_a [%] sigma_3' [kPa]\n"
                              "0 0 0 0.01 80\n"
                              "0.25 16 0.1 0.06 72\n"
                              "0.75 -16 0.2 0.03 64\n"
                              "1.5 0 0.4 0.11 48\n",
                              "cyc.txt", {}, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "cyclic_triaxial");
  EXPECT_DOUBLE_EQ(t.cellPressure, 80.0);
  EXPECT_DOUBLE_EQ(t.amplitude, 16.0);
  EXPECT_EQ(t.cycles, 2);
  EXPECT_EQ(t.phase, (std::vector<int>{1, 1, 2, 4}));
  EXPECT_EQ(t.Find("excess_pore_pressure")->values, (std::vector<double>{0, 8, 16, 32}));
  const auto& ea = t.Find("axial_strain")->values;
  EXPECT_NEAR(ea[1], 0.0005, 1e-15);
  EXPECT_NEAR(ea[3], 0.001, 1e-15);
  const LabFile byPore = ReadTable("cycles,q [kPa],u [kPa],sigma_3' [kPa]\n"
                                   "0,0,200,80\n0.25,16,208,72\n0.75,-16,216,64\n1.5,0,232,48\n",
                                   "cyc.csv", {}, true);
  EXPECT_EQ(byPore.test->Find("excess_pore_pressure_ratio")->values,
            (std::vector<double>{0, 0.1, 0.2, 0.4}));
  EXPECT_NE(ErrorOf("N,q [kPa],u [kPa],sigma_3' [kPa]\n1,16,208,72\n2,16,216,64\n")
                .find("the pore pressure has no start, for the first row is at cycle 1"),
            std::string::npos);
  EXPECT_NE(ErrorOf("N,r_u,sigma_3' [kPa]\n0,0,80\n1,0.2,64\n").find("no deviator stress"),
            std::string::npos);
}

// A total vertical stress becomes effective with the pore pressure column
// (σ′v = σv − u); without one it is refused.
TEST(TableReader, TotalStressIsMadeEffectiveByThePorePressureOrRefused) {
  const LabFile f = ReadTable("sigma_v [kPa]\tu [kPa]\te\n60\t10\t1.0\n110\t10\t0.95\n210\t10\t0.9\n",
                              "oed.txt", {}, true);
  EXPECT_EQ(f.test->kind, "oedometer");
  EXPECT_DOUBLE_EQ(f.test->initialVerticalStress, 50.0);
  EXPECT_EQ(f.test->levels, (std::vector<double>{100, 200}));
  EXPECT_NEAR(f.test->Find("axial_strain")->values[2], 0.1 / 2.0, 1e-15);
  EXPECT_NE(ErrorOf("sigma_v [kPa],e\n60,1.0\n110,0.95\n").find("\"sigma_v [kPa]\" is a total "
                                                                 "stress"),
            std::string::npos);
}

// A phase column is held against the reversals of the loading: an
// oedometer phase that loads and unloads, phases out of order, or several
// phases of a triaxial table are refused; one that agrees is said so.
TEST(TableReader, APhaseColumnMustAgreeWithTheReversalsOfTheLoading) {
  const LabFile f = ReadTable("phase,sigma_v' [kPa],e\n1,50,1.0\n1,100,0.95\n2,200,0.9\n3,100,0.91\n",
                              "ph.csv", {}, true);
  EXPECT_EQ(f.test->levels, (std::vector<double>{100, 200, 100}));
  bool said = false;
  for (const std::string& c : f.choices) said |= c.find("agrees with the reversals") != std::string::npos;
  EXPECT_TRUE(said);
  EXPECT_NE(ErrorOf("phase,sigma_v' [kPa],e\n1,50,1.0\n1,100,0.95\n1,50,0.96\n")
                .find("phase 1 both loads and unloads (at reading 3)"),
            std::string::npos);
  EXPECT_NE(ErrorOf("phase,sigma_v' [kPa],e\n2,50,1.0\n1,100,0.95\n").find("phases are whole "
                                                                           "numbers from 1 on, in order"),
            std::string::npos);
  EXPECT_NE(ErrorOf("phase,eps_a [%],q [kPa],p' [kPa]\n1,0,0,100\n2,1,50,110\n")
                .find("a triaxial test from a table is one shearing phase"),
            std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
