// Mistakes a person makes in a TOML job: each gets one sentence that names
// the job file and line (and the CSV file, its line and column where the
// mistake is there), the fix or the nearest valid names, and the exit code
// of the closest native failure. Nothing native is written for such a job.
#include <gtest/gtest.h>

#include <filesystem>

#include "jobfile/commands.hpp"
#include "jobfile_support.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// A drained triaxial Mohr-Coulomb job; `parameters`, `calibrate` and
// `curve` replace its sections.
struct JobText {
  std::string model = "[model]\nname = \"mohr_coulomb\"\n";
  std::string parameters = "[parameters]\nG = 10000\nnu = 0.25\nphi = 35\nc = 1\n";
  std::string calibrate = "[calibrate]\nfree = { G = [5000, 20000], phi = [25, 45] }\n";
  std::string test = "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\n"
                     "cell_pressure = 100\naxial_strain = 0.1\n";
  std::string curve = "[[tests.curves]]\nfile = \"txa.csv\"\nx = \"axial_strain\"\n"
                      "y = \"deviator_stress\"\n";
  std::string Text() const { return model + parameters + calibrate + test + curve; }
};

const char* kCsv = "axial_strain,deviator_stress\n0.01,100\n0.02,150\n";

struct Case {
  std::string what;
  JobText job;
  std::string csv;  // content of txa.csv ("" = no file)
  int code;
  std::vector<std::string> says;  // parts of the message
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto add = [&](const std::string& what, auto edit, std::string csv, int code,
                 std::vector<std::string> says) {
    JobText job;
    edit(job);
    cases.push_back({what, job, std::move(csv), code, std::move(says)});
  };
  add("TOML syntax", [](JobText& j) { j.parameters = "[parameters]\nG = = 3\n"; }, kCsv, 12,
      {"job.toml line 4:", "TOML syntax"});
  add("unknown key", [](JobText& j) { j.model += "drianage = \"drained\"\n"; }, kCsv, 12,
      {"job.toml line 3:", "unknown key \"drianage\"", "did you mean \"drainage\""});
  add("unknown parameter", [](JobText& j) { j.parameters += "phii = 3\n"; }, kCsv, 13,
      {"job.toml line 8:", "unknown parameter \"phii\"", "did you mean \"phi\""});
  add("wrong type", [](JobText& j) { j.test += "steps = \"100\"\n"; }, kCsv, 12,
      {"job.toml line 15:", "\"steps\" must be a whole number, not a string"});
  add("missing CSV file", [](JobText&) {}, "", 10,
      {"job.toml line 16:", "curve file \"txa.csv\" not found"});
  add("missing column", [](JobText& j) { j.curve += "y_column = \"q [kPa]\"\n"; }, kCsv, 11,
      {"job.toml line 19:", "txa.csv has no column \"q [kPa]\"",
       "its columns are \"axial_strain\" and \"deviator_stress\""});
  add("text in a cell", [](JobText&) {}, "axial_strain,deviator_stress\n0.01,100\n0.02,1o5\n", 11,
      {"job.toml line 16:", "txa.csv line 3, column \"deviator_stress\"", "\"1o5\" is not a number"});
  add("bound outside the physical range",
      [](JobText& j) { j.calibrate = "[calibrate]\nfree = { phi = [25, 95] }\n"; }, kCsv, 14,
      {"job.toml line 9:", "bound 95 of phi", "physical range [0, 90] °"});
  add("value outside the physical range", [](JobText& j) { j.parameters += "psi = -100\n"; },
      kCsv, 16, {"job.toml line 8:", "psi = -100", "[-90, 90] °"});
  add("Poisson's ratio of 0.5 as a bound",
      [](JobText& j) { j.calibrate = "[calibrate]\nfree = { nu = [0.2, 0.5] }\n"; }, kCsv, 14,
      {"bound 0.5 of nu", "[0, 0.5)"});
  add("reversed bounds", [](JobText& j) { j.calibrate = "[calibrate]\nfree = { G = [9, 3] }\n"; },
      kCsv, 14, {"job.toml line 9:", "bounds of G are reversed"});
  // A job of another model with its own parameters and free ones.
  auto ofModel = [](std::string name, std::string parameters, std::string calibrate) {
    return [=](JobText& j) {
      j.model = "[model]\nname = \"" + name + "\"\n";
      j.parameters = "[parameters]\n" + parameters;
      j.calibrate = calibrate;
    };
  };
  const std::string softSoil = "kappa_star = 0.02\nlambda_star = 0.1\nK0nc = 0.6\n";
  add("derived parameter freed",
      ofModel("soft_soil", softSoil + "M = 1\n", "[calibrate]\nfree = { M = [0.8, 1.6] }\n"),
      kCsv, 13, {"job.toml line 9:", "M cannot be calibrated", "derives it from K0nc"});
  add("soft soil without M", ofModel("soft_soil", softSoil, ""), kCsv, 16,
      {"job.toml line 3:", "needs M > 0", "any positive value"});
  add("sand whose peak angle lies below its constant-volume angle",
      ofModel("ubc3d_sand", "N160 = 10\nphi_cv = 33\nphi_p = 30\n", ""), kCsv, 16,
      {"job.toml line 6:", "phi_p = 30 lies below phi_cv = 33", "leave it out"});
  add("E free with nu free",
      [](JobText& j) {
        j.parameters = "[parameters]\nE = 25000\nnu = 0.25\n";
        j.calibrate = "[calibrate]\nfree = { E = [1e4, 5e4], nu = [0.1, 0.4] }\n";
      },
      kCsv, 13, {"E can be free only while nu is fixed"});
  add("G and E", [](JobText& j) { j.parameters += "E = 25000\n"; }, kCsv, 13,
      {"\"E\" sets slot 1, which \"G\"", "give only one of them"});
  add("unknown key of a curve", [](JobText& j) { j.curve += "x_colum = \"eps\"\n"; }, kCsv, 12,
      {"job.toml line 19:", "unknown key \"x_colum\"", "did you mean \"x_column\""});
  add("unknown quantity name",
      [](JobText& j) { j.curve.replace(j.curve.find("deviator_stress"), 15, "deviatoric_stress"); },
      kCsv, 12, {"job.toml line 18:", "unknown quantity \"deviatoric_stress\"",
                 "did you mean \"deviator_stress\""});
  add("unknown test type",
      [](JobText& j) { j.test.replace(j.test.find("triaxial_compression"), 20, "triaxial_compresion"); },
      kCsv, 12, {"job.toml line 12:", "did you mean \"triaxial_compression\""});
  add("unknown model", [](JobText& j) { j.model = "[model]\nname = \"mohr_columb\"\n"; }, kCsv, 12,
      {"job.toml line 2:", "unknown model name", "did you mean \"mohr_coulomb\""});
  add("phase column missing",
      [](JobText& j) {
        j.test = "[[tests]]\nname = \"OED\"\ntype = \"oedometer\"\ninitial_vertical_stress = 50\n"
                 "vertical_stress = [200, 100]\n";
      },
      kCsv, 11, {"txa.csv has no column \"phase\" for a test of 2 phases"});
  add("intensity", [](JobText& j) { j.calibrate += "intensity = 4\n"; }, kCsv, 5,
      {"intensity must be 1 (10 particles), 2 (30) or 3 (90), not 4"});
  const std::string cyclic = "[[tests]]\nname = \"C\"\ntype = \"cyclic_direct_simple_shear\"\n"
                             "vertical_stress = 100\ncycles = 3\n";
  add("cycles of a test that is not cyclic",
      [](JobText& j) { j.curve.replace(j.curve.find("axial_strain"), 12, "cycles"); }, kCsv, 12,
      {"job.toml line 17:", "cycles counts the load cycles of the cyclic templates",
       "test \"TXA\" is not one of them: use \"time\""});
  add("cyclic amplitude given twice",
      [&](JobText& j) { j.test = cyclic + "cyclic_stress_ratio = 0.2\nshear_stress_amplitude = 20\n"; },
      kCsv, 12, {"job.toml line 16:", "either shear_stress_amplitude", "not both"});
  add("cyclic test without cycles",
      [&](JobText& j) { j.test = cyclic.substr(0, cyclic.find("cycles")) + "cyclic_stress_ratio = 0.2\n"; },
      kCsv, 12, {"needs cycles = N"});
  add("time of a cyclic test",
      [&](JobText& j) { j.test = cyclic + "cyclic_stress_ratio = 0.2\ntime = 2\n"; }, kCsv, 12,
      {"unknown key \"time\""});
  add("pore pressure ratio without a vertical stress",
      [](JobText& j) {
        j.test = "[[tests]]\nname = \"G\"\ntype = \"general\"\ninitial_stress = [0, 0, 0, 0, 0, 0]\n"
                 "[[tests.phases]]\nstrain = { yy = 0.01 }\n"
                 "stress = { xx = 0, zz = 0, xy = 0, yz = 0, zx = 0 }\n";
        j.curve.replace(j.curve.find("deviator_stress"), 15, "excess_pore_pressure_ratio");
      },
      kCsv, 12, {"excess_pore_pressure_ratio is taken of the initial vertical effective stress",
                 "use \"excess_pore_pressure\""});
  return cases;
}

TEST(JobFileErrors, EachMistakeGetsItsSentenceFileLineAndExitCode) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (!c.csv.empty()) dir.Write("txa.csv", c.csv);
    const std::string path = dir.Write("job.toml", c.job.Text());
    const auto error = JobFileError(path);
    ASSERT_TRUE(error.has_value()) << c.job.Text();
    EXPECT_EQ(error->code, c.code) << error->detail;
    for (const std::string& part : c.says) {
      EXPECT_NE(error->detail.find(part), std::string::npos)
          << "\"" << part << "\" not in: " << error->detail;
    }
  }
}

// Through the program: the sentence on standard error, the exit code in the
// result file and as the status (a TOML job's, with --exit-status or
// without), no native file.
TEST(JobFileErrors, TheProgramWritesOnlyAResultFileWithTheExitCode) {
  TempDir dir;
  dir.Write("txa.csv", kCsv);
  JobText job;
  job.parameters += "phii = 3\n";
  const std::string path = dir.Write("job.toml", job.Text());
  for (bool exitStatus : {false, true}) {
    std::vector<std::string> args{path};
    if (exitStatus) args.insert(args.begin(), "--exit-status");
    const ProcessRun run = RunProcess(BuildPath("soilcal"), args, dir.path());
    EXPECT_EQ(run.exitStatus, 13);
    EXPECT_NE(run.err.find("soilcal: job.toml line 8: unknown parameter \"phii\""),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("(exit code 13, MAT_PARAM_INDEX_OUTSIDE_RANGE)"), std::string::npos);
  }
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(dir.path() / "job.out")) {
    written.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(written, std::vector<std::string>{"Optimization_result.txt"});
  const ResultFile result = ParseResultFile(ReadFile(dir.path() / "job.out" / "Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 13.0);
}

// --write-native into the job's own folder must not write a native curve
// file over a CSV file that happens to carry its name.
TEST(JobFileErrors, TheNativeJobNeverReplacesAFileOfTheJob) {
  TempDir dir;
  dir.Write("TXA_1.TXT", kCsv);
  JobText job;
  job.curve.replace(job.curve.find("txa.csv"), 7, "TXA_1.TXT");
  const std::string path = dir.Write("job.toml", job.Text());
  try {
    jobfile::WriteNativeFromToml(path, dir.path().string());
    ADD_FAILURE() << "written over TXA_1.TXT";
  } catch (const services::RunError& e) {
    EXPECT_EQ(e.code, 12);
    EXPECT_NE(e.detail.find("a file of the job itself"), std::string::npos) << e.detail;
  }
  EXPECT_EQ(dir.Read("TXA_1.TXT"), kCsv);
  EXPECT_FALSE(fs::exists(dir.path() / "OPTIM.TXT"));
}

}  // namespace
}  // namespace soilcal::testing
