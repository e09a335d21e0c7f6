// Tests by levels: load branches, the phases they expand to, and the
// placement of stage-end points on them (anchors repeated at the turns).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "jobfile/stage_branches.hpp"
#include "jobfile/templates.hpp"

namespace soilcal::jobfile {
namespace {

std::vector<StageRow> Rows(const std::vector<double>& stress, bool withControl = true) {
  std::vector<StageRow> rows;
  for (std::size_t k = 0; k < stress.size(); ++k) {
    StageRow r;
    r.x = stress[k];
    r.y = 0.01 * static_cast<double>(k + 1);
    if (withControl) r.control = stress[k];
    r.stage = static_cast<int>(k + 1);
    r.line = static_cast<int>(k + 2);
    rows.push_back(r);
  }
  return rows;
}

std::vector<double> Xs(const std::vector<StageRow>& rows) {
  std::vector<double> x;
  for (const StageRow& r : rows) x.push_back(r.x);
  return x;
}

TEST(StageBranches, LevelsGroupIntoLoadingUnloadingAndReloading) {
  const std::vector<Branch> b = BranchesOf(12.5, {25, 50, 100, 800, 200, 50, 400, 1600});
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b[0].direction, 1);
  EXPECT_EQ(b[0].firstLevel, 0u);
  EXPECT_EQ(b[0].lastLevel, 3u);
  EXPECT_EQ(b[0].start, 12.5);
  EXPECT_EQ(b[0].end, 800.0);
  EXPECT_EQ(b[1].direction, -1);
  EXPECT_EQ(b[1].start, 800.0);
  EXPECT_EQ(b[1].end, 50.0);
  EXPECT_EQ(b[2].direction, 1);
  EXPECT_EQ(b[2].lastLevel, 7u);
  // A level held (equal to the one before) is a branch of its own.
  const std::vector<Branch> held = BranchesOf(100, {200, 200, 400});
  ASSERT_EQ(held.size(), 3u);
  EXPECT_EQ(held[1].direction, 0);
  // The end goes past the last level in the branch's sense.
  EXPECT_DOUBLE_EQ(BranchTarget(b[0], 0.005), 804.0);
  EXPECT_DOUBLE_EQ(BranchTarget(b[1], 0.005), 50.0 - 0.005 * 750.0);
  EXPECT_EQ(BranchTarget(b[0], 0.0), 800.0);
}

// An incremental oedometer becomes one stress-controlled phase per branch,
// its steps and time the sums over its stages, its end past the last level.
TEST(StageBranches, AnOedometerByLevelsExpandsToOnePhasePerBranch) {
  TemplateValues v;
  v.kind = input::TestKind::kOedometer;
  v.initialVerticalStress = 12.5;
  v.initialHorizontalStress = 7.5;
  v.levels = {25, 50, 100, 200, 100, 50};
  v.steps = {10, 20, 30, 40, 5, 6};
  v.time = {1.0};
  const Loading l = Expand(v);
  ASSERT_EQ(l.phases.size(), 2u);
  EXPECT_EQ(l.initialStress[1], -12.5);
  EXPECT_EQ(l.initialStress[0], -7.5);
  EXPECT_EQ(l.phases[0].loadSteps, 100);
  EXPECT_EQ(l.phases[1].loadSteps, 11);
  EXPECT_EQ(l.phases[0].timeIncrement, 4.0);
  EXPECT_EQ(l.phases[0].flags, (std::array<int, 6>{0, 1, 0, 0, 0, 0}));
  // Tension positive: loading to 201 kPa from 12.5, then unloading to
  // 50 - 0.005 * 150.
  const double top = 200.0 * 1.005;
  EXPECT_DOUBLE_EQ(l.phases[0].stress[1], -(top - 12.5));
  EXPECT_DOUBLE_EQ(l.phases[1].stress[1], top - (50.0 - 0.75));
  for (int i : {0, 2, 3, 4, 5}) EXPECT_EQ(l.phases[0].stress[static_cast<std::size_t>(i)], 0.0);

  // Isotropic compression: all three normal stresses through the levels.
  TemplateValues iso;
  iso.kind = input::TestKind::kIsotropicCompression;
  iso.initialVerticalStress = 50;
  iso.levels = {100, 200, 150};
  iso.overshoot = 0.01;
  const Loading li = Expand(iso);
  ASSERT_EQ(li.phases.size(), 2u);
  EXPECT_EQ(li.phases[0].loadSteps, 200);
  for (int i : {0, 1, 2}) {
    EXPECT_DOUBLE_EQ(li.phases[0].stress[static_cast<std::size_t>(i)], -(202.0 - 50.0));
    EXPECT_DOUBLE_EQ(li.phases[1].stress[static_cast<std::size_t>(i)], 202.0 - 148.5);
  }
}

// A native test whose phases end on their levels, one per branch, comes
// back as the template with overshoot 0; one with two phases in the same
// sense is no template of levels (its phases would merge).
TEST(StageBranches, PhasesEndingOnTheirLevelsAreRecognisedWithoutOvershoot) {
  TemplateValues v;
  v.kind = input::TestKind::kOedometer;
  v.initialVerticalStress = 100;
  v.levels = {400, 200, 800};
  v.steps = {40, 20, 60};
  v.overshoot = 0.0;
  input::LabTest test;
  ApplyLoading(Expand(v), test);
  const std::optional<TemplateValues> back = Recognise(test);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->overshoot, 0.0);
  EXPECT_EQ(back->levels, v.levels);

  v.levels = {200, 400};
  v.steps = {10, 10};
  Loading two = Expand(v);
  ASSERT_EQ(two.phases.size(), 1u);
  // Two phases of loading, as an older job wrote them.
  Phase second = two.phases[0];
  two.phases[0].stress[1] = -100.0;
  second.stress[1] = -200.0;
  two.phases.push_back(second);
  input::LabTest old;
  ApplyLoading(two, old);
  EXPECT_FALSE(Recognise(old).has_value());
}

TEST(StageBranches, StageEndPointsAreWalkedOntoTheBranchesWithTheTurnAsAnchor) {
  const std::vector<Branch> b = BranchesOf(12.5, {25, 50, 100, 25, 200});
  ASSERT_EQ(b.size(), 3u);
  Placement p = PlaceOnBranches(b, Rows({25, 50, 100, 25, 200}));
  ASSERT_TRUE(p.problem.empty()) << p.problem;
  ASSERT_EQ(p.segments.size(), 3u);
  EXPECT_EQ(Xs(p.segments[0]), (std::vector<double>{25, 50, 100}));
  EXPECT_EQ(Xs(p.segments[1]), (std::vector<double>{100, 25}));
  EXPECT_EQ(Xs(p.segments[2]), (std::vector<double>{25, 200}));
  // The anchor is the turning row itself, its measured y included.
  EXPECT_EQ(p.segments[1][0].y, p.segments[0].back().y);

  // Each stage's start repeated (two rows per stage): the repeats go, the
  // placement is the same.
  std::vector<StageRow> doubled;
  for (const StageRow& r : Rows({25, 50, 100, 25, 200})) {
    if (!doubled.empty()) {
      StageRow start = doubled.back();
      start.stage = r.stage;
      doubled.push_back(start);
    }
    doubled.push_back(r);
  }
  p = PlaceOnBranches(b, doubled);
  EXPECT_EQ(Xs(p.segments[0]), (std::vector<double>{25, 50, 100}));
  EXPECT_EQ(Xs(p.segments[1]), (std::vector<double>{100, 25}));
  EXPECT_EQ(Xs(p.segments[2]), (std::vector<double>{25, 200}));

  // Without the controlled quantity the phase column counts the stages.
  p = PlaceOnBranches(b, Rows({25, 50, 100, 25, 200}, false));
  EXPECT_EQ(Xs(p.segments[0]), (std::vector<double>{25, 50, 100}));
  EXPECT_EQ(Xs(p.segments[1]), (std::vector<double>{100, 25}));
  EXPECT_EQ(Xs(p.segments[2]), (std::vector<double>{25, 200}));

  // A row that turns back once more than the levels do is refused by line.
  p = PlaceOnBranches(b, Rows({25, 50, 100, 25, 200, 100}));
  EXPECT_NE(p.problem.find("line 7 turns back"), std::string::npos) << p.problem;

  // A turn that does not lie at the branch's start is no anchor.
  p = PlaceOnBranches(b, Rows({25, 50, 30, 200}));
  ASSERT_TRUE(p.problem.empty());
  EXPECT_EQ(Xs(p.segments[1]), (std::vector<double>{30}));
}

}  // namespace
}  // namespace soilcal::jobfile
