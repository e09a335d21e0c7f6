// One name per kind of test: the kind the lab recognises in a test's phases
// is named in the JSON summary as the TOML job names the template that makes
// such a test, and a summary of an earlier version still reads back.
#include <gtest/gtest.h>

#include "jobfile/templates.hpp"
#include "labtest/test_type.hpp"

namespace soilcal::testing {
namespace {

using labtest::TestKind;

TEST(TestKindNames, EveryKindATemplateMakesIsNamedAsTheTemplate) {
  const std::pair<TestKind, jobfile::TestTemplate> pairs[] = {
      {TestKind::kTriaxialCompression, jobfile::TestTemplate::kTriaxialCompression},
      {TestKind::kTriaxialExtension, jobfile::TestTemplate::kTriaxialExtension},
      {TestKind::kOedometer, jobfile::TestTemplate::kOedometer},
      {TestKind::kIsotropicCompression, jobfile::TestTemplate::kIsotropicCompression},
      {TestKind::kSimpleShear, jobfile::TestTemplate::kDirectSimpleShear},
      {TestKind::kGeneral, jobfile::TestTemplate::kGeneral},
  };
  for (const auto& [kind, templ] : pairs) {
    const std::string_view key = labtest::TestKindKey(kind);
    SCOPED_TRACE(std::string(key));
    EXPECT_EQ(key, jobfile::TemplateName(templ));
    EXPECT_EQ(jobfile::TemplateByName(key), templ);
    EXPECT_EQ(labtest::TestKindFromKey(key), kind);
  }
  // Cyclic tests: one kind, told apart by their shear component in the
  // summary, as the two cyclic templates are.
  EXPECT_EQ(labtest::TestKindKey(TestKind::kCyclic), "cyclic");
  EXPECT_EQ(labtest::TestKindFromKey("simple_shear"), TestKind::kSimpleShear);
  EXPECT_EQ(labtest::TestKindFromKey("shear"), std::nullopt);
}

}  // namespace
}  // namespace soilcal::testing
