// The AGS4 reader: oedometer increments of one specimen among several
// (UTF-8 with a byte-order mark, CRLF, a remark holding a quoted line break)
// give the strains of the normal compression line that made them, the
// triaxial summaries give the c′ and φ′ of their failure line, and bad
// files are refused with a sentence.
#include <gtest/gtest.h>

#include <cmath>

#include "labfiles/lab_file.hpp"
#include "labfiles/lab_file_writers.hpp"

namespace soilcal::testing {
namespace {

using labfiles::LabFile;
using labfiles::LabFileError;
using labfiles::ReadAgs4;
using labfiles::Selection;

constexpr double kLambda = 0.08, kKappa = 0.016;

std::vector<OedometerSpecimen> Series() {
  return {NormalCompression("BH1", 2.0, "1", kLambda, kKappa, 1.2, {25, 50, 100, 200, 400}, {100}),
          NormalCompression("BH1", 4.5, "2", kLambda, kKappa, 1.1, {50, 100, 200, 400, 800}, {200, 50}),
          NormalCompression("BH2", 2.0, "1", 0.1, 0.02, 1.3, {25, 100, 400}, {})};
}

Selection Specimen(const std::string& location, double depth, const std::string& ref) {
  Selection s;
  s.specimen = labfiles::SpecimenKey{location, depth, ref};
  return s;
}

std::string ErrorOf(const std::string& text, const Selection& sel) {
  try {
    ReadAgs4(labfiles::DecodeText(text), "site.ags", sel, true);
  } catch (const LabFileError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Ags4Reader, OneSpecimenAmongSeveralGivesItsNormalCompressionLine) {
  const LabFile f = ReadAgs4(labfiles::DecodeText(Ags4File(Series(), {})), "site.ags",
                             Specimen("BH1", 4.5, "2"), true);
  ASSERT_TRUE(f.test.has_value());
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "oedometer");
  EXPECT_EQ(t.x, "vertical_stress");
  EXPECT_DOUBLE_EQ(t.initialVerticalStress, 50.0);
  EXPECT_EQ(t.levels, (std::vector<double>{100, 200, 400, 800, 200, 50}));
  // The anchor and each increment's end, one phase per increment.
  EXPECT_EQ(t.phase, (std::vector<int>{1, 1, 2, 3, 4, 5, 6}));
  const auto& sv = t.Find("vertical_stress")->values;
  const auto& ea = t.Find("axial_strain")->values;
  ASSERT_EQ(ea.size(), 7u);
  // Loading: ε = λ* ln(σ/σ1); unloading: ε_max − κ* ln(σ_max/σ). The file
  // holds 12 digits of the void ratio.
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(ea[i], kLambda * std::log(sv[i] / 50.0), 1e-10) << i;
  }
  const double top = kLambda * std::log(800.0 / 50.0);
  EXPECT_NEAR(ea[5], top - kKappa * std::log(800.0 / 200.0), 1e-10);
  EXPECT_NEAR(ea[6], top - kKappa * std::log(800.0 / 50.0), 1e-10);
  // The listing names every specimen with the TOML that selects it.
  ASSERT_GE(f.entries.size(), 3u);
  EXPECT_NE(f.entries[1].find("specimen = { location = \"BH1\", depth = 4.5, ref = \"2\" }"),
            std::string::npos) << f.entries[1];
}

TEST(Ags4Reader, AStartBelowTheFirstIncrementCountsStrainsFromItsStartingVoidRatio) {
  Selection sel = Specimen("BH2", 2.0, "");
  sel.initialVerticalStress = 10.0;
  const std::vector<OedometerSpecimen> series = Series();
  const LabFile f = ReadAgs4(Ags4File(series, {}), "site.ags", sel, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_DOUBLE_EQ(t.initialVerticalStress, 10.0);
  EXPECT_EQ(t.levels, (std::vector<double>{25, 100, 400}));
  const double e0 = series[2].e0;
  const auto& ea = t.Find("axial_strain")->values;
  EXPECT_EQ(ea[0], 0.0);
  EXPECT_NEAR(ea[1], (e0 - series[2].voids[0]) / (1.0 + e0), 1e-12);
  EXPECT_NEAR(ea[3], (e0 - series[2].voids[2]) / (1.0 + e0), 1e-12);
}

TEST(Ags4Reader, StressesInMegapascalAreReadInKilopascal) {
  const LabFile f = ReadAgs4(Ags4File(Series(), {}, "MPa"), "site.ags", Specimen("BH1", 2.0, "1"), true);
  EXPECT_NEAR(f.test->initialVerticalStress, 25.0, 1e-9);
  EXPECT_NEAR(f.test->levels.back(), 100.0, 1e-9);
}

TEST(Ags4Reader, FailurePointsGiveTheCohesionAndFrictionOfTheirLine) {
  const double c = 8.0, phi = 28.0;
  const std::vector<TriaxialFailure> tests{OnFailureLine("BH1", 3.0, "1", c, phi, 300, 200),
                                           OnFailureLine("BH1", 3.0, "2", c, phi, 400, 200),
                                           OnFailureLine("BH1", 3.0, "3", c, phi, 600, 250)};
  const LabFile f = ReadAgs4(Ags4File(Series(), tests), "site.ags", Selection{}, false);
  ASSERT_EQ(f.failures.size(), 3u);
  EXPECT_TRUE(f.failures[1].effective);
  EXPECT_NEAR(f.failures[1].sigma3, 200.0, 1e-9);
  EXPECT_NEAR(f.failures[1].sigma1, 200.0 + tests[1].deviator, 1e-9);
  ASSERT_TRUE(f.strength.has_value());
  EXPECT_NEAR(f.strength->phiDegrees, phi, 1e-6);
  EXPECT_NEAR(f.strength->cohesion, c, 1e-6);
  EXPECT_NE(labfiles::InspectText(f).find("c′ = 8.00 kPa, φ′ = 28.00°"), std::string::npos);
}

TEST(Ags4Reader, BadFilesAndSelectionsGetASentence) {
  const std::string good = Ags4File(Series(), {});
  EXPECT_EQ(ErrorOf(good, Specimen("BH3", 2.0, "1")),
            "site.ags has no specimen BH3 at 2 m, ref 1 in CONS; the nearest are BH1 at 2 m, ref "
            "1; BH2 at 2 m, ref 1; BH1 at 4.5 m, ref 2");
  EXPECT_NE(ErrorOf(good, Selection{}).find("holds 3 specimens in CONS"), std::string::npos);
  std::string noEnd = good;
  noEnd.replace(noEnd.find("\"CONS_INCE\""), 11, "\"CONS_XXXX\"");
  EXPECT_NE(ErrorOf(noEnd, Specimen("BH1", 2.0, "1")).find("group CONS lacks the heading CONS_INCE"),
            std::string::npos);
  std::string ksf = Ags4File(Series(), {}, "ksf");
  EXPECT_NE(ErrorOf(ksf, Specimen("BH1", 2.0, "1")).find("the unit \"ksf\" of CONS_INCF cannot be converted"),
            std::string::npos);
  // Cut inside the quoted remark that holds a line break.
  const std::string cut = good.substr(0, good.find("trimmed") + 9);
  EXPECT_NE(ErrorOf(cut, Selection{}).find("quoted cell is never closed"), std::string::npos);
  EXPECT_NE(ErrorOf("\"DATA\",\"1\"\r\n", Selection{}).find("before the first \"GROUP\" row"),
            std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
