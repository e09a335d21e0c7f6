// A spreadsheet's export where the comma is the decimal sign: fields
// separated by semicolons (or tabs), numbers such as "0,25". Strict where a
// comma could be read two ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobfile/csv.hpp"

namespace soilcal::testing {
namespace {

std::vector<double> Column(const std::string& text, int column) {
  const jobfile::CsvTable table = jobfile::ParseCsv(text, "data.csv");
  return jobfile::NumericColumn(table, column);
}

TEST(CsvDecimalComma, SemicolonAndTabFilesTakeDecimalCommas) {
  const std::string semicolon = "axial_strain;deviator_stress\n0;0\n0,0125;62,5\n-1,5e-3;+7\n";
  EXPECT_EQ(Column(semicolon, 0), (std::vector<double>{0.0, 0.0125, -1.5e-3}));
  EXPECT_EQ(Column(semicolon, 1), (std::vector<double>{0.0, 62.5, 7.0}));
  // A decimal point still reads in such a file.
  EXPECT_EQ(Column("a;b\n0.5;2\n", 0), (std::vector<double>{0.5}));
  EXPECT_EQ(Column("a\tb\n1;2\t3,75\n", 1), (std::vector<double>{3.75}));
  EXPECT_TRUE(jobfile::ParseCsv(semicolon, "data.csv").decimalComma);
}

TEST(CsvDecimalComma, CommaSeparatedFilesAndAmbiguousCellsAreNotGuessed) {
  // In a comma-separated file a comma separates: "0,5" is two fields.
  const jobfile::CsvTable comma = jobfile::ParseCsv("a,b\n0,5\n", "data.csv");
  EXPECT_FALSE(comma.decimalComma);
  EXPECT_EQ(jobfile::NumericColumn(comma, 0), (std::vector<double>{0.0}));
  EXPECT_EQ(jobfile::NumericColumn(comma, 1), (std::vector<double>{5.0}));
  // A point and a comma (thousands separator?) or two commas: refused with
  // the file, line, column and the fix.
  for (const std::string cell : {"1.234,5", "1,234,5"}) {
    SCOPED_TRACE(cell);
    try {
      Column("a;b\n1;2\n3;" + cell + "\n", 1);
      ADD_FAILURE() << "read";
    } catch (const jobfile::CsvError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find("data.csv line 3, column \"b\": \"" + cell + "\" is not a number"),
                std::string::npos)
          << what;
      EXPECT_NE(what.find("no thousands separators"), std::string::npos) << what;
    }
  }
}

}  // namespace
}  // namespace soilcal::testing
