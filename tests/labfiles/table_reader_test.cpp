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

}  // namespace
}  // namespace soilcal::testing
