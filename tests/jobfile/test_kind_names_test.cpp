// One name per kind of test: a test written from a template is recognised
// back as the kind its template is named for, the JSON summary calls it by
// that name, and the spellings of earlier versions still read.
#include <gtest/gtest.h>

#include "input/test_kind.hpp"
#include "jobfile/templates.hpp"

namespace soilcal::testing {
namespace {

using input::TestKind;

input::LabTest TestOf(const jobfile::TemplateValues& v) {
  input::LabTest test;
  test.material.referencePressure = 100.0;
  jobfile::ApplyLoading(jobfile::Expand(v), test);
  return test;
}

TEST(TestKindNames, EveryTemplateIsRecognisedAsItsKindAndNamedByIt) {
  jobfile::TemplateValues triaxial;
  triaxial.cellPressure = 100.0;
  triaxial.axialStrain = 0.1;
  jobfile::TemplateValues oedometer;
  oedometer.initialVerticalStress = 10.0;
  oedometer.levels = {50.0, 200.0, 100.0};
  jobfile::TemplateValues shear;
  shear.initialVerticalStress = 100.0;
  shear.shearStrain = 0.05;
  jobfile::TemplateValues cyclic = shear;
  cyclic.k0 = 0.5;
  cyclic.amplitude = 20.0;
  cyclic.cycles = 2;
  jobfile::TemplateValues cyclicTriaxial = triaxial;
  cyclicTriaxial.amplitude = 30.0;
  cyclicTriaxial.cycles = 3;
  const std::pair<TestKind, jobfile::TemplateValues> cases[] = {
      {TestKind::kTriaxialCompression, triaxial},   {TestKind::kTriaxialExtension, triaxial},
      {TestKind::kOedometer, oedometer},            {TestKind::kIsotropicCompression, oedometer},
      {TestKind::kDirectSimpleShear, shear},        {TestKind::kCyclicDirectSimpleShear, cyclic},
      {TestKind::kCyclicTriaxial, cyclicTriaxial},
  };
  for (auto [kind, values] : cases) {
    const std::string name(input::TestKindName(kind));
    SCOPED_TRACE(name);
    values.kind = kind;
    const input::LabTest test = TestOf(values);
    EXPECT_EQ(input::RecogniseTestType(test).kind, kind);
    const std::optional<jobfile::TemplateValues> back = jobfile::Recognise(test);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->kind, kind);
    EXPECT_EQ(input::TestKindByName(name), kind);
    // The report reads the name with spaces.
    std::string words = name;
    for (char& c : words) c = c == '_' ? ' ' : c;
    EXPECT_EQ(input::TestTypeText(input::RecogniseTestType(test)), words);
  }
  const std::vector<std::string> names = input::TestKindNames();
  EXPECT_EQ(names.size(), 8u);
  EXPECT_EQ(names.back(), "general");
}

TEST(TestKindNames, EarlierSpellingsReadAndUnknownOnesDoNot) {
  EXPECT_EQ(input::TestKindByName("simple_shear"), TestKind::kDirectSimpleShear);
  EXPECT_EQ(input::TestKindByName("cyclic_simple_shear"), TestKind::kCyclicDirectSimpleShear);
  EXPECT_EQ(input::TestKindByName("shear"), std::nullopt);
  EXPECT_EQ(input::TestKindByName("Triaxial_Compression"), std::nullopt);
  // An earlier name is never written.
  for (const std::string& name : input::TestKindNames()) EXPECT_NE(name, "simple_shear");
}

// A test no template gives exactly (a triaxial test sheared after an
// isotropic stage) keeps its recognised kind but has no template values.
TEST(TestKindNames, ATestNoTemplateGivesIsRecognisedButNotTemplated) {
  jobfile::Loading loading;
  loading.initialStress = {-50, -50, -50, 0, 0, 0};
  input::Phase consolidation;
  consolidation.flags = {1, 1, 1, 1, 1, 1};
  consolidation.stress = {-50, -50, -50, 0, 0, 0};
  input::Phase shearing;
  shearing.flags = {1, 0, 1, 1, 1, 1};
  shearing.strain = {0, -0.1, 0, 0, 0, 0};
  loading.phases = {consolidation, shearing};
  input::LabTest test;
  test.material.referencePressure = 100.0;
  jobfile::ApplyLoading(loading, test);
  EXPECT_EQ(input::RecogniseTestType(test).kind, TestKind::kTriaxialCompression);
  EXPECT_FALSE(jobfile::Recognise(test).has_value());
}

}  // namespace
}  // namespace soilcal::testing
