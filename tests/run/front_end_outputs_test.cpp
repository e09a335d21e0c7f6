// What the front ends write never replaces what they read, and what they
// leave says what happened: a TOML job's output named as its measured CSV,
// --write-toml onto its own native job, a failed check beside an earlier
// run's companions, an interrupt after the search, and --write-native of
// ten thousand tests in seconds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

ProcessRun Soilcal(const std::vector<std::string>& args, const fs::path& dir) {
  return RunProcess(BuildPath("soilcal"), args, dir);
}

// A drained triaxial Mohr-Coulomb TOML job on the CSV file `csv`.
std::string TomlJob(const std::string& csv) {
  return "[model]\nname = \"mohr_coulomb\"\n"
         "[parameters]\nG = 10000\nnu = 0.25\nphi = 35\nc = 1\n"
         "[calibrate]\nfree = { G = [5000, 20000], phi = [25, 45] }\n"
         "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\n"
         "cell_pressure = 100\naxial_strain = 0.05\nsteps = 50\n"
         "[[tests.curves]]\nfile = \"" + csv + "\"\nx = \"axial_strain\"\ny = \"deviator_stress\"\n";
}

// User and system time of the ended child processes so far.
double ChildCpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const char* kMeasured = "axial_strain,deviator_stress\n0.01,100\n0.02,150\n0.04,180\n";

TEST(FrontEndOutputs, ATomlJobWhoseCsvIsNamedLikeAnOutputIsRefusedAndTheCsvKept) {
  // The simulated curve of test TXA is job.out/TXA_deviator_stress_<suffix>.csv;
  // the result file and the summary are outputs too. Each spelling of them
  // as the measured file is refused before job.out/ is touched.
  const char* spellings[] = {"job.out/TXA_deviator_stress_calculated.csv",
                             "job.out/txa_DEVIATOR_stress_referenced.csv",
                             "job.out/../job.out/TXA_deviator_stress_calculated.csv",
                             "job.out/Optimization_result.txt",
                             "job.out/calibration_summary.json"};
  for (const char* file : spellings) {
    SCOPED_TRACE(file);
    TempDir dir;
    fs::create_directories(dir.path() / "job.out");
    const std::string csvPath = (dir.path() / file).lexically_normal().string();
    WriteFile(csvPath, kMeasured);
    dir.Write("job.toml", TomlJob(file));
    const ProcessRun run = Soilcal({"--exit-status", "job.toml"}, dir.path());
    EXPECT_EQ(run.exitStatus, 10) << run.err;
    EXPECT_TRUE(Has(run.err, "would be replaced by")) << run.err;
    EXPECT_TRUE(Has(run.err, "nothing was written")) << run.err;
    EXPECT_EQ(ReadFile(csvPath), kMeasured);
    // Nothing native and no lock was written beside it; the General
    // section went to standard output.
    EXPECT_FALSE(fs::exists(dir.path() / "job.out" / "OPTIM.TXT"));
    EXPECT_TRUE(Has(run.out, "Exit Code = 10")) << run.out;
  }
}

TEST(FrontEndOutputs, AComparisonNeverWritesOverTheCsvFileOfItsTests) {
  // Each model runs in cmp.out/<model>/; the comparison writes
  // cmp.out/comparison.json. A measured file named as either is refused.
  const char* spellings[] = {"cmp.out/mohr_coulomb/TXA_deviator_stress_calculated.csv",
                             "cmp.out/comparison.json", "cmp.out/linear_elastic/TXA.VLT"};
  for (const char* file : spellings) {
    SCOPED_TRACE(file);
    TempDir dir;
    const fs::path csv = dir.path() / file;
    fs::create_directories(csv.parent_path());
    WriteFile(csv, kMeasured);
    dir.Write("cmp.toml",
              "[[models]]\nname = \"mohr_coulomb\"\n"
              "parameters = { G = 10000, nu = 0.25, phi = 35, c = 1 }\n"
              "calibrate.free = { G = [5000, 20000] }\n"
              "[[models]]\nname = \"linear_elastic\"\nparameters = { G = 10000, nu = 0.25, n0 = 0.35 }\n"
              "calibrate.free = { G = [5000, 20000] }\n"
              "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\ncell_pressure = 100\n"
              "axial_strain = 0.05\nsteps = 50\n"
              "[[tests.curves]]\nfile = \"" + std::string(file) +
                  "\"\nx = \"axial_strain\"\ny = \"deviator_stress\"\n");
    const ProcessRun run = Soilcal({"--exit-status", "cmp.toml"}, dir.path());
    EXPECT_EQ(run.exitStatus, 10) << run.err;
    EXPECT_TRUE(Has(run.err, "would be replaced by")) << run.err;
    EXPECT_EQ(ReadFile(csv), kMeasured);
    EXPECT_FALSE(fs::exists(dir.path() / "cmp.out" / "Optimization_result.txt"));
  }
}

TEST(FrontEndOutputs, WriteTomlNeverReplacesAFileOfTheNativeJobItReads) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const std::string optim = dir.Read("OPTIM.TXT");
  const std::string curve = dir.Read("Q_EPS.TXT");
  const std::string test = dir.Read("TRIAX1.VLT");
  for (const char* target : {"OPTIM.TXT", "./optim.txt", "Q_EPS.TXT", "q_eps.txt", "TRIAX1.VLT",
                             "thorough_search"}) {
    SCOPED_TRACE(target);
    const ProcessRun run = Soilcal({"--write-toml", target, "OPTIM.TXT"}, dir.path());
    EXPECT_EQ(run.exitStatus, 12) << run.err;
    EXPECT_TRUE(Has(run.err, "the TOML job would replace")) << run.err;
  }
  EXPECT_EQ(dir.Read("OPTIM.TXT"), optim);
  EXPECT_EQ(dir.Read("Q_EPS.TXT"), curve);
  EXPECT_EQ(dir.Read("TRIAX1.VLT"), test);
  EXPECT_FALSE(fs::exists(dir.path() / "thorough_search"));
  // Into a file of its own it is written.
  const ProcessRun fine = Soilcal({"--write-toml", "converted/job.toml", "OPTIM.TXT"}, dir.path());
  EXPECT_EQ(fine.exitStatus, 0) << fine.err;
  EXPECT_TRUE(fs::exists(dir.path() / "converted" / "job.toml"));
}

TEST(FrontEndOutputs, ATomlJobThatFailsItsCheckLeavesNoCompanionOfTheEarlierRun) {
  TempDir dir;
  dir.Write("txa.csv", kMeasured);
  dir.Write("job.toml", TomlJob("txa.csv"));
  const ProcessRun first = Soilcal({"--exit-status", "job.toml"}, dir.path());
  ASSERT_EQ(first.exitStatus, 0) << first.err;
  const fs::path out = dir.path() / "job.out";
  const std::vector<std::string> companions = {
      "calibration_summary.json", "calibration_report.html", "TXA_1.TXT_calculated",
      "TXA_1.TXT_referenced", "TXA_deviator_stress_calculated.csv",
      "TXA_deviator_stress_referenced.csv"};
  for (const std::string& name : companions) {
    ASSERT_TRUE(fs::exists(out / name)) << name;
  }
  // A measured file of the person's own in job.out/ stays.
  WriteFile(out / "notes.csv", "a,b\n1,2\n");

  dir.Write("job.toml", TomlJob("txa.csv") + "phii = 3\n");  // an unknown key of the curve
  const ProcessRun second = Soilcal({"--exit-status", "job.toml"}, dir.path());
  EXPECT_EQ(second.exitStatus, 12) << second.err;
  for (const std::string& name : companions) EXPECT_FALSE(fs::exists(out / name)) << name;
  EXPECT_TRUE(fs::exists(out / "notes.csv"));

  // So does an earlier output that the failing job names as its measured
  // file: a measurement is never removed.
  dir.Write("job.toml", TomlJob("txa.csv"));
  ASSERT_EQ(Soilcal({"--exit-status", "job.toml"}, dir.path()).exitStatus, 0);
  const std::string kept = ReadFile(out / "TXA_deviator_stress_calculated.csv");
  dir.Write("job.toml",
            TomlJob("job.out/TXA_deviator_stress_calculated.csv") + "phii = 3\n");
  EXPECT_EQ(Soilcal({"--exit-status", "job.toml"}, dir.path()).exitStatus, 12);
  EXPECT_EQ(ReadFile(out / "TXA_deviator_stress_calculated.csv"), kept);
  EXPECT_FALSE(fs::exists(out / "calibration_summary.json"));

  dir.Write("job.toml", TomlJob("txa.csv") + "phii = 3\n");
  ASSERT_EQ(Soilcal({"--exit-status", "job.toml"}, dir.path()).exitStatus, 12);
  const ResultFile result = ParseResultFile(ReadFile(out / "Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 12.0);
  EXPECT_EQ(FindSection(result, "Params"), nullptr);
}

// Intensity 1 on a 3000-step test: a short search, then profiles of a
// second or more, each evaluation a few milliseconds.
void WriteProfiledJob(const fs::path& dir) {
  fs::create_directories(dir);
  WriteFile(dir / "TRIAX.VLT",
            MakeLabTestFile(LabTest(2, MohrCoulombParams(Soil(8000.0, 0.4)), 100.0,
                                    {TriaxialPhase(-0.05, 3000)})));
  WriteFile(dir / "Q.TXT", MakeCurveFile(-14, 5, {MeasuredDeviator(Soil(12000.0, 0.5), 100.0)}));
  OptimisationFileDesc opt = GrefAndPhi(1);
  opt.tests = {{"TRIAX.VLT", {"Q.TXT"}}};
  WriteFile(dir / "OPTIM.TXT", MakeOptimisationFile(opt));
}

TEST(FrontEndOutputs, SigtermAfterTheSearchEndsTheRunWith18AndASummaryThatAgrees) {
  TempDir dir;
  WriteProfiledJob(dir.path());
  BackgroundProcess run(BuildPath("soilcal"),
                        {"--exit-status", "--uncertainty=profile", "OPTIM.TXT"}, dir.path());
  // The "_calculated" curves are written just before the uncertainty step.
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (!fs::exists(dir.path() / "Q.TXT_calculated") && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(fs::exists(dir.path() / "Q.TXT_calculated"));
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 18) << run.err();
  const std::string err = run.err();
  EXPECT_TRUE(Has(err, "after the search had finished")) << err;
  EXPECT_TRUE(Has(err, "stopped after the search: the calibrated values")) << err;
  EXPECT_FALSE(Has(err, "(exit code 0)")) << err;

  const nlohmann::json summary = nlohmann::json::parse(dir.Read("calibration_summary.json"));
  EXPECT_EQ(summary["exit_code"], 18);
  EXPECT_EQ(summary["stop_reason"], "interrupted");
  // The result file keeps the search's best point, and its last General
  // section says how the run ended.
  const ResultFile result = ParseResultFile(dir.Read("Optimization_result.txt"));
  ASSERT_NE(FindSection(result, "Params"), nullptr);
  EXPECT_EQ(result.sections.back().name, "General");
  bool last18 = false;
  for (const KeyLine& key : result.sections.back().keys) {
    if (key.key == "Exit Code") last18 = key.value == "18";
  }
  EXPECT_TRUE(last18) << dir.Read("Optimization_result.txt");
}

TEST(FrontEndOutputs, TenThousandTestsAreWrittenAsANativeJobWithinTenSeconds) {
  // Every test reads one CSV file: 10^4 inputs, 2·10^4 native files.
  TempDir dir;
  dir.Write("txa.csv", kMeasured);
  std::string job = "[model]\nname = \"mohr_coulomb\"\n"
                    "[parameters]\nG = 10000\nnu = 0.25\nphi = 35\nc = 1\n"
                    "[calibrate]\nfree = { G = [5000, 20000] }\n";
  constexpr int kTests = 10000;
  for (int t = 0; t < kTests; ++t) {
    job += "[[tests]]\nname = \"T" + std::to_string(t) +
           "\"\ntype = \"triaxial_compression\"\ncell_pressure = 100\naxial_strain = 0.05\n"
           "[[tests.curves]]\nfile = \"txa.csv\"\nx = \"axial_strain\"\ny = \"deviator_stress\"\n";
  }
  dir.Write("job.toml", job);
  // The program's own time (user and system), which a machine busy with
  // other work does not stretch as it stretches the wall clock: about 4 s,
  // nearly all of it the file system making 2·10^4 files. The pairwise
  // check of outputs against inputs did not end in 300 s.
  const double before = ChildCpuSeconds();
  const ProcessRun run = Soilcal({"--write-native", "native", "job.toml"}, dir.path());
  const double seconds = ChildCpuSeconds() - before;
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_LT(seconds, 10.0);
  EXPECT_TRUE(fs::exists(dir.path() / "native" / "T9999_1.TXT"));
  EXPECT_TRUE(fs::exists(dir.path() / "native" / "T9999.VLT"));
}

TEST(FrontEndOutputs, SmallerMistakesEachGetTheirSentence) {
  // A missing user-model library is named with the folder it was looked for in.
  {
    TempDir dir;
    CopyExample("udsm_job", dir.path());
    for (const char* test : {"TRIAX100.VLT", "TRIAX200.VLT"}) {
      std::string text = dir.Read(test);
      text.replace(text.find("usermod.dll"), 11, "nosuchmod.dll");
      dir.Write(test, text);
    }
    const ProcessRun run = Soilcal({"--exit-status", "OPTIM.TXT"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "the user-model library nosuchmod64.dll (material name "
                             "nosuchmod.dll) cannot be loaded from the folder "))
        << run.err;
  }
  // A job folder whose name holds a backslash, given by its absolute path.
  {
    TempDir dir;
    CopyExample("sand_triaxial", dir.path() / "a\\b");
    const ProcessRun run =
        Soilcal({"--exit-status", (dir.path() / "a\\b" / "OPTIM.TXT").string()}, dir.path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.path() / "a\\b" / "Optimization_result.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "a"));
  }
  // A FIFO as the optimisation file is refused at once instead of waited on.
  {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "OPTIM.TXT").c_str(), 0600), 0);
    const auto start = Clock::now();
    const ProcessRun run = Soilcal({"--exit-status", "OPTIM.TXT"}, dir.path());
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 10.0);
    EXPECT_EQ(run.exitStatus, 12) << run.err;
    EXPECT_TRUE(Has(run.err, "cannot be opened (it is a FIFO (a named pipe), not a regular file)"))
        << run.err;
  }
}

}  // namespace
}  // namespace soilcal::acceptance
