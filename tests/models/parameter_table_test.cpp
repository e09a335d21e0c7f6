// The table of named parameters: conversions, the slot each name lands in,
// unit texts, and agreement of its "derived" marks with the completion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "models/degrees.hpp"
#include "models/family.hpp"
#include "models/parameter_table.hpp"
#include "models/setup.hpp"

namespace soilcal::models::params {
namespace {

TEST(ParameterTable, EveryModelIsBuiltAndItsNamesAreUniqueAndInTheFileSlots) {
  for (const Model& model : Models()) {
    EXPECT_NE(FindModelFamily(model.number), nullptr) << model.name;
    EXPECT_EQ(FindModel(model.name), &model);
    std::set<std::string_view> names;
    for (const Parameter& p : model.parameters) {
      EXPECT_TRUE(names.insert(p.name).second) << model.name << " repeats " << p.name;
      // A lab-test file sets slots 1..200 only.
      EXPECT_GE(p.slot, 1) << p.name;
      EXPECT_LE(p.slot, 200) << p.name;
      // Only the friction and dilatancy slots hold sines.
      if (p.stored == Stored::kSine) {
        EXPECT_TRUE(p.slot == 3 || p.slot == 5) << p.name;
      }
      if (p.stored == Stored::kShearFromYoung) {
        const Parameter* nu = FindParameter(model, p.partner);
        ASSERT_NE(nu, nullptr) << p.name;
        EXPECT_EQ(nu->slot, 2);
      }
    }
  }
}

TEST(ParameterTable, ConversionsGiveTheStoredValueAndBack) {
  const Model& mc = *FindModel("mohr_coulomb");
  const Parameter& phi = *FindParameter(mc, "phi");
  EXPECT_NEAR(FromStored(phi, 0.5), 30.0, 1e-12);
  // E = 26000 with nu = 0.3: G = 26000 / 2.6 = 10000.
  const Parameter& e = *FindParameter(mc, "E");
  EXPECT_DOUBLE_EQ(ToStored(e, 26000.0, 0.3), 10000.0);
  EXPECT_DOUBLE_EQ(FromStored(e, 10000.0, 0.3), 26000.0);
  // e0 = 1 is a porosity of one half.
  const Parameter& e0 = *FindParameter(mc, "e0");
  EXPECT_DOUBLE_EQ(ToStored(e0, 1.0), 0.5);
  EXPECT_DOUBLE_EQ(FromStored(e0, 0.5), 1.0);
  // Hoek-Brown keeps its dilatancy angle in degrees.
  const Parameter& psiHb = *FindParameter(*FindModel("hoek_brown"), "psi");
  EXPECT_EQ(psiHb.slot, 48);
  EXPECT_DOUBLE_EQ(ToStored(psiHb, 12.0), 12.0);
}

// Degrees become the nearest double to the exact sine. The last four angles
// are ones where rounding a long double sine to a double misses by one ulp;
// their sines were computed with 250-bit arithmetic.
TEST(ParameterTable, SinesOfDegreesAreCorrectlyRounded) {
  const Parameter& phi = *FindParameter(*FindModel("mohr_coulomb"), "phi");
  EXPECT_EQ(ToStored(phi, 30.0), 0.5);
  EXPECT_EQ(ToStored(phi, 90.0), 1.0);
  EXPECT_EQ(ToStored(phi, 150.0), 0.5);
  EXPECT_EQ(ToStored(phi, -30.0), -0.5);
  EXPECT_EQ(ToStored(phi, 38.0), 0.6156614753256583);
  EXPECT_EQ(ToStored(phi, 8.0), 0.13917310096006544);
  EXPECT_EQ(ToStored(phi, 23.58), 0.40002913723726474);
  const double hard[][2] = {{26.33364939693151, 0x1.c63e73f963db3p-2},
                            {1.6609322403082267, 0x1.dae28b37aad35p-6},
                            {33.74502472274961, 0x1.1c6a3ce22641dp-1},
                            {83.8682443689017, 0x1.fd121f97413bdp-1}};
  for (const auto& [degrees, sine] : hard) {
    EXPECT_EQ(SineOfDegrees(degrees), sine) << degrees;
    EXPECT_EQ(SineOfDegrees(-degrees), -sine) << degrees;
  }
  EXPECT_EQ(SineOfDegrees(180.0), 0.0);
  EXPECT_TRUE(std::isnan(SineOfDegrees(std::numeric_limits<double>::infinity())));
}

TEST(ParameterTable, TheUnconvertedNameOfASlotComesFirst) {
  EXPECT_EQ(FindParameterForSlot(*FindModel(2), 1)->name, "G");
  EXPECT_EQ(FindParameterForSlot(*FindModel(6), 1)->name, "Gurref");
  EXPECT_EQ(FindParameterForSlot(*FindModel(19), 50)->name, "gamma07");
  EXPECT_EQ(FindParameterForSlot(*FindModel(2), 3)->name, "phi");
  EXPECT_EQ(FindParameterForSlot(*FindModel(2), 117), nullptr);
  const auto shown = DisplayOfSlot(6, 3);
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->symbol, "φ");
  EXPECT_TRUE(shown->sine);
  EXPECT_FALSE(DisplayOfSlot(21, 31).has_value());
}

TEST(ParameterTable, UnitTextsFollowTheJobsForceLengthAndTime) {
  EXPECT_EQ(UnitText(Quantity::kStress, "kN", "m", "day"), "kPa");
  EXPECT_EQ(UnitText(Quantity::kStress, "MN", "m", "day"), "MPa");
  EXPECT_EQ(UnitText(Quantity::kStress, "lbf", "in", "s"), "psi");
  EXPECT_EQ(UnitText(Quantity::kStress, "kip", "yd", "s"), "kip/yd²");
  EXPECT_EQ(UnitText(Quantity::kStressPerLength, "kN", "m", "day"), "kPa/m");
  EXPECT_EQ(UnitText(Quantity::kPerTime, "kN", "m", "h"), "1/h");
  EXPECT_EQ(UnitText(Quantity::kAngle, "kN", "m", "h"), "°");
  EXPECT_EQ(UnitText(Quantity::kNone, "kN", "m", "h"), "");
}

// A slot marked as overwritten must change when the completion runs, and a
// slot read as given must keep its value.
TEST(ParameterTable, OverwrittenMarksAgreeWithTheSoftSoilCompletion) {
  MaterialSet set;
  set.modelCode = 104;
  PropSoil& p = set.prop;
  p[1] = 1234.0;          // G: replaced from kappa*
  p[2] = 0.2;
  p[3] = std::sin(0.5);
  p[20] = 0.4;
  p[31] = 0.7;            // M: replaced from K0nc
  p[35] = 100.0;
  p[37] = 0.6;
  p[38] = 0.02;
  p[39] = 0.1;
  const ModelConstants k;
  CopySoilProp(1, set, k);
  ASSERT_EQ(PerTestCompletion(4, p, k, ModelResources{}), 0);
  const Model& soft = *FindModel("soft_soil");
  EXPECT_EQ(FindParameter(soft, "G")->derivation, Derivation::kOverwritten);
  EXPECT_NE(p[1], 1234.0);
  EXPECT_EQ(FindParameter(soft, "M")->derivation, Derivation::kOverwritten);
  EXPECT_NE(p[31], 0.7);
  EXPECT_EQ(FindParameter(soft, "lambda_star")->derivation, Derivation::kNone);
  EXPECT_EQ(p[39], 0.1);
  // Modified Cam-Clay reads M as given.
  EXPECT_EQ(FindParameter(*FindModel("modified_cam_clay"), "M")->derivation, Derivation::kNone);
}

}  // namespace
}  // namespace soilcal::models::params

namespace soilcal::models::params {
namespace {

// Every mark of the models whose completion needs no library, checked by
// running it: an overwritten slot set to a marker value comes out changed,
// a slot read as given comes out as it went in, and a slot derived when not
// positive keeps a positive value but is replaced when 0.
TEST(ParameterTable, DerivationMarksAgreeWithTheCompletionOfEveryModel) {
  // A set valid for all of them (kN, m): strengths, stiffnesses, soft-soil
  // indices, Hoek-Brown constants, NGI-ADP strengths at depth 0.
  const std::pair<int, double> base[] = {
      {1, 10000.0}, {2, 0.3},  {3, 0.5},  {4, 50.0},  {5, 0.1},   {20, 0.4},   {31, 1.2},
      {32, 12.0},   {33, 30.0}, {34, 40.0}, {35, 100.0}, {36, 0.5}, {37, 0.6},  {38, 0.02},
      {39, 0.1},    {40, 0.004}, {41, 1.0}, {42, 1.0},  {45, 2.0},  {46, 0.01}, {47, 0.5},
      {48, 5.0},    {103, 1.0}};
  constexpr double kMarker = 0.777;
  const ModelConstants k;
  for (int model : {2, 4, 5, 8, 12, 15, 31, 32}) {
    const Model& m = *FindModel(model);
    for (const Parameter& p : m.parameters) {
      if (p.derivation == Derivation::kIgnoredOnceDerived) continue;
      SCOPED_TRACE(std::string(m.name) + " " + std::string(p.name));
      MaterialSet set;
      set.modelCode = 100 + model;
      for (const auto& [slot, value] : base) set.prop[slot] = value;
      const double given = p.derivation == Derivation::kOverwritten ? kMarker
                           : p.derivation == Derivation::kWhenNotPositive ? 0.0
                                                                          : set.prop[p.slot];
      set.prop[p.slot] = given;
      CopySoilProp(1, set, k);
      ASSERT_EQ(PerTestCompletion(model, set.prop, k, ModelResources{}), 0);
      if (p.derivation == Derivation::kNone) {
        EXPECT_EQ(set.prop[p.slot], given);
      } else {
        EXPECT_NE(set.prop[p.slot], given);
      }
    }
  }
}

}  // namespace
}  // namespace soilcal::models::params
