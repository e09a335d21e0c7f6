// Every rejection of a rule that reads more than one parameter can be
// traced to the slots behind it: a vector that breaks the rule by one slot
// gives a reason whose slots include that one and the others it reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "models/setup.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/rule_slots.hpp"
#include "services/library.hpp"
#include "support/files.hpp"

namespace soilcal::optimisation {
namespace {

// A material that meets every rule (see admissibility_test.cpp): Gref
// 10000, nu 0.2 (Eur = 24000), sin phi 0.5, E50ref = EOedRef = 6000.
models::PropSoil Admissible(int model) {
  models::PropSoil p;
  const std::pair<int, double> slots[] = {{1, 10000.0}, {2, 0.2},  {3, 0.5},    {4, 1.0},
                                          {20, 0.5},    {31, 0.5}, {32, 0.3},   {34, 0.5},
                                          {37, 0.5},    {38, 6000.0}, {39, 0.5}, {40, 6000.0},
                                          {49, 30000.0}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  if (model == 4 || model == 5 || model == 8) {
    p[38] = 0.01;  // kappa*
    p[39] = 0.05;  // lambda*
  }
  return p;
}

struct Broken {
  int model;
  int slot;
  double value;
  std::vector<int> read;  // slots the rule must name besides `slot`
};

TEST(RuleSlots, EveryRuleOfSeveralParametersNamesTheSlotsItReads) {
  const std::vector<Broken> cases{
      {2, 5, 0.6, {3}},             // psi above phi
      {4, 38, 0.06, {39}},          // kappa* above lambda*
      {4, 37, 0.3, {3}},            // K0nc below (1 - sin phi)/(1 + sin phi) = 1/3
      {6, 40, 13000.0, {1, 2}},     // E50ref above Eur/2 = 12000
      {6, 39, 0.3, {3}},            // K0nc below 1/3
      {6, 38, 13000.0, {40}},       // EOedRef above 2 E50ref
      {19, 49, 9000.0, {1}},        // G0ref below Gref
      {10, 33, 0.6, {31}},          // slot 33 above slot 31
  };
  for (const Broken& c : cases) {
    SCOPED_TRACE("model " + std::to_string(c.model) + " slot " + std::to_string(c.slot));
    input::Job job;
    job.modelNumber = c.model;
    job.settings = {1, 1, 0.0, {c.slot}, {-1e6}, {1e6}};
    const std::vector<double> x{c.value};
    const char* reason = InadmissibleReason(job, Admissible(c.model), x);
    ASSERT_NE(reason, nullptr);
    std::vector<int> slots;
    for (const RuleSlot& s : SlotsOfRule(reason)) slots.push_back(s.slot);
    EXPECT_NE(std::find(slots.begin(), slots.end(), c.slot), slots.end()) << reason;
    for (int other : c.read) {
      EXPECT_NE(std::find(slots.begin(), slots.end(), other), slots.end()) << reason;
    }
  }
}

// Moving a slot the rule reads the way WideningDirection names lifts the
// rule; moving it the other way does not. This holds for every pair of a
// rule of three slots (E50ref <= Gref (1 + nu)), which one sign per pair
// cannot describe.
bool StillBroken(const Broken& c, const models::PropSoil& prop, const char* rule) {
  input::Job job;
  job.modelNumber = c.model;
  job.settings = {1, 1, 0.0, {c.slot}, {-1e6}, {1e6}};
  const std::vector<double> x{c.value};
  const char* reason = InadmissibleReason(job, prop, x);
  return reason != nullptr && std::string(reason) == rule;
}

TEST(RuleSlots, MovingAParameterTheNamedWayLiftsTheRule) {
  const std::vector<Broken> cases{
      {2, 5, 0.6, {3}},      {4, 38, 0.06, {39}},    {4, 37, 0.3, {3}},
      {6, 40, 13000.0, {1, 2}}, {6, 40, 1000.0, {1}}, {6, 39, 0.3, {3}},
      {6, 38, 13000.0, {40}}, {19, 49, 9000.0, {1}},  {10, 33, 0.6, {31}},
  };
  for (const Broken& c : cases) {
    const models::PropSoil base = Admissible(c.model);
    const bool upper = c.value > base[c.slot];
    input::Job job;
    job.modelNumber = c.model;
    job.settings = {1, 1, 0.0, {c.slot}, {-1e6}, {1e6}};
    const std::vector<double> x{c.value};
    const char* rule = InadmissibleReason(job, base, x);
    ASSERT_NE(rule, nullptr);
    for (int other : c.read) {
      SCOPED_TRACE(std::string(rule) + ": slot " + std::to_string(c.slot) + " against slot " +
                   std::to_string(other));
      const int way = WideningDirection(rule, c.slot, other, upper);
      ASSERT_NE(way, 0);
      models::PropSoil toward = base, away = base;
      toward[other] *= way > 0 ? 1.6 : 0.5;
      away[other] *= way > 0 ? 0.5 : 1.6;
      EXPECT_FALSE(StillBroken(c, toward, rule));
      EXPECT_TRUE(StillBroken(c, away, rule));
    }
  }
}

// The cap fit of the Hardening Soil model, through the cap library: with
// Gurref 50000 kPa, nu 0.2, m 0.5, K0nc 0.45 and EOedRef 40000 kPa it finds
// no cap for E50ref below about 28046 kPa. Each slot the rule reads, moved
// the way the wall sentence names, lets E50ref = 27000 kPa through; moved
// the other way, not.
TEST(RuleSlots, TheCapFitsWallMovesTheWayItsSlotsSay) {
  services::SharedLibrary lib;
  models::ModelResources res;
  ASSERT_TRUE(lib.LoadPath(testing::BuildPath("libzarirude.so")));
  res.capItr = reinterpret_cast<models::HsCapItrFn>(lib.Symbol("HS_CapItr"));
  ASSERT_NE(res.capItr, nullptr);
  models::PropSoil base{};
  const std::pair<int, double> slots[] = {{1, 50000.0}, {2, 0.2},     {3, 0.5},  {34, 0.5},
                                          {35, 100.0},  {37, 0.9},    {38, 40000.0},
                                          {39, 0.45},   {40, 27000.0}};
  for (const auto& [slot, value] : slots) base[slot] = value;
  const auto status = [&](models::PropSoil p) {
    return models::PerTestCompletion(6, p, models::ModelConstants{}, res);
  };
  const auto passes = [&](models::PropSoil p, double e50) {
    p[40] = e50;
    return status(p) == 0;
  };
  ASSERT_NE(status(base), 0);
  // The wall lies between 27000 and 29000 kPa.
  EXPECT_TRUE(passes(base, 29000.0));
  const std::string rule =
      "the cap fit of the Hardening Soil model (HS_CapItr) found no cap for E50ref, EOedRef and K0nc";
  EXPECT_EQ(WideningDirection(rule, 40, 38, false), -1);

  for (const RuleSlot& s : SlotsOfRule(rule)) {
    if (s.slot == 40) continue;
    SCOPED_TRACE("slot " + std::to_string(s.slot));
    models::PropSoil raised = base, lowered = base;
    raised[s.slot] *= 1.6;
    lowered[s.slot] *= 0.5;
    const int way = WideningDirection(rule, 40, s.slot, false);
    if (way == 0) continue;
    EXPECT_EQ(status(way > 0 ? raised : lowered), 0);
    EXPECT_NE(status(way > 0 ? lowered : raised), 0);
  }
  // With K0nc given the fit does not read φ, and no sentence names it.
  for (double sinPhi : {0.25, 0.8}) {
    models::PropSoil p = base;
    p[3] = sinPhi;
    EXPECT_NE(status(p), 0);
  }
  for (const RuleSlot& s : SlotsOfRule(rule)) EXPECT_NE(s.slot, 3);
  // A K0nc below 0 (derived) is not read as a value of its own.
  models::PropSoil derived = base;
  derived[39] = -1.0;
  for (const RuleSlot& s : SlotsOfRule(rule)) {
    EXPECT_EQ(RuleReads(s, derived.slot), s.slot != 39);
  }
}

}  // namespace
}  // namespace soilcal::optimisation
