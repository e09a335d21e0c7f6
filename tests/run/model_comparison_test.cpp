// Which model fits, through the built program: a TOML job of [[models]] on
// curves made by one of them, and native jobs compared with --compare, which
// reuses finished runs and refuses jobs whose tests differ.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The closed-form Mohr-Coulomb curves of the sand example (G 24000 kPa,
// ν 0.25, φ 38°, c 1 kPa, ψ 8° at a cell pressure of 100 kPa) with a
// deviation of up to ±2 % on every point, the same in every run, so that
// the fit leaves residuals as a measurement does.
std::string Noisy(const std::string& csv, unsigned seed) {
  std::string out;
  unsigned state = seed;
  for (const std::string& line : SplitLines(csv)) {
    const std::size_t comma = line.find(',');
    if (out.empty() || comma == std::string::npos) {
      out += line + "\n";
      continue;
    }
    state = state * 1103515245u + 12345u;
    const double u = static_cast<double>((state >> 8) % 20001u) / 10000.0 - 1.0;
    const double y = std::stod(line.substr(comma + 1)) * (1.0 + 0.02 * u);
    out += line.substr(0, comma) + "," + Num(y) + "\n";
  }
  return out;
}

// Mohr-Coulomb with the generating ψ and c, G and φ free; the same with the
// tension cut-off free as well, which a compression test never reaches;
// linear elasticity.
const char* kComparison = R"(
[[models]]
name = "mohr_coulomb"
parameters = { G = 15000, nu = 0.25, phi = 30, c = 1, psi = 8, n0 = 0.35 }
calibrate.free = { G = [5000, 60000], phi = [25, 45] }

[[models]]
name = "mohr_coulomb"
label = "mc_tension"
parameters = { G = 15000, nu = 0.25, phi = 30, c = 1, psi = 8, n0 = 0.35 }
calibrate.free = { G = [5000, 60000], phi = [25, 45], tension = [0, 50] }

[[models]]
name = "linear_elastic"
parameters = { G = 15000, nu = 0.25, n0 = 0.35 }
calibrate.free = { G = [5000, 60000] }

[[tests]]
name = "TRIAX1"
type = "triaxial_compression"
cell_pressure = 100
axial_strain = 0.05
steps = 100

[[tests.curves]]
file = "q.csv"
x = "axial_strain"
y = "deviator_stress"

[[tests.curves]]
file = "ev.csv"
x = "axial_strain"
y = "volumetric_strain"
)";

void WriteComparison(const TempDir& dir) {
  const std::string example = SourcePath("examples/sand_triaxial/");
  dir.Write("q.csv", Noisy(ReadFile(example + "TRIAX1_Q_EPS.csv"), 7));
  dir.Write("ev.csv", Noisy(ReadFile(example + "TRIAX1_EV_EPS.csv"), 11));
  dir.Write("cmp.toml", kComparison);
}

json ReadJson(const fs::path& file) { return json::parse(ReadFile(file)); }

TEST(ModelComparisonRun, TheModelThatMadeTheCurvesRanksFirstAndAnIdleParameterDoesNotPay) {
  TempDir dir;
  WriteComparison(dir);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "cmp.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const fs::path out = dir.path() / "cmp.out";
  const json c = ReadJson(out / "comparison.json");
  EXPECT_EQ(c.at("criterion"), "bic");
  const json& models = c.at("models");
  ASSERT_EQ(models.size(), 3u);
  EXPECT_EQ(models[0].at("name"), "Mohr-Coulomb");
  EXPECT_EQ(models[0].at("model_number"), 102);
  EXPECT_EQ(models[1].at("name"), "mc_tension");
  EXPECT_EQ(models[2].at("name"), "linear elastic");

  // The idle cut-off leaves the fit as it is (within the search's tolerance
  // of 0.001 on the objective, and some) and costs ln m in BIC: more than 2,
  // so the two models are told apart, in favour of the one without it.
  const double s0 = models[0].at("objective").get<double>();
  const double s1 = models[1].at("objective").get<double>();
  EXPECT_NEAR(s1 / s0, 1.0, 0.01);
  const int m = models[0].at("points").get<int>();
  EXPECT_EQ(m, 36);  // 2 × 19 points, less the two measured zeros at the start
  EXPECT_GT(models[1].at("bic").get<double>() - models[0].at("bic").get<double>(), 2.0);
  EXPECT_TRUE(c.at("indistinguishable").empty());
  EXPECT_GT(models[2].at("objective").get<double>(), 10.0 * s0);

  // The generating values within the scatter of the points: 2 % noise moves
  // a modulus fitted to 36 points by well under 3 %, φ by under 1°.
  const json& best = models[0].at("free_parameters");
  EXPECT_NEAR(best[0].at("best").get<double>(), 24000.0, 0.03 * 24000.0);
  EXPECT_EQ(best[1].at("unit"), "°");
  EXPECT_NEAR(best[1].at("best").get<double>(), 38.0, 1.0);
  ASSERT_TRUE(best[1].at("interval_95").is_array());
  EXPECT_LT(best[1].at("interval_95")[0].get<double>(), best[1].at("best").get<double>());

  // Each model a complete run of its own, whose whole time (its
  // uncertainty step included) comparison.json repeats.
  for (const char* folder : {"mohr_coulomb", "mc_tension", "linear_elastic"}) {
    SCOPED_TRACE(folder);
    EXPECT_TRUE(fs::exists(out / folder / "calibration_report.html"));
    const json own = ReadJson(out / folder / "calibration_summary.json");
    EXPECT_EQ(own.at("search").at("mode"), "thorough");
    bool listed = false;
    for (const json& model : models) {
      if (model.at("label") != folder) continue;
      listed = true;
      EXPECT_EQ(model.at("run_wall_time_s"), own.at("run_times").at("wall_time_s"));
    }
    EXPECT_TRUE(listed);
  }
  // The comparison's own time: one part per model in the order run, then
  // the comparison itself; the parts add up to the whole, and each model's
  // part holds its whole run.
  const json& times = c.at("run_times");
  std::vector<std::string> parts;
  double sum = 0.0;
  for (const json& p : times.at("parts")) {
    parts.push_back(p.at("part"));
    sum += p.at("wall_time_s").get<double>();
  }
  EXPECT_EQ(parts, (std::vector<std::string>{"Mohr-Coulomb", "mc_tension", "linear elastic",
                                             "comparison"}));
  EXPECT_NEAR(sum, times.at("wall_time_s").get<double>(), 1e-9);
  for (const json& model : models) {
    for (const json& p : times.at("parts")) {
      if (p.at("part") != model.at("name")) continue;
      EXPECT_GE(p.at("wall_time_s").get<double>(), model.at("run_wall_time_s").get<double>());
    }
  }
  EXPECT_NE(run.err.find("soilcal: time: "), std::string::npos) << run.err;
  EXPECT_EQ(models[1].at("folder"), "mc_tension/");
  EXPECT_EQ(models[0].at("label"), "mohr_coulomb");
  const std::string verdict = c.at("verdict");
  EXPECT_NE(verdict.find("Mohr-Coulomb fits these tests best"), std::string::npos) << verdict;
  EXPECT_NE(verdict.find("mc_tension fits no closer with its extra parameter"), std::string::npos)
      << verdict;

  // One figure per measured curve, one line per model in each.
  const std::string page = ReadFile(out / "comparison_report.html");
  std::size_t plots = 0, lines = 0;
  for (std::size_t at = page.find("class=\"plot\""); at != std::string::npos;
       at = page.find("class=\"plot\"", at + 1)) {
    ++plots;
  }
  for (std::size_t at = page.find("<polyline class=\"model\""); at != std::string::npos;
       at = page.find("<polyline class=\"model\"", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(plots, 2u);
  EXPECT_EQ(lines, 6u);

  // A job that fails a check runs no model; its result file says why, and
  // the earlier comparison is gone.
  std::string twice = kComparison;
  twice.replace(twice.find("label = \"mc_tension\"\n"), 21, "");
  fs::rename(dir.path() / "cmp.toml", dir.path() / "old.toml");
  dir.Write("cmp.toml", twice);
  const ProcessRun refused = RunProcess(BuildPath("soilcal"), {"--exit-status", "cmp.toml"}, dir.path());
  EXPECT_EQ(refused.exitStatus, 12);
  EXPECT_NE(refused.err.find("cmp.toml line 7: models 1 and 2 would share the folder"),
            std::string::npos) << refused.err;
  EXPECT_NE(ReadFile(out / "Optimization_result.txt").find("Exit Code = 12"), std::string::npos);
  EXPECT_FALSE(fs::exists(out / "comparison.json"));
}

// Replaces the first `from` in `file` by `to`.
void Edit(const fs::path& file, const std::string& from, const std::string& to) {
  std::string text = ReadFile(file);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  WriteFile(file, text.replace(at, from.size(), to));
}

TEST(ModelComparisonRun, NativeJobsAreComparedOnTheSameTestsAndFinishedRunsReused) {
  TempDir dir;
  WriteComparison(dir);
  ASSERT_EQ(RunProcess(BuildPath("soilcal"), {"--exit-status", "cmp.toml"}, dir.path()).exitStatus, 0);
  const fs::path here = dir.path() / "here";
  fs::create_directories(here);
  const std::string mc = "../cmp.out/mohr_coulomb/OPTIM.TXT";
  const std::string le = "../cmp.out/linear_elastic/OPTIM.TXT";
  const std::string mcResult = ReadFile(dir.path() / "cmp.out/mohr_coulomb/Optimization_result.txt");

  // Both runs are finished: nothing is run again.
  ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "--compare", mc, le}, here);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("Mohr-Coulomb: the finished run in ../cmp.out/mohr_coulomb/ is reused"),
            std::string::npos) << run.err;
  EXPECT_NE(run.err.find("linear elastic: the finished run"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir.path() / "cmp.out/mohr_coulomb/Optimization_result.txt"), mcResult);
  json c = ReadJson(here / "comparison.json");
  ASSERT_EQ(c.at("models").size(), 2u);
  EXPECT_EQ(c.at("models")[0].at("name"), "Mohr-Coulomb");
  EXPECT_EQ(c.at("models")[0].at("folder"), "../cmp.out/mohr_coulomb/");
  EXPECT_EQ(c.at("models")[0].at("label"), "mohr_coulomb");
  EXPECT_TRUE(fs::exists(here / "comparison_report.html"));

  // A job changed after its run is run again.
  const fs::path leTest = dir.path() / "cmp.out/linear_elastic/TRIAX1.VLT";
  WriteFile(leTest, ReadFile(leTest));
  run = RunProcess(BuildPath("soilcal"), {"--compare", mc, le}, here);
  EXPECT_NE(run.err.find("linear elastic: calibrating in ../cmp.out/linear_elastic/"),
            std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Mohr-Coulomb: the finished run"), std::string::npos) << run.err;

  // Jobs on other tests are refused before anything runs, naming what differs.
  struct Case {
    std::string what, file, from, to, says;
  };
  const std::vector<Case> cases{
      {"loading", "TRIAX1.VLT", "0 -0.05 0 0 0 0", "0 -0.06 0 0 0 0",
       "test 1 (TRIAX1.VLT and TRIAX1.VLT) is not loaded alike: phase 1 prescribes the strain yy "
       "-0.05 against -0.06"},
      {"cell pressure", "TRIAX1.VLT", "-100 -100 -100 0 0 0", "-200 -200 -200 0 0 0",
       "the initial stress xx -100 against -200"},
      {"measured point", "TRIAX1_1.TXT", "\n0.002 ", "\n0.0021 ",
       "curve 1 of test 1 (TRIAX1_1.TXT and TRIAX1_1.TXT) differs: its measured point 3 is (0.002, "},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const fs::path other = dir.path() / ("other_" + std::to_string(&k - cases.data()));
    CopyJobFiles(dir.path() / "cmp.out/linear_elastic", other);
    Edit(other / k.file, k.from, k.to);
    fs::remove(here / "comparison.json");
    run = RunProcess(BuildPath("soilcal"),
                     {"--exit-status", "--compare", mc, "../" + other.filename().string() + "/OPTIM.TXT"},
                     here);
    EXPECT_EQ(run.exitStatus, 11) << run.err;
    EXPECT_NE(run.err.find(k.says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("do not calibrate on the same tests"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(here / "comparison.json"));
  }

  run = RunProcess(BuildPath("soilcal"), {"--exit-status", "--compare", mc}, here);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.err.find("--compare needs the optimisation files of two jobs or more"),
            std::string::npos) << run.err;
}

TEST(ModelComparisonRun, AFinishedRunIsReusedOnlyWhileEveryInputReadsAsItDid) {
  TempDir dir;
  WriteComparison(dir);
  ASSERT_EQ(RunProcess(BuildPath("soilcal"), {"--exit-status", "cmp.toml"}, dir.path()).exitStatus, 0);
  const std::string mc = "cmp.out/mohr_coulomb/OPTIM.TXT";
  const std::string le = "cmp.out/linear_elastic/OPTIM.TXT";
  const std::string mcSummary = ReadFile(dir.path() / "cmp.out/mohr_coulomb/calibration_summary.json");
  const std::string digest = json::parse(mcSummary).at("input_digest").get<std::string>();
  EXPECT_EQ(digest.size(), 32u);

  // New measured values under the old time stamps (cp -p, rsync -a, tar x):
  // the same edit in both jobs, so they still calibrate on the same tests.
  for (const char* model : {"mohr_coulomb", "linear_elastic"}) {
    const fs::path curve = dir.path() / "cmp.out" / model / "TRIAX1_1.TXT";
    const fs::file_time_type old = fs::last_write_time(curve);
    Edit(curve, "\n0.002 ", "\n0.0021 ");
    fs::last_write_time(curve, old);
  }
  ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "--compare", mc, le}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err.find("is reused"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Mohr-Coulomb: calibrating in cmp.out/mohr_coulomb/"), std::string::npos)
      << run.err;
  const json rerun = json::parse(ReadFile(dir.path() / "cmp.out/mohr_coulomb/calibration_summary.json"));
  EXPECT_NE(rerun.at("input_digest"), digest);

  // Unchanged since: reused. A flag file that changes the run (the
  // diagnostic log here), put back with an old time, is a change too.
  run = RunProcess(BuildPath("soilcal"), {"--compare", mc, le}, dir.path());
  EXPECT_NE(run.err.find("Mohr-Coulomb: the finished run in cmp.out/mohr_coulomb/ is reused"),
            std::string::npos) << run.err;
  const fs::path flag = dir.path() / "cmp.out/linear_elastic/do_opti";
  WriteFile(flag, "");
  fs::last_write_time(flag, fs::last_write_time(dir.path() / "cmp.out/linear_elastic/OPTIM.TXT"));
  run = RunProcess(BuildPath("soilcal"), {"--compare", mc, le}, dir.path());
  EXPECT_NE(run.err.find("linear elastic: calibrating in"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Mohr-Coulomb: the finished run"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace soilcal::acceptance

namespace soilcal::acceptance {
namespace {

// ψ free on deviator curves alone, which a Mohr-Coulomb triaxial test fits
// the same with any dilatancy: ψ has no standard error and no closed
// profile, so its intervals are null, and the model is still compared from
// its run's own record, beside the model without it.
TEST(ModelComparisonRun, AModelWithANonIdentifiableParameterIsStillCompared) {
  TempDir dir;
  const std::string example = SourcePath("examples/sand_triaxial/");
  dir.Write("q.csv", Noisy(ReadFile(example + "TRIAX1_Q_EPS.csv"), 7));
  // The comparison above without linear elasticity and the volumetric
  // curve, ψ free in place of the tension cut-off.
  std::string job = kComparison;
  const std::size_t elastic = job.find("[[models]]\nname = \"linear_elastic\"");
  job.erase(elastic, job.find("[[tests]]") - elastic);
  job.erase(job.find("\n[[tests.curves]]\nfile = \"ev.csv\""));
  job.replace(job.find("tension = [0, 50]"), 17, "psi = [0, 20]");
  job.replace(job.find("\"mc_tension\""), 12, "\"mc_psi\"");
  dir.Write("psi.toml", job);
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--exit-status", "psi.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const json c = ReadJson(dir.path() / "psi.out" / "comparison.json");
  const json& models = c.at("models");
  ASSERT_EQ(models.size(), 2u);
  for (const json& m : models) {
    SCOPED_TRACE(m.at("name").get<std::string>());
    EXPECT_TRUE(m.at("compared").get<bool>()) << m.dump();
    EXPECT_TRUE(m.at("objective").is_number());
    EXPECT_TRUE(m.at("bic").is_number());
  }
  const json* withPsi = nullptr;
  for (const json& m : models) {
    if (m.at("name") == "mc_psi") withPsi = &m;
  }
  ASSERT_NE(withPsi, nullptr);
  const json& free = withPsi->at("free_parameters");
  ASSERT_EQ(free.size(), 3u);
  const json& psi = free[2];
  EXPECT_EQ(psi.at("name"), "psi");
  EXPECT_TRUE(psi.at("interval_95").is_null()) << psi.dump();
  const std::string kinds = psi.at("flags").dump();
  EXPECT_NE(kinds.find("not_identifiable"), std::string::npos) << kinds;
  // The comparison's figures agree with the model's own summary.
  const json own = ReadJson(dir.path() / "psi.out" / "mc_psi" / "calibration_summary.json");
  EXPECT_EQ(withPsi->at("objective").get<double>(), own.at("best").at("objective").get<double>());
}

}  // namespace
}  // namespace soilcal::acceptance
