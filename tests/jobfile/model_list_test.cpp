// A TOML job of [[models]]: every entry reads as the one-model job it
// stands for (its own parameters and free parameters, the shared tests and
// search settings), and a mistake names the line of the comparison file.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "jobfile/model_list.hpp"
#include "services/errors.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

const char* kCsv = "axial_strain,deviator_stress\n0.01,100\n0.02,150\n";

const std::string kTests =
    "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\ncell_pressure = 100\n"
    "axial_strain = 0.1\n[[tests.curves]]\nfile = \"txa.csv\"\nx = \"axial_strain\"\n"
    "y = \"deviator_stress\"\n";

const std::string kMohrCoulomb =
    "[[models]]\n"                                                      // line 1
    "name = \"mohr_coulomb\"\n"                                         // 2
    "parameters = { G = 10000, nu = 0.25, phi = 30, c = 1 }\n"          // 3
    "calibrate.free = { G = [5000, 20000], phi = [25, 45] }\n";         // 4

const std::string kHardeningSoil =
    "[[models]]\n"                                                      // 5
    "name = \"hardening_soil\"\n"                                       // 6
    "label = \"hs\"\n"                                                  // 7
    "[models.parameters]\n"                                             // 8
    "E50ref = 20000\nEoedref = 20000\nGurref = 50000\nnu_ur = 0.2\nm = 0.5\npref = 100\n"
    "phi = 30\nRf = 0.9\nK0nc = 0.45\n"                                 // 9..17
    "[models.calibrate]\n"                                              // 18
    "free = { E50ref = [10000, 50000], phi = [23.5, 53], m = [0.3, 1] }\n";  // 19

TEST(ModelList, EachEntryIsTheJobOfItsModelOnTheSharedTests) {
  TempDir dir;
  dir.Write("txa.csv", kCsv);
  const std::string path = dir.Write("cmp.toml", kMohrCoulomb + kHardeningSoil + kTests);
  const std::vector<jobfile::ModelJob> models = jobfile::ReadModelList(path);
  ASSERT_EQ(models.size(), 2u);

  const jobfile::ModelJob& mc = models[0];
  EXPECT_EQ(mc.label, "mohr_coulomb");  // the folder under JOB.out/
  EXPECT_EQ(mc.title, "Mohr-Coulomb");
  EXPECT_EQ(mc.job.job.material.baseModel, 2);
  EXPECT_EQ(mc.job.job.settings.index, (std::vector<int>{1, 3}));
  // phi is stored as its sine: the bounds 25 and 45 degrees.
  EXPECT_NEAR(mc.job.job.settings.lower[1], std::sin(25.0 * std::numbers::pi / 180.0), 1e-12);
  EXPECT_NEAR(mc.job.job.settings.upper[1], std::sin(45.0 * std::numbers::pi / 180.0), 1e-12);
  EXPECT_DOUBLE_EQ(mc.job.job.material.params[1], 10000.0);

  const jobfile::ModelJob& hs = models[1];
  EXPECT_EQ(hs.label, "hs");
  EXPECT_EQ(hs.title, "hs");  // a label given names the model in the comparison
  EXPECT_EQ(hs.job.job.material.baseModel, 6);
  EXPECT_EQ(hs.job.job.settings.index, (std::vector<int>{40, 3, 34}));
  EXPECT_DOUBLE_EQ(hs.job.job.settings.upper[0], 50000.0);
  EXPECT_DOUBLE_EQ(hs.job.job.material.params[38], 20000.0);  // Eoedref, HS only
  EXPECT_DOUBLE_EQ(hs.job.job.material.params[38] * mc.job.job.material.params[38], 0.0);

  // The tests are shared: same loading and the same measured points.
  for (const jobfile::ModelJob& m : models) {
    ASSERT_EQ(m.job.job.tests.size(), 1u);
    ASSERT_EQ(m.job.job.tests[0].curves.size(), 1u);
    EXPECT_EQ(m.job.job.tests[0].curves[0].y, (std::vector<double>{100.0, 150.0}));
    // No search named: a comparison runs the thorough one.
    EXPECT_TRUE(m.job.thorough);
    EXPECT_FALSE(m.searchGiven);
  }

  // One model twice, by name and by number: the folders tell them apart.
  const std::string twice = dir.Write(
      "twice.toml", kMohrCoulomb + "[[models]]\nnumber = 2\nparameters = { G = 1, nu = 0.2 }\n" +
                        kTests);
  const std::vector<jobfile::ModelJob> both = jobfile::ReadModelList(twice);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].label, "model_2");
  EXPECT_EQ(both[0].title, "Mohr-Coulomb (mohr_coulomb)");
  EXPECT_EQ(both[1].title, "Mohr-Coulomb (model_2)");

  const std::string named = dir.Write(
      "named.toml", "[calibrate]\nsearch = \"default\"\ntolerance = 0.01\n" + kMohrCoulomb +
                        kHardeningSoil + kTests);
  for (const jobfile::ModelJob& m : jobfile::ReadModelList(named)) {
    EXPECT_FALSE(m.job.thorough);
    EXPECT_TRUE(m.searchGiven);
    EXPECT_DOUBLE_EQ(m.job.job.settings.tolerance, 0.01);
  }
}

TEST(ModelList, MistakesNameTheLineOfTheComparisonFile) {
  struct Case {
    std::string what, text;
    int code;
    std::vector<std::string> says;
  };
  const std::string twoModels = kMohrCoulomb + kHardeningSoil;
  const std::vector<Case> cases{
      {"both [model] and [[models]]", "[model]\nname = \"mohr_coulomb\"\n" + twoModels + kTests, 12,
       {"cmp.toml line 1:", "either [model]", "not both"}},
      {"parameters at the top", "[parameters]\nG = 1\n" + twoModels + kTests, 12,
       {"cmp.toml line 1:", "[models.parameters]"}},
      {"one model only", kMohrCoulomb + kTests, 12, {"two models or more"}},
      {"shared search settings in an entry",
       kMohrCoulomb + "[[models]]\nname = \"linear_elastic\"\n[models.calibrate]\nintensity = 2\n" +
           kTests,
       12, {"cmp.toml line 8:", "\"intensity\"", "give them in [calibrate]"}},
      {"an unknown parameter of the second model",
       kMohrCoulomb + "[[models]]\nname = \"linear_elastic\"\nparameters = { phi = 30 }\n" + kTests,
       13, {"cmp.toml line 7:", "unknown parameter \"phi\" of the linear elastic model"}},
      {"bounds of the second model reversed",
       kMohrCoulomb + "[[models]]\nname = \"linear_elastic\"\nparameters = { G = 1, nu = 0.2 }\n"
                      "calibrate.free = { G = [9, 3] }\n" + kTests,
       14, {"cmp.toml line 8:", "reversed"}},
      {"two entries of one folder", kMohrCoulomb + kMohrCoulomb + kTests, 12,
       {"cmp.toml line 5:", "models 1 and 2", "\"mohr_coulomb\"", "label"}},
      {"a label that is no folder name",
       kMohrCoulomb + "[[models]]\nname = \"linear_elastic\"\nlabel = \"a/b\"\n" + kTests, 12,
       {"cmp.toml line 7:", "\"a/b\" cannot name the model's folder"}},
  };
  TempDir dir;
  dir.Write("txa.csv", kCsv);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.Write("cmp.toml", c.text);
    try {
      jobfile::ReadModelList(path);
      ADD_FAILURE() << "no error";
    } catch (const services::RunError& e) {
      EXPECT_EQ(e.code, c.code);
      for (const std::string& part : c.says) EXPECT_NE(e.detail.find(part), std::string::npos) << e.detail;
    }
  }
}

}  // namespace
}  // namespace soilcal::testing
