// The stress path of a real undrained triaxial run: the report's p′ from the
// deviator and the excess pore pressure is the engine's own mean effective
// stress, and the critical-state line is the model's calibrated M.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jobfile/csv.hpp"
#include "report/stress_path.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

std::vector<double> CsvColumn(const std::string& path, const std::string& column) {
  const jobfile::CsvTable table = jobfile::ReadCsv(path, path);
  const int c = jobfile::ColumnIndex(table, column);
  EXPECT_GE(c, 0) << path << " has no column " << column;
  return c < 0 ? std::vector<double>{} : jobfile::NumericColumn(table, c);
}

// The Sekiguchi-Ohta CU example at its known M = 1.2 and λ* = 0.1 (bounds
// pinned), with one more curve: the engine's p′ against the axial strain.
TEST(StressPathRun, TheUndrainedPathIsTheEnginesOwnMeanEffectiveStress) {
  TempDir dir;
  CopyExample("sekiguchi_ohta/undrained_triaxial", dir.path());
  std::string job = dir.Read("job.toml");
  const std::string free = "free = { M = [0.8, 1.6], lambda_star = [0.05, 0.2] }";
  ASSERT_NE(job.find(free), std::string::npos);
  job.replace(job.find(free), free.size(), "free = { M = [1.2, 1.2], lambda_star = [0.1, 0.1] }");
  job.replace(job.find("search = \"thorough\""), 19, "search = \"default\"");
  job += "\n[[tests.curves]]\nfile = \"TRIAX_CU_P_EPS.csv\"\nx = \"axial_strain\"\n"
         "y = \"mean_effective_stress\"\n";
  dir.Write("job.toml", job);
  // Measured p′ is not needed for the check; any positive values fit in.
  std::string p = "axial_strain,mean_effective_stress\n";
  for (int i = 1; i <= 20; ++i) p += std::to_string(0.006 * i) + ",80\n";
  dir.Write("TRIAX_CU_P_EPS.csv", p);
  const ProcessRun run =
      RunProcess(BuildPath("soilcal"), {"--uncertainty=off", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;

  const std::string out = (dir.path() / "job.out").string() + "/";
  const std::vector<double> q =
      CsvColumn(out + "TRIAX_CU_deviator_stress_calculated.csv", "deviator_stress");
  const std::vector<double> du =
      CsvColumn(out + "TRIAX_CU_excess_pore_pressure_calculated.csv", "excess_pore_pressure");
  const std::vector<double> engine =
      CsvColumn(out + "TRIAX_CU_mean_effective_stress_calculated.csv", "mean_effective_stress");
  ASSERT_EQ(q.size(), engine.size());
  ASSERT_GT(q.size(), 10u);
  // Isotropic start at the cell pressure of 100 kPa: p′0 = 100, q0 = 0.
  const report::StressPath path = report::PathFromDeviatorAndPorePressure(q, du, 100.0, 0.0);
  for (std::size_t i = 0; i < engine.size(); ++i) {
    SCOPED_TRACE(i);
    // The identity holds where the cell pressure is exactly held; the step
    // solver holds it to its tolerance of 1e-4 (the job's solver setting)
    // relative to the stresses, 0.01 kPa here. A lost Δu or q/3 would be off
    // by tens of kPa.
    EXPECT_NEAR(path.p[i], engine[i], 1e-4 * 100.0);
  }
  // Contraction under shear: the excess pore pressure takes p′ below p′0.
  EXPECT_LT(engine.back(), 100.0);

  const auto summary = nlohmann::json::parse(dir.Read("job.out/calibration_summary.json"));
  EXPECT_EQ(summary.at("critical_state_line").at("m"), 1.2);
  EXPECT_TRUE(summary.at("critical_state_line").at("friction_angle_deg").is_null());
  EXPECT_TRUE(summary.at("tests")[0].at("undrained").get<bool>());
  const std::string report = dir.Read("job.out/calibration_report.html");
  EXPECT_NE(report.find("effective stress path"), std::string::npos);
  EXPECT_NE(report.find("TRIAX_CU · triaxial compression · σ′3 = 100 kPa · undrained"),
            std::string::npos);
  EXPECT_NE(report.find("with the model&#39;s M = 1.2 (calibrated)."), std::string::npos);
  EXPECT_NE(report.find("excess pore pressure Δu [kPa]"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
