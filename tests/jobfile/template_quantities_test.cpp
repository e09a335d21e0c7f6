// Every test template with every pair of the common quantities: the native
// job written from the TOML job is read back by the program's own readers
// and run, and each curve must come out in the orientation the TOML file
// means (no exchange of columns), with its values scaled as given, and its
// quantity codes giving the closed-form value of a linear elastic soil at
// the end of the test (compression positive).
//
// Linear elastic: G = 10000 kPa, nu = 0.25, so E = 25000, K = 16666.67 and
// the constrained modulus M = K + 4G/3 = 30000 kPa.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "input/curve_quantity.hpp"
#include "input/cyclic_tests.hpp"
#include "jobfile/commands.hpp"
#include "jobfile/quantity_names.hpp"
#include "jobfile/templates.hpp"
#include "jobfile_support.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

const std::vector<std::string> kCommon = {
    "axial_strain",  "volumetric_strain", "deviator_stress", "mean_effective_stress",
    "axial_stress",  "radial_stress",     "vertical_stress", "excess_pore_pressure",
    "excess_pore_pressure_ratio",         "shear_strain",    "shear_stress",
    "cycles",        "time",              "vertical_strain"};

// The closed-form value of a quantity at the checked point; the vertical
// strain is the axial strain under another name.
double Expected(const std::map<std::string, double>& end, const std::string& name) {
  return end.at(name == "vertical_strain" ? "axial_strain" : name);
}

struct Template {
  std::string name;
  std::string keys;            // the template's keys in [[tests]]
  int phases = 1;
  std::map<std::string, double> end;  // closed-form values at the point checked
  int point = 0;               // recorded point checked (0: the last)
};

const double q = 250.0;  // E * 0.01
const Template kTemplates[] = {
    {"triaxial_compression", "type = \"triaxial_compression\"\ncell_pressure = 100\naxial_strain = 0.01\n", 1,
     {{"axial_strain", 0.01}, {"volumetric_strain", 0.005}, {"deviator_stress", q},
      {"mean_effective_stress", 100 + q / 3}, {"axial_stress", 100 + q}, {"radial_stress", 100},
      {"vertical_stress", 100 + q}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0},
      {"shear_stress", 0}, {"time", 1}}},
    {"triaxial_extension", "type = \"triaxial_extension\"\ncell_pressure = 100\naxial_strain = 0.01\n", 1,
     {{"axial_strain", -0.01}, {"volumetric_strain", -0.005}, {"deviator_stress", -q},
      {"mean_effective_stress", 100 - q / 3}, {"axial_stress", 100 - q}, {"radial_stress", 100},
      {"vertical_stress", 100 - q}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0},
      {"shear_stress", 0}, {"time", 1}}},
    // Load to 200, unload to 150 (the phases end on their levels):
    // dsv = 50 over M, dsh = nu/(1 - nu) dsv.
    {"oedometer", "type = \"oedometer\"\ninitial_vertical_stress = 100\nvertical_stress = [200, 150]\ntime = 0.5\novershoot = 0\n", 2,
     {{"axial_strain", 50.0 / 30000}, {"volumetric_strain", 50.0 / 30000},
      {"deviator_stress", 50 - 50.0 / 3}, {"mean_effective_stress", (150 + 2 * (100 + 50.0 / 3)) / 3},
      {"axial_stress", 150}, {"radial_stress", 100 + 50.0 / 3}, {"vertical_stress", 150},
      {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0}, {"shear_stress", 0}, {"time", 1}}},
    {"oedometer", "type = \"oedometer\"\ninitial_vertical_stress = 100\nvertical_strain = [0.01]\n", 1,
     {{"axial_strain", 0.01}, {"volumetric_strain", 0.01}, {"deviator_stress", 200},
      {"mean_effective_stress", 800.0 / 3}, {"axial_stress", 400}, {"radial_stress", 200},
      {"vertical_stress", 400}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0},
      {"shear_stress", 0}, {"time", 1}}},
    {"isotropic_compression", "type = \"isotropic_compression\"\ninitial_pressure = 100\npressure = [200]\novershoot = 0\n", 1,
     {{"axial_strain", 0.002}, {"volumetric_strain", 0.006}, {"deviator_stress", 0},
      {"mean_effective_stress", 200}, {"axial_stress", 200}, {"radial_stress", 200},
      {"vertical_stress", 200}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0},
      {"shear_stress", 0}, {"time", 1}}},
    {"direct_simple_shear", "type = \"direct_simple_shear\"\nvertical_stress = 100\nshear_strain = 0.01\n", 1,
     {{"axial_strain", 0}, {"volumetric_strain", 0}, {"deviator_stress", 0},
      {"mean_effective_stress", 100}, {"axial_stress", 100}, {"radial_stress", 100},
      {"vertical_stress", 100}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0.01},
      {"shear_stress", 100}, {"time", 1}}},
    // Undrained cyclic simple shear from sigma'v 100, K0 0.5, two cycles of
    // 4 steps per half cycle: the end of the first quarter cycle (point
    // 1 + 2) has tau = 20 and gamma = tau/G; pure shear of an elastic soil
    // makes no pore pressure.
    {"cyclic_direct_simple_shear",
     "type = \"cyclic_direct_simple_shear\"\nvertical_stress = 100\nk0 = 0.5\n"
     "shear_stress_amplitude = 20\ncycles = 2\nsteps = 4\n", 5,
     {{"axial_strain", 0}, {"volumetric_strain", 0}, {"deviator_stress", 50},
      {"mean_effective_stress", 200.0 / 3}, {"axial_stress", 100}, {"radial_stress", 50},
      {"vertical_stress", 100}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0.002}, {"shear_stress", 20}, {"cycles", 0.25}, {"time", 0.25}}, 3},
    // Drained cyclic triaxial from 100 kPa, deviator amplitude 30: at the end
    // of the first quarter eps_a = 30/E and eps_v = (1 - 2 nu) eps_a.
    {"cyclic_triaxial",
     "type = \"cyclic_triaxial\"\ndrainage = \"drained\"\ncell_pressure = 100\n"
     "deviator_amplitude = 30\ncycles = 1\nsteps = 4\n", 3,
     {{"axial_strain", 0.0012}, {"volumetric_strain", 0.0006}, {"deviator_stress", 30},
      {"mean_effective_stress", 110}, {"axial_stress", 130}, {"radial_stress", 100},
      {"vertical_stress", 130}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0}, {"shear_stress", 0}, {"cycles", 0.25}, {"time", 0.25}}, 3},
    // Triaxial compression given as explicit phases.
    {"general",
     "type = \"general\"\ninitial_stress = [100, 100, 100, 0, 0, 0]\n"
     "[[tests.phases]]\nsteps = 10\ntime = 1\nstrain = { yy = 0.01 }\n"
     "stress = { xx = 0, zz = 0, xy = 0, yz = 0, zx = 0 }\n", 1,
     {{"axial_strain", 0.01}, {"volumetric_strain", 0.005}, {"deviator_stress", q},
      {"mean_effective_stress", 100 + q / 3}, {"axial_stress", 100 + q}, {"radial_stress", 100},
      {"vertical_stress", 100 + q}, {"excess_pore_pressure", 0}, {"excess_pore_pressure_ratio", 0},
      {"shear_strain", 0},
      {"shear_stress", 0}, {"time", 1}}},
};

// One column per quantity (value 0.001 * column * row), and a phase column.
std::string Csv(int phases) {
  std::string text = "phase";
  for (const std::string& name : kCommon) text += "," + name;
  text += "\n";
  for (int row = 1; row <= 4; ++row) {
    text += std::to_string(1 + (row - 1) * phases / 4);
    for (std::size_t c = 0; c < kCommon.size(); ++c) {
      text += "," + std::to_string(0.001 * static_cast<double>(c + 1) * row);
    }
    text += "\n";
  }
  return text;
}

std::string Header() {
  return "[model]\nname = \"linear_elastic\"\n[parameters]\nG = 10000\nnu = 0.25\n";
}

std::string CurveToml(const std::string& x, const std::string& y) {
  return "[[tests.curves]]\nfile = \"data.csv\"\nx = \"" + x + "\"\ny = \"" + y + "\"\n";
}

TEST(TemplateQuantities, EveryPairIsReadUnexchangedAndGivesTheClosedFormValues) {
  for (const Template& t : kTemplates) {
    SCOPED_TRACE(t.name + " " + t.keys.substr(0, 60));
    TempDir dir;
    dir.Write("data.csv", Csv(t.phases));
    std::string toml = Header() + "[[tests]]\nname = \"T\"\n" + t.keys;
    std::vector<std::pair<std::string, std::string>> pairs;
    // The test without curves gives what the choice of codes depends on.
    const jobfile::NativeJob probe =
        jobfile::ReadTomlText(toml, (dir.path() / "probe.toml").string());
    const input::LabTest& described = probe.job.tests[0];
    const jobfile::TestFacts facts = jobfile::FactsOf(
        *input::TestKindByName(t.name), jobfile::LoadingOf(described));
    for (const std::string& x : kCommon) {
      for (const std::string& y : kCommon) {
        if (x == y) continue;
        const auto* qx = jobfile::FindQuantity(x);
        const auto* qy = jobfile::FindQuantity(y);
        // Only the cyclic templates count cycles; the others have no such
        // quantity (every test here starts under a vertical stress).
        const bool cyclic = t.name.rfind("cyclic", 0) == 0;
        if ((x == "cycles" || y == "cycles") && !cyclic) {
          EXPECT_TRUE(jobfile::Candidates(*jobfile::FindQuantity("cycles"), facts).empty());
          continue;
        }
        if (!jobfile::ChooseCodes(*qx, *qy, facts)) {
          // A refusal is only for a y the test prescribes while x is not:
          // the reader would have exchanged the columns.
          EXPECT_TRUE(input::IsPrescribed(qy->code, described.controlFlags, described.testType) &&
                      !input::IsPrescribed(qx->code, described.controlFlags, described.testType))
              << x << " against " << y;
          continue;
        }
        pairs.emplace_back(x, y);
        toml += CurveToml(x, y);
      }
    }
    dir.Write("job.toml", toml);
    const input::Job job = ReadNativeJob(jobfile::WriteNativeFromToml(
        (dir.path() / "job.toml").string(), (dir.path() / "out").string()));
    ASSERT_EQ(job.tests.size(), 1u);
    const input::LabTest& test = job.tests[0];
    ASSERT_EQ(test.curves.size(), pairs.size());
    ASSERT_TRUE(job.language.has_value());

    auto ctx = std::make_unique<labtest::SimulationContext>();
    labtest::InitContext(*ctx, job, {});
    labtest::PrepareLabTest(*ctx, test);
    const labtest::LabTestRun run = labtest::RunLabTest(*ctx);
    ASSERT_EQ(run.status, 0);
    const input::RecordedPoint end = ctx->rec.Point(t.point > 0 ? t.point : run.nRecorded);

    for (std::size_t c = 0; c < pairs.size(); ++c) {
      const auto& [x, y] = pairs[c];
      SCOPED_TRACE(x + " against " + y);
      const input::Curve& curve = test.curves[c];
      const input::CurveLanguage& language = job.language->curves[0][c];
      EXPECT_FALSE(curve.swapped);
      EXPECT_EQ(language.x.name, x);
      EXPECT_EQ(language.y.name, y);
      // The engine's abscissa is the CSV's x column (value 0.001 * column
      // number * row), scaled by the axis factor.
      const auto column = [](const std::string& name) {
        return static_cast<double>(std::find(kCommon.begin(), kCommon.end(), name) - kCommon.begin() + 1);
      };
      ASSERT_GE(curve.nPoints, 1);
      EXPECT_DOUBLE_EQ(language.x.factor * curve.x[0] / language.x.per, 0.001 * column(x));
      EXPECT_DOUBLE_EQ(language.y.factor * curve.y[0] / language.y.per, 0.001 * column(y));
      // Codes and signs: the closed-form value of each quantity. The steps
      // of an elastic soil are exact to round-off.
      const double vx =
          language.x.factor * input::CurveQuantity(end, curve.xCode) / language.x.per;
      const double vy =
          language.y.factor * input::CurveQuantity(end, curve.yCode) / language.y.per;
      EXPECT_NEAR(vx, Expected(t.end, x), 1e-9 * (1 + std::abs(Expected(t.end, x)))) << x;
      EXPECT_NEAR(vy, Expected(t.end, y), 1e-9 * (1 + std::abs(Expected(t.end, y)))) << y;
    }
  }
}

// The code behind a quantity in the tests where the plain one would be read
// as the abscissa, worked out by hand.
TEST(TemplateQuantities, PrescribedQuantitiesTakeAnEqualCodeOrAreRefused) {
  struct Case {
    const char* keys;
    const char* x;
    const char* y;
    int yCode;  // 0: refused
  };
  const Case cases[] = {
      // sigma_yy (code 20) counts as prescribed in a triaxial test; the axial
      // stress is the major principal stress sigma_1 (code 2) in compression
      // and the minor one sigma_3 (code 4) in extension.
      {"type = \"triaxial_compression\"\ncell_pressure = 100\naxial_strain = 0.01\n",
       "axial_strain", "axial_stress", -2},
      {"type = \"triaxial_extension\"\ncell_pressure = 100\naxial_strain = 0.01\n",
       "axial_strain", "axial_stress", -4},
      {"type = \"triaxial_compression\"\ncell_pressure = 100\naxial_strain = 0.01\n",
       "axial_strain", "radial_stress", -4},
      // The volumetric strain (code 6) counts as prescribed in a
      // load-controlled oedometer; with the lateral strains held at zero it
      // is the axial strain eps_yy (code 14).
      {"type = \"oedometer\"\ninitial_vertical_stress = 100\nvertical_stress = [200]\n",
       "axial_strain", "volumetric_strain", -14},
      // All stresses are prescribed in isotropic compression: no equal code.
      {"type = \"isotropic_compression\"\ninitial_pressure = 100\npressure = [200]\n",
       "axial_strain", "axial_stress", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.keys) + c.x + " " + c.y);
    TempDir dir;
    dir.Write("data.csv", Csv(1));
    dir.Write("job.toml", Header() + "[[tests]]\nname = \"T\"\n" + c.keys + CurveToml(c.x, c.y));
    const std::string path = (dir.path() / "job.toml").string();
    if (c.yCode == 0) {
      const auto error = JobFileError(path);
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->code, 11);
      EXPECT_NE(error->detail.find("give x = \"" + std::string(c.y) + "\" and y = \"" + c.x),
                std::string::npos)
          << error->detail;
      continue;
    }
    const input::Job job =
        ReadNativeJob(jobfile::WriteNativeFromToml(path, (dir.path() / "out").string()));
    const input::Curve& curve = job.tests[0].curves[0];
    EXPECT_FALSE(curve.swapped);
    EXPECT_EQ(curve.xCode, -14);
    EXPECT_EQ(curve.yCode, c.yCode);
  }
}

// The cyclic templates are the cyclic builders' tests: the ratio and the
// amplitude give the same loading (tau/sigma'v0 in simple shear,
// q/(2 sigma'3c) in a triaxial test), the clock counts cycles (four cycles end
// at time 4), and the test is undrained unless the test or [model] says
// otherwise.
TEST(TemplateQuantities, CyclicTemplatesAreTheBuildersTestsUndrainedByDefault) {
  const std::string dss = "[[tests]]\nname = \"C\"\ntype = \"cyclic_direct_simple_shear\"\n"
                          "vertical_stress = 80\nk0 = 0.5\ncycles = 4\nsteps = 10\n";
  const auto read = [](const std::string& toml) {
    return jobfile::ReadTomlText(toml, "/tmp/cyclic.toml").job.tests.at(0);
  };
  const input::LabTest byRatio = read(Header() + dss + "cyclic_stress_ratio = 0.25\n");
  const input::LabTest byAmplitude = read(Header() + dss + "shear_stress_amplitude = 20\n");
  input::LabTest built;
  input::ApplyDescription(input::CyclicDirectSimpleShear(80, 0.5, 20, 4, 10), 1, built);
  for (const input::LabTest* t : {&byRatio, &byAmplitude}) {
    EXPECT_EQ(t->initialStress, (std::array<double, 6>{-40, -80, -40, 0, 0, 0}));
    EXPECT_EQ(t->prescribedStress, built.prescribedStress);
    EXPECT_EQ(t->phaseFlags, built.phaseFlags);
    EXPECT_EQ(t->loadSteps, built.loadSteps);
    EXPECT_EQ(t->testType, 1);
    EXPECT_EQ(t->modelNumber, 201);  // linear elastic, undrained set
  }
  ASSERT_EQ(byRatio.nPhases, 9);
  EXPECT_EQ(byRatio.loadSteps.front(), 5);  // a quarter cycle: half the steps
  EXPECT_EQ(byRatio.prescribedStress[0][3], 20.0);
  EXPECT_EQ(byRatio.prescribedStress[1][3], -40.0);
  double cycles = 0.0;
  for (double dt : byRatio.timeIncrement) cycles += dt;
  EXPECT_EQ(cycles, 4.0);
  // Written back as the template only where the reader takes its values
  // again: not a test that shears in the negative sense first.
  const auto recognised = jobfile::Recognise(byRatio);
  ASSERT_TRUE(recognised.has_value());
  EXPECT_EQ(recognised->kind, input::TestKind::kCyclicDirectSimpleShear);
  EXPECT_EQ(recognised->cyclicStressRatio, 0.25);
  input::LabTest reversed;
  input::ApplyDescription(input::CyclicDirectSimpleShear(80, 0.5, -20, 4, 10), 1, reversed);
  reversed.testType = 1;
  EXPECT_FALSE(jobfile::Recognise(reversed).has_value());

  const std::string triaxial = "[[tests]]\nname = \"T\"\ntype = \"cyclic_triaxial\"\n"
                               "cell_pressure = 100\ndeviator_amplitude = 30\ncycles = 2\n";
  const input::LabTest tx = read(Header() + triaxial);
  EXPECT_EQ(tx.modelNumber, 201);
  EXPECT_EQ(tx.nPhases, 5);
  EXPECT_EQ(tx.loadSteps[1], jobfile::kCyclicStepsPerHalfCycle);
  EXPECT_EQ(tx.prescribedStress[0][1], -30.0);  // compression first, tension positive
  EXPECT_EQ(read(Header() + triaxial + "drainage = \"drained\"\n").modelNumber, 101);
  // The cyclic stress ratio of a triaxial test is q/(2 sigma'3c).
  const std::string byRatioTx = triaxial.substr(0, triaxial.find("deviator_amplitude")) +
                                "cyclic_stress_ratio = 0.15\ncycles = 2\n";
  EXPECT_EQ(read(Header() + byRatioTx).prescribedStress, tx.prescribedStress);
  const std::string drained = "[model]\nname = \"linear_elastic\"\ndrainage = \"drained\"\n"
                              "[parameters]\nG = 10000\nnu = 0.25\n";
  EXPECT_EQ(read(drained + triaxial).modelNumber, 101);
}

// Stress levels without a start stress begin at the first level: the same
// lab test as the first level given as the start.
TEST(TemplateQuantities, StressLevelsWithoutAStartBeginAtTheFirstLevel) {
  const std::string head = Header() + "[[tests]]\nname = \"T\"\n";
  const std::pair<const char*, const char*> pairs[] = {
      {"type = \"oedometer\"\nvertical_stress = [100, 400, 200]\nk0 = 0.6\n",
       "type = \"oedometer\"\ninitial_vertical_stress = 100\nvertical_stress = [400, 200]\n"
       "initial_horizontal_stress = 60\n"},
      {"type = \"isotropic_compression\"\npressure = [50, 200]\n",
       "type = \"isotropic_compression\"\ninitial_pressure = 50\npressure = [200]\n"}};
  for (const auto& [implicit, explicitStart] : pairs) {
    SCOPED_TRACE(implicit);
    const auto a = jobfile::ReadTomlText(head + implicit, "/tmp/a.toml").job.tests[0];
    const auto b = jobfile::ReadTomlText(head + explicitStart, "/tmp/b.toml").job.tests[0];
    EXPECT_EQ(a.initialStress, b.initialStress);
    EXPECT_EQ(a.prescribedStress, b.prescribedStress);
    EXPECT_EQ(a.phaseFlags, b.phaseFlags);
    EXPECT_EQ(a.nPhases, b.nPhases);
  }
  // The oedometer loads by 300 and unloads by 200 from a K0 start of 60/100
  // (tension positive), each branch going 0.5 % of its size past its level:
  // to 402, then down to 200 - 0.005 * 200.
  const auto oedometer =
      jobfile::ReadTomlText(head + pairs[0].first, "/tmp/a.toml").job.tests[0];
  EXPECT_EQ(oedometer.initialStress, (std::array<double, 6>{-60, -100, -60, 0, 0, 0}));
  ASSERT_EQ(oedometer.nPhases, 2);
  EXPECT_DOUBLE_EQ(oedometer.prescribedStress[0][1], -302.0);
  EXPECT_DOUBLE_EQ(oedometer.prescribedStress[1][1], 402.0 - (200.0 - 0.005 * 200.0));
}

}  // namespace
}  // namespace soilcal::testing
