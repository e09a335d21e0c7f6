// The GDS reader gives back the closed-form curves a file was written from,
// in every variant of the exports (decimal commas, Latin-1, a byte-order
// mark, CRLF, derived columns at zero, displacement without strain), takes
// the shear stage by default, and refuses bad files with a sentence.
#include <gtest/gtest.h>

#include <cmath>

#include "labfiles/lab_file.hpp"
#include "labfiles/lab_file_writers.hpp"

namespace soilcal::testing {
namespace {

using labfiles::LabFile;
using labfiles::LabFileError;
using labfiles::ReadGds;
using labfiles::Selection;

struct Case {
  const char* name;
  GdsVariant variant;
};

GdsVariant With(void (*change)(GdsVariant&)) {
  GdsVariant v;
  change(v);
  return v;
}

const Case kCases[] = {
    {"points", GdsVariant{}},
    {"decimal_commas_latin1_crlf", With([](GdsVariant& v) {
       v.decimalComma = true;
       v.latin1 = true;
       v.crlf = true;
     })},
    {"utf8_bom", With([](GdsVariant& v) { v.bom = true; })},
    {"derived_columns_zero", With([](GdsVariant& v) {
       v.derivedZero = true;
       v.decimalComma = true;
     })},
    {"displacement_only", With([](GdsVariant& v) {
       v.strainColumn = false;
       v.crlf = true;
     })},
};

class GdsVariants : public ::testing::TestWithParam<Case> {};

// Relative agreement: the file holds 12 digits, and a deviator taken from
// the load passes through the area once more.
constexpr double kTol = 1e-9;

void ExpectColumn(const labfiles::LabTest& t, const std::string& q, const std::vector<double>& want,
                  double scale) {
  const labfiles::Column* c = t.Find(q);
  ASSERT_NE(c, nullptr) << q;
  ASSERT_EQ(c->values.size(), want.size()) << q;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(c->values[i], want[i], kTol * scale) << q << " reading " << i;
  }
}

TEST_P(GdsVariants, DrainedShearStageGivesTheClosedFormCurves) {
  const McSoil soil{24000.0, 0.25, 38.0, 1.0, 8.0};
  const auto readings = DrainedTriaxial(soil, 150.0, 0.08, 40);
  const std::string text = GdsFile(readings, false, 150.0, GetParam().variant);
  const LabFile f = ReadGds(labfiles::DecodeText(text), "cd1.gds", Selection{}, true);
  ASSERT_TRUE(f.test.has_value());
  const labfiles::LabTest& t = *f.test;
  EXPECT_EQ(t.kind, "triaxial_compression");
  EXPECT_FALSE(t.undrained);
  EXPECT_NEAR(t.cellPressure, 150.0, 1e-9);
  EXPECT_FALSE(t.initialAxialStress.has_value());
  EXPECT_NEAR(t.axialStrain, 0.08, 1e-12);
  std::vector<double> ea, q, ev;
  for (const TriaxialReading& r : readings) ea.push_back(r.ea), q.push_back(r.q), ev.push_back(r.ev);
  ExpectColumn(t, "axial_strain", ea, 1.0);
  ExpectColumn(t, "deviator_stress", q, 1000.0);
  ExpectColumn(t, "volumetric_strain", ev, 1.0);
  EXPECT_EQ(t.defaultCurves, (std::vector<std::string>{"deviator_stress", "volumetric_strain"}));
  // Stage 5 is the last that shears; the others are listed with drainage.
  ASSERT_EQ(f.entries.size(), 5u);
  EXPECT_NE(f.entries[4].find("from takes this stage"), std::string::npos);
  EXPECT_NE(f.entries[1].find("undrained"), std::string::npos) << f.entries[1];
  EXPECT_NE(f.entries[2].find("stage 3:"), std::string::npos);
}

TEST_P(GdsVariants, UndrainedShearStageGivesExcessPorePressureFromItsStart) {
  const McSoil soil{5000.0, 0.3, 26.0, 5.0, 0.0};
  const auto readings = UndrainedTriaxial(soil, 200.0, 0.12, 30);
  const std::string text = GdsFile(readings, true, 200.0, GetParam().variant);
  const LabFile f = ReadGds(labfiles::DecodeText(text), "cu1.gds", Selection{}, true);
  const labfiles::LabTest& t = *f.test;
  EXPECT_TRUE(t.undrained);
  EXPECT_NEAR(t.cellPressure, 200.0, 1e-9);
  std::vector<double> q, du;
  for (const TriaxialReading& r : readings) q.push_back(r.q), du.push_back(r.du);
  ExpectColumn(t, "deviator_stress", q, 1000.0);
  ExpectColumn(t, "excess_pore_pressure", du, 1000.0);
  EXPECT_EQ(t.Find("volumetric_strain"), nullptr);
  // p′ = σ′r + q/3 at every reading (σ′r falls as the pore pressure rises).
  const labfiles::Column* p = t.Find("mean_effective_stress");
  ASSERT_NE(p, nullptr);
  EXPECT_NEAR(p->values.back(), 200.0 - du.back() + q.back() / 3.0, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Exports, GdsVariants, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GdsReader, DerivedColumnsAtZeroAreComputedAndSaidSo) {
  GdsVariant v;
  v.derivedZero = true;
  const auto readings = DrainedTriaxial(McSoil{}, 100.0, 0.05, 10);
  const LabFile f = ReadGds(GdsFile(readings, false, 100.0, v), "x.gds", Selection{}, true);
  bool said = false;
  for (const std::string& c : f.choices) said |= c.find("axial load over the current area") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST(GdsReader, ANamedStageIsTakenAndAStageThatDoesNotShearIsRefused) {
  const auto readings = DrainedTriaxial(McSoil{}, 100.0, 0.05, 10);
  const std::string text = GdsFile(readings, false, 100.0, GdsVariant{});
  Selection sel;
  sel.stage = 5;
  EXPECT_NO_THROW(ReadGds(text, "x.gds", sel, true));
  sel.stage = 2;
  try {
    ReadGds(text, "x.gds", sel, true);
    FAIL() << "stage 2 does not shear";
  } catch (const LabFileError& e) {
    EXPECT_NE(std::string(e.what()).find("nothing shears in stage 2"), std::string::npos) << e.what();
  }
  sel.stage = 9;
  try {
    ReadGds(text, "x.gds", sel, true);
    FAIL() << "there is no stage 9";
  } catch (const LabFileError& e) {
    EXPECT_STREQ(e.what(), "x.gds has no stage 9; its stages are 1, 2, 3, 4, 5 (stage = N in the test)");
  }
}

std::string ErrorOf(const std::string& text) {
  try {
    ReadGds(labfiles::DecodeText(text), "bad.gds", Selection{}, true);
  } catch (const LabFileError& e) {
    return e.what();
  }
  return "no error";
}

TEST(GdsReader, BadFilesGetASentenceNamingWhatIsWrong) {
  const auto readings = DrainedTriaxial(McSoil{}, 100.0, 0.05, 10);
  const std::string good = GdsFile(readings, false, 100.0, GdsVariant{});
  // Cut inside a quoted cell of the last row.
  const std::string cut = good.substr(0, good.size() - 12);
  EXPECT_NE(ErrorOf(cut).find("quoted cell is never closed"), std::string::npos) << ErrorOf(cut);
  // Cut between cells of the last row.
  std::string between = good.substr(0, good.rfind("\"0\",\"0\",\"0\""));
  between = between.substr(0, between.rfind('\n') + 1) + "\"5\",\"1000\",\"400\"\n";
  EXPECT_NE(ErrorOf(between).find("cut inside its last row"), std::string::npos) << ErrorOf(between);
  // No axial strain and no displacement.
  std::string noStrain = good;
  for (const char* c : {"Axial Strain (%)", "Axial Displacement (mm)"}) {
    noStrain.replace(noStrain.find(c), std::string(c).size(), "Other");
  }
  const std::string e = ErrorOf(noStrain);
  EXPECT_NE(e.find("no \"Axial Strain (%)\" column"), std::string::npos) << e;
  EXPECT_NE(e.find("\"Radial Pressure (kPa)\""), std::string::npos) << e;
  // A unit that cannot be converted.
  std::string furlong = good;
  furlong.replace(furlong.find("Radial Pressure (kPa)"), 21, "Radial Pressure (ksf)");
  EXPECT_NE(ErrorOf(furlong).find("the unit of \"Radial Pressure (ksf)\""), std::string::npos);
  // No deviator, no load, no effective axial stress.
  std::string noDeviator = good;
  for (const char* c : {"Deviator Stress (kPa)", "Load Cell (kN)", "Eff. Axial Stress (kPa)"}) {
    noDeviator.replace(noDeviator.find(c), std::string(c).size(), "Other");
  }
  EXPECT_NE(ErrorOf(noDeviator).find("gives no deviator stress in stage 5"), std::string::npos)
      << ErrorOf(noDeviator);
  EXPECT_NE(ErrorOf("\"Test\",\"1\"\n").find("no row \"Start of Repeated Data\""), std::string::npos);
}

TEST(GdsReader, MegapascalColumnsAreConvertedToKilopascal) {
  const auto readings = DrainedTriaxial(McSoil{}, 100.0, 0.05, 10);
  std::string text = GdsFile(readings, false, 100.0, GdsVariant{});
  // The deviator column in MPa: every value divided by 1000.
  const std::size_t header = text.find("Deviator Stress (kPa)");
  text.replace(header, 21, "Deviator Stress (MPa)");
  const LabFile kpa = ReadGds(GdsFile(readings, false, 100.0, GdsVariant{}), "a.gds", {}, true);
  const LabFile mpa = ReadGds(text, "b.gds", {}, true);
  EXPECT_NEAR(mpa.test->Find("deviator_stress")->values.back(),
              1000.0 * kpa.test->Find("deviator_stress")->values.back(), 1e-6);
}

}  // namespace
}  // namespace soilcal::testing
