// Every rejection of a rule that reads more than one parameter can be
// traced to the slots behind it: a vector that breaks the rule by one slot
// gives a reason whose slots include that one and the others it reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "optimisation/objective.hpp"
#include "optimisation/rule_slots.hpp"

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

}  // namespace
}  // namespace soilcal::optimisation
