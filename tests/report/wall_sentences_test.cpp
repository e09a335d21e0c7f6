// A wall is named with its rule and the parameters behind it: the fixed
// ones with the values the job gives them and the way to move them that
// moves the wall away, the calibrated ones as a trade-off. The Hardening
// Soil cap fit that holds E50ref above about 0.7 EOedRef, the K0nc rule of the
// friction angle, and a clipped interval that names the limit that cut it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "optimisation/rule_slots.hpp"
#include "report/uncertainty_text.hpp"

namespace soilcal::report {
namespace {

namespace opt = optimisation;

constexpr const char* kCapFit =
    "the cap fit of the Hardening Soil model (HS_CapItr) found no cap for E50ref, EOedRef and K0nc";
constexpr const char* kK0Rule = "K0nc outside (1 - sin phi)/(1 + sin phi)..1";

// A Hardening Soil job (kN, m) with the given free slots and bounds; the
// fixed values of the material: EOedRef 40000 kPa, φ 35°, K0nc 0.5.
input::Job HardeningSoilJob(std::vector<int> slots, std::vector<double> lower,
                            std::vector<double> upper) {
  input::Job job;
  job.modelNumber = 106;
  job.material.version = 9;
  job.material.forceUnit = "kN";
  job.material.lengthUnit = "m";
  job.material.params[1] = 60000.0;
  job.material.params[2] = 0.2;
  job.material.params[3] = std::sin(35.0 * M_PI / 180.0);
  job.material.params[38] = 40000.0;
  job.material.params[39] = 0.5;
  job.material.params[40] = 30000.0;
  job.settings.nParams = static_cast<int>(slots.size());
  job.settings.index = std::move(slots);
  job.settings.lower = std::move(lower);
  job.settings.upper = std::move(upper);
  return job;
}

// The estimate of `values` with one flag on parameter 0.
std::vector<UncertaintyFlagSummary> Described(const input::Job& job, std::vector<double> values,
                                              const opt::UncertaintyFlag& flag) {
  opt::UncertaintyResult r;
  r.computed = true;
  const std::size_t n = values.size();
  r.correlation.assign(n, std::vector<double>(n, NAN));
  for (std::size_t j = 0; j < n; ++j) {
    opt::ParameterUncertainty p;
    p.value = values[j];
    p.standardError = NAN;
    p.low95 = p.high95 = NAN;
    r.parameters.push_back(p);
  }
  r.parameters[0].flags.push_back(flag);
  Summary s;
  for (std::size_t j = 0; j < n; ++j) {
    ParameterSummary p;
    p.slot = job.settings.index[j];
    p.name = "slot" + std::to_string(p.slot);
    p.lower = job.settings.lower[j];
    p.upper = job.settings.upper[j];
    p.best = values[j];
    s.parameters.push_back(p);
  }
  DescribeUncertainty(r, job, s);
  return s.parameters[0].uncertainty->flags;
}

opt::UncertaintyFlag Wall(const char* rule, bool upper, double at, bool atWall) {
  opt::UncertaintyFlag f;
  f.kind = opt::FlagKind::kWall;
  f.text = rule;
  f.upper = upper;
  f.value = at;
  f.atWall = atWall;
  return f;
}

// The cap fit finds no cap for E50ref below about 0.7 EOedRef: the wall is
// a lower one, set by EOedRef and K0nc (given, so φ is not read), and a
// softer oedometer modulus moves it down.
TEST(WallSentences, TheCapFitWallNamesTheFixedOedometerModulusAndK0nc) {
  const input::Job job = HardeningSoilJob({40, 3}, {10000.0, 0.3}, {60000.0, 0.7});
  const auto flags =
      Described(job, {28046.0, std::sin(33.7 * M_PI / 180.0)}, Wall(kCapFit, false, 28046.0, true));
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_EQ(flags[0].kind, "wall");
  const std::string& text = flags[0].text;
  EXPECT_NE(text.find("below 28046 kPa the rule \u201c" + std::string(kCapFit) + "\u201d"),
            std::string::npos) << text;
  EXPECT_NE(text.find("set there by Eoedref fixed at 40000 kPa and K0nc fixed at 0.5;"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("φ"), std::string::npos) << text;
  EXPECT_NE(text.find("the calibrated value 28046 kPa lies at it"), std::string::npos) << text;
  EXPECT_NE(text.find("Free Eoedref or lower it rather than reading E50ref as calibrated."),
            std::string::npos) << text;

  // A native job without K0nc (below 0) searches with 1 − sin φ of its
  // start values: K0nc is not shown as "fixed at -1", nor is φ named.
  input::Job noK0 = HardeningSoilJob({40}, {10000.0}, {60000.0});
  noK0.material.params[39] = -1.0;
  const std::string derived = Described(noK0, {28046.0}, Wall(kCapFit, false, 28046.0, true))[0].text;
  EXPECT_NE(derived.find("set there by Eoedref fixed at 40000 kPa and Gurref fixed at 60000 kPa;"),
            std::string::npos) << derived;
  const std::string behind = derived.substr(derived.find("rejects every value"));
  EXPECT_EQ(behind.find("K0nc"), std::string::npos) << derived;
  EXPECT_EQ(derived.find("φ"), std::string::npos) << derived;
}

// K0nc >= (1 − sin φ)/(1 + sin φ): its lower wall falls as φ rises. With φ
// fixed the sentence names it and says raise it; with φ calibrated too,
// the two trade off along the rule.
TEST(WallSentences, TheK0ncRuleNamesTheFrictionAngleFixedOrCalibrated) {
  const double wall = (1.0 - std::sin(35.0 * M_PI / 180.0)) / (1.0 + std::sin(35.0 * M_PI / 180.0));
  const input::Job fixed = HardeningSoilJob({39}, {0.2}, {1.0});
  const std::string text = Described(fixed, {wall}, Wall(kK0Rule, false, wall, true))[0].text;
  EXPECT_NE(text.find("below 0.271 the rule"), std::string::npos) << text;
  EXPECT_NE(text.find("set there by φ fixed at 35°"), std::string::npos) << text;
  EXPECT_NE(text.find("Free φ or raise it"), std::string::npos) << text;

  const input::Job both = HardeningSoilJob({39, 3}, {0.2, 0.3}, {1.0, 0.7});
  const std::string traded =
      Described(both, {wall, std::sin(35.0 * M_PI / 180.0)}, Wall(kK0Rule, false, wall, false))[0].text;
  EXPECT_NE(traded.find("set there by the calibrated φ = 35°"), std::string::npos) << traded;
  EXPECT_NE(traded.find("Fix one of the parameters the rule trades off"), std::string::npos) << traded;
  EXPECT_EQ(traded.find("lies at it"), std::string::npos) << traded;
}

// A rule on the parameter alone (c >= 0, sin φ <= 1) has nothing behind
// it: the bound should sit at the limit.
TEST(WallSentences, ARuleOfTheParameterAloneAsksToMoveTheBound) {
  const input::Job job = HardeningSoilJob({4}, {-10.0}, {20.0});
  for (const char* rule : {"negative cohesion", "sin phi or sin psi above 1"}) {
    const std::string text = Described(job, {0.0}, Wall(rule, false, 0.0, true))[0].text;
    EXPECT_NE(text.find("alone, so it is a limit of the parameter itself"), std::string::npos) << text;
    EXPECT_NE(text.find("Move the bound of"), std::string::npos) << text;
    EXPECT_EQ(text.find("fixed at"), std::string::npos) << text;
  }
}

// Every rule names the slot it limits and the direction is symmetric in
// the pair: a rule that holds a below b holds b above a.
TEST(WallSentences, RuleSlotsGiveOppositeWaysForOppositeSides) {
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 38, true), 1);
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 38, false), -1);
  // A larger K0nc or a stiffer unloading lowers the cap fit's lower limit
  // of E50ref; φ is not read.
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 3, false), 0);
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 39, false), 1);
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 1, false), 1);
  EXPECT_EQ(opt::WideningDirection(kCapFit, 40, 2, false), 0);
  // The upper wall of EOedRef: a stiffer E50ref or a larger K0nc moves it up.
  EXPECT_EQ(opt::WideningDirection(kCapFit, 38, 40, true), 1);
  EXPECT_EQ(opt::WideningDirection(kCapFit, 38, 39, true), 1);
  EXPECT_EQ(opt::WideningDirection(kK0Rule, 39, 3, false), 1);
  EXPECT_EQ(opt::WideningDirection(kK0Rule, 3, 39, false), 1);
  EXPECT_EQ(opt::WideningDirection("E50ref outside Eur/20..Eur/2", 40, 1, true), 1);
  EXPECT_TRUE(opt::SlotsOfRule("no such rule").empty());
}

// An interval cut by the physical range names that range, not the bound.
TEST(WallSentences, AClippedIntervalNamesTheLimitThatCutIt) {
  const input::Job job = HardeningSoilJob({39}, {-0.5}, {1.5});
  opt::UncertaintyFlag f;
  f.kind = opt::FlagKind::kClipped;
  f.lowOpen = true;
  f.value = -0.2;
  f.limit = 0.0;
  f.physical = true;
  const std::string text = Described(job, {0.3}, f)[0].text;
  EXPECT_NE(text.find("reaches -0.2, beyond the lower end of its physical range 0"),
            std::string::npos) << text;
  f.physical = false;
  f.upper = true;
  f.value = 1.7;
  f.limit = 1.5;
  const std::string bound = Described(job, {0.3}, f)[0].text;
  EXPECT_NE(bound.find("reaches 1.7, beyond its upper bound 1.5"), std::string::npos) << bound;
}

}  // namespace
}  // namespace soilcal::report
