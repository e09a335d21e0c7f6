// Batch runs: several jobs from one command, each a run of its own in its
// own folder, one line per finished job, batch_summary.csv in list order; a
// failing job stops no other, and an interrupt reaches every running job
// once and starts no further one.
#include <gtest/gtest.h>

#include <cmath>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "acceptance_support.hpp"

namespace soilcal::acceptance {
namespace {

namespace fs = std::filesystem;

// A CSV table as rows of fields (RFC 4180 quoting).
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (c == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
    } else {
      field += c;
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

std::string Column(const std::vector<std::vector<std::string>>& table, std::size_t row,
                   const std::string& name) {
  const auto& header = table.front();
  const auto it = std::find(header.begin(), header.end(), name);
  if (it == header.end() || row >= table.size()) return "<missing>";
  const auto col = static_cast<std::size_t>(it - header.begin());
  return col < table[row].size() ? table[row][col] : "<missing>";
}

// A job that ends with a kernel error: model 18 is not served by the lab.
void WriteKernelErrorJob(const fs::path& dir) {
  fs::create_directories(dir);
  LabTestFileDesc test = LabTest(2, MohrCoulombParams(MohrCoulombSoil{}), 100.0,
                                 {TriaxialPhase(-0.05, 50)});
  test.baseModel = 18;
  WriteFile(dir / "TRIAX.VLT", MakeLabTestFile(test));
  WriteFile(dir / "Q.TXT", MakeCurveFile(-14, 5, {MeasuredDeviator(MohrCoulombSoil{}, 100.0)}));
  OptimisationFileDesc opt = GrefAndPhi(1);
  opt.tests = {{"TRIAX.VLT", {"Q.TXT"}}};
  WriteFile(dir / "OPTIM.TXT", MakeOptimisationFile(opt));
}

TEST(Batch, RunsEveryJobAloneAndSummarisesThemInListOrder) {
  TempDir root, single, singleToml;
  CopyExample("sand_triaxial", root.path() / "good");
  CopyExample("sand_triaxial", root.path() / "toml");  // its TOML twin job.toml
  CopyExample("sand_triaxial", root.path() / "good, too");  // a comma to quote
  CopyExample("sand_triaxial", root.path() / "missing");
  fs::remove(root.path() / "missing" / "Q_EPS.TXT");  // run error 10
  WriteKernelErrorJob(root.path() / "kernel");
  root.Write("jobs.txt", "# the second half\n\nmissing/OPTIM.TXT\r\n  good, too/OPTIM.TXT\n");
  const ProcessRun batch = RunProcess(
      BuildPath("soilcal"),
      {"good/OPTIM.TXT", "kernel/OPTIM.TXT", "toml/job.toml", "--jobs-from", "jobs.txt"},
      root.path());

  // The worst status, without --exit-status: run error 10 above the kernel
  // error's 1.
  EXPECT_EQ(batch.exitStatus, 10) << batch.out << batch.err;
  // One line per job and nothing of the jobs' own output.
  const std::vector<std::string> lines = SplitLines(batch.out);
  ASSERT_EQ(lines.size(), 5u) << batch.out;
  for (const std::string& line : lines) EXPECT_EQ(line.rfind("[", 0), 0u) << line;
  EXPECT_EQ(batch.out.find("ERROR ="), std::string::npos);
  EXPECT_EQ(batch.out.find("Header line"), std::string::npos);
  EXPECT_EQ(batch.err, "");
  // Their console output went to each job's log.
  EXPECT_NE(ReadFile(root.path() / "good" / "soilcal_console.log").find(" ERROR = "),
            std::string::npos);
  EXPECT_NE(ReadFile(root.path() / "kernel" / "soilcal_console.log").find("rIroVuzu3"),
            std::string::npos);
  // A TOML job writes into JOB.out/, its log too, each line once though the
  // job keeps a log of its own there.
  const std::string tomlLog = ReadFile(root.path() / "toml" / "job.out" / "soilcal_console.log");
  EXPECT_NE(tomlLog.find(" ERROR = "), std::string::npos);
  const std::size_t header = tomlLog.find(" Header line ");
  ASSERT_NE(header, std::string::npos) << tomlLog;
  EXPECT_EQ(tomlLog.find(" Header line ", header + 1), std::string::npos) << tomlLog;

  // Each job's files are those of a single run of it.
  CopyExample("sand_triaxial", single.path());
  ASSERT_EQ(RunSoilcal("OPTIM.TXT", single.path()).exitStatus, 0);
  for (const char* dir : {"good", "good, too"}) {
    EXPECT_EQ(WithoutTimingLines(ReadFile(root.path() / dir / "Optimization_result.txt")),
              WithoutTimingLines(single.Read("Optimization_result.txt")))
        << dir;
    EXPECT_EQ(ReadFile(root.path() / dir / "Q_EPS.TXT_calculated"),
              single.Read("Q_EPS.TXT_calculated"))
        << dir;
  }
  CopyExample("sand_triaxial", singleToml.path());
  ASSERT_EQ(RunSoilcal("job.toml", singleToml.path()).exitStatus, 0);
  EXPECT_EQ(
      WithoutTimingLines(ReadFile(root.path() / "toml" / "job.out" / "Optimization_result.txt")),
      WithoutTimingLines(ReadFile(singleToml.path() / "job.out" / "Optimization_result.txt")));
  const ResultFile missing =
      ParseResultFile(ReadFile(root.path() / "missing" / "Optimization_result.txt"));
  EXPECT_EQ(KeyValue(missing, "General", "Exit Code"), 10.0);

  // The summary: the jobs in list order, the figures of their own files.
  const auto table = ReadCsv(root.Read("batch_summary.csv"));
  ASSERT_EQ(table.size(), 6u) << root.Read("batch_summary.csv");
  const std::vector<std::string> jobs{"good/OPTIM.TXT", "kernel/OPTIM.TXT", "toml/job.toml",
                                      "missing/OPTIM.TXT", "good, too/OPTIM.TXT"};
  const std::vector<std::string> codes{"0", "1", "0", "10", "0"};
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    EXPECT_EQ(Column(table, k + 1, "job"), jobs[k]);
    EXPECT_EQ(Column(table, k + 1, "exit_code"), codes[k]) << jobs[k];
    EXPECT_GT(std::stod(Column(table, k + 1, "wall_time_s")), 0.0) << jobs[k];
  }
  EXPECT_EQ(Column(table, 2, "exit_name"), "kernel error");
  EXPECT_EQ(Column(table, 4, "exit_name"), "CURVE_FILE_NOT_FOUND");
  EXPECT_EQ(Column(table, 2, "mean_relative_error"), "");
  const ResultFile result = ParseResultFile(single.Read("Optimization_result.txt"));
  const nlohmann::json summary = nlohmann::json::parse(single.Read("calibration_summary.json"));
  const ResultFile tomlResult =
      ParseResultFile(ReadFile(singleToml.path() / "job.out" / "Optimization_result.txt"));
  const nlohmann::json tomlSummary =
      nlohmann::json::parse(ReadFile(singleToml.path() / "job.out" / "calibration_summary.json"));
  for (std::size_t row : {1u, 3u, 5u}) {
    // The TOML job's summary names its free parameters as the job file
    // does, with units: columns of their own, the numbers of its own run.
    const bool toml = row == 3;
    const ResultFile& r = toml ? tomlResult : result;
    const nlohmann::json& j = toml ? tomlSummary : summary;
    EXPECT_EQ(std::stod(Column(table, row, "mean_relative_error")),
              KeyValue(r, "Objective info", "Relative Error"));
    EXPECT_EQ(std::stod(Column(table, row, "objective")), j["best"]["objective"].get<double>());
    EXPECT_EQ(std::stol(Column(table, row, "evaluations")), j["evaluations"].get<long>());
    EXPECT_EQ(std::stod(Column(table, row, toml ? "G (kPa)" : "Gref")), KeyValue(r, "Params", "Gref"));
    if (toml) {
      // φ in degrees, as the job file gives it; the result file keeps the sine.
      const double phi = std::stod(Column(table, row, "phi (°)"));
      EXPECT_EQ(phi, j["parameters"][1]["calibrated"].get<double>());
      EXPECT_NEAR(std::sin(phi * std::acos(-1.0) / 180.0), KeyValue(r, "Params", "phi"), 1e-12);
    } else {
      EXPECT_EQ(std::stod(Column(table, row, "phi")), KeyValue(r, "Params", "phi"));
    }
    EXPECT_EQ(Column(table, row, toml ? "Gref" : "G (kPa)"), "");
  }
}

// A search of seconds (intensity 3, a 5000-step test, a few ms an
// evaluation).
void WriteLongJob(const fs::path& dir) {
  fs::create_directories(dir);
  WriteFile(dir / "TRIAX.VLT",
            MakeLabTestFile(LabTest(2, MohrCoulombParams(Soil(8000.0, 0.4)), 100.0,
                                    {TriaxialPhase(-0.05, 5000)})));
  WriteFile(dir / "Q.TXT", MakeCurveFile(-14, 5, {MeasuredDeviator(Soil(12000.0, 0.5), 100.0)}));
  OptimisationFileDesc opt = GrefAndPhi(3);
  opt.tolerance = 1e-12;
  opt.tests = {{"TRIAX.VLT", {"Q.TXT"}}};
  WriteFile(dir / "OPTIM.TXT", MakeOptimisationFile(opt));
}

// A batch of three long jobs a/, b/, c/ in `root`, two at a time, its
// output discarded; the caller signals and reaps it (an alarm ends it after
// two minutes whatever happens).
pid_t StartBatchOfThreeLongJobs(const fs::path& root) {
  const std::string program = BuildPath("soilcal");
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(root.c_str()) != 0) ::_exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::alarm(120);
    ::execl(program.c_str(), program.c_str(), "--exit-status", "--jobs=2", "a/OPTIM.TXT",
            "b/OPTIM.TXT", "c/OPTIM.TXT", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

TEST(Batch, AnInterruptReachesEveryRunningJobOnceAndStartsNoMore) {
  TempDir root;
  for (const char* dir : {"a", "b", "c"}) WriteLongJob(root.path() / dir);
  const pid_t pid = StartBatchOfThreeLongJobs(root.path());
  ASSERT_GT(pid, 0);
  // Both running jobs are past their reference runs by then.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 18);

  const auto table = ReadCsv(root.Read("batch_summary.csv"));
  ASSERT_EQ(table.size(), 4u) << root.Read("batch_summary.csv");
  for (std::size_t row : {1u, 2u}) {
    EXPECT_EQ(Column(table, row, "exit_code"), "18");
    EXPECT_EQ(Column(table, row, "exit_name"), "USER_ABORT");
    // Aborted runs with their result files complete: the interrupt came
    // once, a second would have ended them at once without one.
    const ResultFile result =
        ParseResultFile(ReadFile(root.path() / (row == 1 ? "a" : "b") / "Optimization_result.txt"));
    EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18.0);
    EXPECT_EQ(KeyValue(result, "Relative Sensitivity", "Gref"), -1.0);
  }
  EXPECT_EQ(Column(table, 3, "exit_code"), "18");
  EXPECT_EQ(Column(table, 3, "exit_name"), "USER_ABORT (not started)");
  EXPECT_FALSE(fs::exists(root.path() / "c" / "Optimization_result.txt"));
}

// The processes whose working folder lies in `root`: the batch's children
// and whatever they started.
std::vector<pid_t> ProcessesIn(const fs::path& root) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const fs::path cwd = fs::read_symlink(entry.path() / "cwd", ec);
    if (ec) continue;
    if (cwd.string().rfind(root.string(), 0) == 0) found.push_back(std::stoi(name));
  }
  return found;
}

TEST(Batch, AHangUpEndsEveryJobAndItsGroupAndStillWritesEveryRow) {
  TempDir root;
  for (const char* dir : {"a", "b", "c"}) WriteLongJob(root.path() / dir);
  const pid_t pid = StartBatchOfThreeLongJobs(root.path());
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  // The closed SSH session: SIGHUP to the batch alone.
  ::kill(pid, SIGHUP);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 18);
  // No job lives on as an orphan.
  EXPECT_TRUE(ProcessesIn(root.path()).empty());

  const auto table = ReadCsv(root.Read("batch_summary.csv"));
  ASSERT_EQ(table.size(), 4u) << root.Read("batch_summary.csv");
  for (std::size_t row : {1u, 2u}) {
    EXPECT_EQ(Column(table, row, "exit_code"), "18");
    EXPECT_EQ(Column(table, row, "exit_name"), "USER_ABORT");
  }
  EXPECT_EQ(Column(table, 3, "exit_name"), "USER_ABORT (not started)");
}

TEST(Batch, TwoJobsWritingIntoOneFolderAreRefusedBeforeAnythingRuns) {
  TempDir root;
  WriteLongJob(root.path() / "a");
  fs::copy_file(root.path() / "a" / "OPTIM.TXT", root.path() / "a" / "OTHER.TXT");
  struct Case {
    std::vector<std::string> jobs;
    std::string first, second;
  };
  const Case cases[] = {
      {{"a/OPTIM.TXT", "a/OTHER.TXT"}, "a/OPTIM.TXT", "a/OTHER.TXT"},
      {{"a/OPTIM.TXT", "./a/../a/optim.txt"}, "a/OPTIM.TXT", "./a/../a/optim.txt"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--exit-status"};
    args.insert(args.end(), c.jobs.begin(), c.jobs.end());
    const ProcessRun run = RunProcess(BuildPath("soilcal"), args, root.path());
    EXPECT_EQ(run.exitStatus, 12) << run.err;
    EXPECT_NE(run.err.find("the jobs " + c.first + " and " + c.second + " of the batch both "
                           "write into a/"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(root.path() / "a" / "Optimization_result.txt"));
    EXPECT_FALSE(fs::exists(root.path() / "a" / "soilcal_console.log"));
    EXPECT_FALSE(fs::exists(root.path() / "batch_summary.csv"));
  }
}

}  // namespace
}  // namespace soilcal::acceptance
