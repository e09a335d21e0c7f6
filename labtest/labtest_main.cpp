// soilcal-labtest TESTFILE [--derived] [--report FILE.html]
// [--extended-models] [--solver=fast|prescribed] [--stop-at-liquefaction]:
// simulates one laboratory-test file with the file's own
// material parameters and prints every recorded point; --derived adds p, q,
// εv, ε1 and the pore pressure as aligned columns, --report writes an HTML
// page with the test's curves, --extended-models lets the Sekiguchi-Ohta
// models run.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "labtest/point_table.hpp"
#include "labtest/test_file_run.hpp"
#include "report/html_report.hpp"
#include "report/labtest_report.hpp"
#include "services/diag.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"
#include "services/version.hpp"

namespace {

using soilcal::services::FormatReal;

using soilcal::labtest::PhaseOfPoint;

struct Arguments {
  std::string testFile;
  bool derived = false;
  bool extendedModels = false;  // --extended-models (or the flag file beside the test file)
  std::string reportFile;  // "" = no report
  soilcal::labtest::SimulationOptions options;
};

// TESTFILE and the options in any order; false on anything else.
bool ParseArguments(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--derived") {
      args.derived = true;
    } else if (a == "--extended-models") {
      args.extendedModels = true;
    } else if (a == "--solver=fast" || a == "--solver=prescribed") {
      args.options.solver = a == "--solver=fast" ? soilcal::labtest::StepSolver::kFast
                                                 : soilcal::labtest::StepSolver::kPrescribed;
    } else if (a == "--stop-at-liquefaction") {
      args.options.stopAtLiquefaction = true;
    } else if (a == "--report" && i + 1 < argc) {
      args.reportFile = argv[++i];
    } else if (a.rfind("--", 0) == 0 || !args.testFile.empty()) {
      return false;
    } else {
      args.testFile = a;
    }
  }
  return !args.testFile.empty();
}

void PrintPoints(const soilcal::input::LabTest& test, const soilcal::labtest::Recording& rec,
                 int nPoints) {
  std::puts(
      "# point phase time eps_xx eps_yy eps_zz gamma_xy gamma_yz gamma_zx "
      "sig_xx sig_yy sig_zz sig_xy sig_yz sig_zx pw");
  for (int k = 1; k <= nPoints; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    std::string line = std::to_string(k);
    line += ' ';
    line += std::to_string(PhaseOfPoint(test, k));
    line += ' ';
    line += FormatReal(rec.time[i]);
    for (double v : rec.strain[i]) {
      line += ' ';
      line += FormatReal(v);
    }
    for (double v : rec.stress[i]) {
      line += ' ';
      line += FormatReal(v);
    }
    line += ' ';
    line += FormatReal(rec.pw[i]);
    std::puts(line.c_str());
  }
}

// The reader's echo of the header line goes to standard error, so that it
// does not mix with the table of points on standard output.
class EchoToStderr : public soilcal::services::ConsoleSink {
 public:
  void Write(soilcal::services::ConsoleStream, std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
};

int Run(const Arguments& args) {
  using namespace soilcal;
  EchoToStderr echo;
  const labtest::TestFileRun simulated =
      labtest::SimulateTestFile(args.testFile, &echo, args.extendedModels, args.options);
  if (simulated.kernelError) throw *simulated.kernelError;
  const input::LabTest& test = simulated.test;
  const labtest::Recording& rec = simulated.rec;
  const labtest::LabTestRun& run = simulated.run;
  const int nPoints = simulated.nPoints;
  const std::string& testFile = args.testFile;
  if (args.derived) {
    std::fputs(labtest::DerivedPointTable(test, rec, nPoints).c_str(), stdout);
  } else {
    PrintPoints(test, rec, nPoints);
  }
  if (!args.reportFile.empty() &&
      !report::WriteTextFile(args.reportFile,
                             report::RenderLabTestReport(test, rec, nPoints, run.status,
                                                         services::BareName(testFile)))) {
    std::fprintf(stderr, "cannot write %s\n", args.reportFile.c_str());
  }
  std::fprintf(stderr, "%s (status %d), %d points recorded.\n",
               run.status == 0 ? "The test completed" : "The test did not finish", run.status,
               run.nRecorded);
  const bool fast = args.options.solver == labtest::StepSolver::kFast;
  std::fputs(labtest::DescribeRun(run, fast).c_str(), stderr);
  return run.status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("soilcal-labtest %s\n", soilcal::kVersion);
    return 0;
  }
  const bool help = argc == 2 && std::string(argv[1]) == "--help";
  Arguments args;
  if (help || !ParseArguments(argc, argv, args)) {
    std::fprintf(help ? stdout : stderr,
                 "usage: soilcal-labtest TESTFILE [--derived] [--report FILE.html] "
                 "[--extended-models] [--solver=fast|prescribed] [--stop-at-liquefaction]\n"
                 "Simulates one lab-test file with its own material parameters and prints the "
                 "recorded points.\n"
                 "  --derived         add the columns p, q, eps_v, eps_1 and pore pressure\n"
                 "  --report FILE     write an HTML page with the stress path and the curves\n"
                 "  --extended-models simulate the Sekiguchi-Ohta models (31, 32) too; so does\n"
                 "                    an empty file extended_models beside the test file\n"
                 "  --solver=fast     solve the load steps by the fast (Broyden) iteration;\n"
                 "  --solver=prescribed  by the elastic-matrix iteration (the default)\n"
                 "  --stop-at-liquefaction  end a cyclic test where it liquefies (r_u 0.98\n"
                 "                    or 3 %% shear strain) instead of at its last step\n"
                 "  --help            this text\n"
                 "  --version         the program's version\n");
    return help ? 0 : 1;
  }
  try {
    return Run(args);
  } catch (const soilcal::services::RunError& e) {
    if (e.code == soilcal::services::kCouldNotLoadZarirudeDll ||
        e.code == soilcal::services::kZarirudeDllIsCorrupt) {
      std::fprintf(stderr, "%s\n", e.detail.c_str());
    } else {
      std::fprintf(stderr, "run error %d%s%s\n", e.code, e.detail.empty() ? "" : ": ",
                   e.detail.c_str());
    }
  } catch (const soilcal::services::KernelAbort& e) {
    std::fprintf(stderr, "%s: %s\n", e.caption.c_str(), e.message.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  }
  return 1;
}
