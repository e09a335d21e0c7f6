// Every slot that a model's admissibility rule reads has a name in the
// parameter table (or is listed here as unused by the model), so that a
// TOML job can give it by name: found by changing each slot alone and
// watching the verdict change.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "models/parameter_table.hpp"
#include "optimisation/objective.hpp"

namespace soilcal::optimisation {
namespace {

namespace params = models::params;

// Two materials that meet every rule: Hardening-Soil-like stiffnesses
// (Gref 10000, nu 0.2: E50ref in [1200, 12000], Eoedref within E50ref/3..2
// E50ref) and soft-soil-like indices (kappa* <= lambda*, K0nc 0.6 above
// (1 - sin phi)/(1 + sin phi) = 1/3).
models::PropSoil Base(bool softSoil) {
  models::PropSoil p;
  const std::pair<int, double> slots[] = {{1, 10000.0}, {2, 0.2},  {3, 0.5},     {4, 1.0},
                                          {5, 0.1},     {20, 0.4}, {31, 1.0},    {32, 0.3},
                                          {33, 0.5},    {34, 0.5}, {37, 0.6},    {38, 6000.0},
                                          {39, 0.5},    {40, 6000.0}, {49, 30000.0}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  if (softSoil) {
    p[38] = 0.01;
    p[39] = 0.05;
    p[40] = 0.001;
  }
  return p;
}

bool Admissible(int model, const models::PropSoil& p) {
  input::Job job;
  job.modelNumber = model;
  return IsAdmissibleParameterSet(job, p, {});
}

// The slots whose value alone changes the verdict on `base`.
std::set<int> SlotsRead(int model, const models::PropSoil& base) {
  std::set<int> read;
  const bool verdict = Admissible(model, base);
  for (int slot = 1; slot <= 255; ++slot) {
    for (double v : {-1e6, -0.5, 0.0, 0.25, 0.75, 1.5, 1e6}) {
      models::PropSoil p = base;
      p[slot] = v;
      if (Admissible(model, p) != verdict) {
        read.insert(slot);
        break;
      }
    }
  }
  return read;
}

TEST(NamedSlots, EverySlotAnAdmissibilityRuleReadsHasAName) {
  // Slots a rule reads that the model itself never uses, documented here:
  // modified Cam-Clay has no cohesion or dilatancy, yet the rule asks
  // c >= 0 and sin psi <= sin phi of slots 4 and 5, which their 0 meets;
  // UBC3D keeps its Poisson's ratio elsewhere, yet the general rule asks
  // 0 <= nu <= 0.49999 of slot 2, which its 0 meets.
  const std::map<int, std::set<int>> unused{{5, {4, 5}}, {34, {2}}};
  int modelsProbed = 0;
  for (const params::Model& model : params::Models()) {
    SCOPED_TRACE(std::string(model.name));
    models::PropSoil base = Base(false);
    if (!Admissible(model.number, base)) base = Base(true);
    if (!Admissible(model.number, base)) {
      ADD_FAILURE() << "no admissible base material for model " << model.number;
      continue;
    }
    ++modelsProbed;
    for (int slot : SlotsRead(model.number, base)) {
      const auto listed = unused.find(model.number);
      if (listed != unused.end() && listed->second.count(slot) != 0) continue;
      EXPECT_NE(params::FindParameterForSlot(model, slot), nullptr)
          << "slot " << slot << " is read by the admissibility rule of model " << model.number
          << " but has no name";
    }
  }
  EXPECT_GE(modelsProbed, 8);
}

// The probe finds what the rules are known to read: the friction angle
// (slot 3) of modified Cam-Clay, lambda* and kappa* (38, 39) of soft soil,
// E50ref and Eoedref (40, 38) of Hardening Soil; and not a slot no rule
// reads (the tension cut-off, slot 16).
TEST(NamedSlots, TheProbeFindsTheSlotsTheRulesAreKnownToRead) {
  const std::set<int> camClay = SlotsRead(5, Base(true));
  EXPECT_TRUE(camClay.count(3));
  EXPECT_TRUE(camClay.count(38) && camClay.count(39));
  const std::set<int> hs = SlotsRead(6, Base(false));
  EXPECT_TRUE(hs.count(40) && hs.count(38) && hs.count(39) && hs.count(1) && hs.count(2));
  EXPECT_FALSE(hs.count(16));
  EXPECT_FALSE(camClay.count(16));
}

// The slots the Hardening Soil stress routine reads for its dilatancy
// cut-off (porosity range 21, 22) and the one the soft-soil rules read for
// the friction angle are named, with the values a TOML job gives when they
// are left out.
TEST(NamedSlots, CutOffAndFrictionSlotsAreNamedWithTheirJobDefaults) {
  for (int model : {6, 19}) {
    const params::Model* m = params::FindModel(model);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(params::FindParameterForSlot(*m, 21)->name, "n_min");
    EXPECT_EQ(params::FindParameterForSlot(*m, 22)->name, "n_max");
    EXPECT_NE(params::FindParameter(*m, "e_max"), nullptr);
    EXPECT_EQ(params::JobDefaultOf(model, 22), params::JobDefault::kOne);
  }
  EXPECT_EQ(params::FindParameterForSlot(*params::FindModel(5), 3)->name, "phi");
  EXPECT_EQ(params::JobDefaultOf(5, 3), params::JobDefault::kSineFromM);
  EXPECT_EQ(params::JobDefaultOf(4, 3), params::JobDefault::kSineFromK0nc);
  EXPECT_EQ(params::JobDefaultOf(2, 3), params::JobDefault::kNone);
}

}  // namespace
}  // namespace soilcal::optimisation
