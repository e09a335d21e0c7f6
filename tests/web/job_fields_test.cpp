// The field of a TOML job a reader's line belongs to: what the workbench
// shows a refusal beside (a parameter's row, a test's row, the model).
#include <gtest/gtest.h>

#include "web/job_fields.hpp"

namespace soilcal::testing {
namespace {

using web::FieldOfLine;

const char* const kJob =
    "# a job\n"                                   // 1
    "[model]\n"                                   // 2
    "name = \"mohr_coulomb\"\n"                   // 3
    "\n"                                          // 4
    "[parameters]\n"                              // 5
    "phi = 33  # degrees\n"                       // 6
    "\"c\" = 2\n"                                 // 7
    "[calibrate]\n"                               // 8
    "free = { G = [3000, 60000] }\n"              // 9
    "free.phi = [20, 45]\n"                       // 10
    "[calibrate.free]\n"                          // 11
    "psi = [0, 8]\n"                              // 12
    "[[tests]]\n"                                 // 13
    "name = \"CD100\"\n"                          // 14
    "[[tests]]\n"                                 // 15
    "from = \"lab/CD200.gds\"\n"                  // 16
    "[[tests.curves]]\n"                          // 17
    "y = \"volumetric_strain\"\n";                // 18

TEST(JobFields, ALineNamesItsTableKeyAndTest) {
  EXPECT_EQ(FieldOfLine(kJob, 3), (nlohmann::json{{"table", "model"}, {"key", "name"}}));
  EXPECT_EQ(FieldOfLine(kJob, 6), (nlohmann::json{{"table", "parameters"}, {"key", "phi"}}));
  EXPECT_EQ(FieldOfLine(kJob, 7)["key"], "c");  // a quoted key
  EXPECT_EQ(FieldOfLine(kJob, 12), (nlohmann::json{{"table", "calibrate.free"}, {"key", "psi"}}));
  // An inline table of one key and a dotted key name the parameter.
  EXPECT_EQ(FieldOfLine(kJob, 9), (nlohmann::json{{"table", "calibrate.free"}, {"key", "G"}}));
  EXPECT_EQ(FieldOfLine(kJob, 10), (nlohmann::json{{"table", "calibrate.free"}, {"key", "phi"}}));
  // Tests are counted from 0; a sub-table belongs to its test.
  EXPECT_EQ(FieldOfLine(kJob, 14)["test"], 0);
  EXPECT_EQ(FieldOfLine(kJob, 16), (nlohmann::json{{"table", "tests"}, {"key", "from"}, {"test", 1}}));
  EXPECT_EQ(FieldOfLine(kJob, 18)["test"], 1);
  EXPECT_EQ(FieldOfLine(kJob, 18)["table"], "tests.curves");
  // Headers, comments and lines before any table name no key.
  EXPECT_EQ(FieldOfLine(kJob, 5), (nlohmann::json{{"table", "parameters"}, {"key", ""}}));
  EXPECT_EQ(FieldOfLine(kJob, 1), (nlohmann::json{{"table", ""}, {"key", ""}}));
  EXPECT_TRUE(FieldOfLine(kJob, 0).is_null());
  EXPECT_TRUE(FieldOfLine(kJob, 19).is_null());
}

TEST(JobFields, ModelsOfAComparisonAreCounted) {
  const char* const text =
      "[[models]]\nname = \"mohr_coulomb\"\n[models.parameters]\nphi = 30\n"
      "[[models]]\nname = \"hardening_soil\"\n[models.parameters]\nm = 0.5\n";
  EXPECT_EQ(FieldOfLine(text, 2), (nlohmann::json{{"table", "models"}, {"key", "name"}, {"model", 0}}));
  EXPECT_EQ(FieldOfLine(text, 8), (nlohmann::json{{"table", "models.parameters"}, {"key", "m"}, {"model", 1}}));
}

TEST(JobFields, ARefusalCarriesTheCommandLinesSentenceItsLineAndField) {
  EXPECT_TRUE(web::JobTextRefusal("", "empty.toml").is_object());
  const std::string text = "[model]\nname = \"mohr_colomb\"\n";
  const nlohmann::json refusal = web::JobTextRefusal(text, "typo.toml");
  ASSERT_TRUE(refusal.is_object());
  EXPECT_EQ(refusal["line"], 2) << refusal.dump();
  EXPECT_NE(refusal["error"].get<std::string>().find("typo.toml line 2"), std::string::npos) << refusal.dump();
  EXPECT_EQ(refusal["field"], (nlohmann::json{{"table", "model"}, {"key", "name"}}));
  EXPECT_EQ(web::LineOf("job.toml line 14: x"), 14);
  EXPECT_EQ(web::LineOf("no line here"), 0);
}

}  // namespace
}  // namespace soilcal::testing
