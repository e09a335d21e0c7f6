#include "report/labtest_command.hpp"

#include <cstdio>
#include <exception>
#include <string_view>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "labtest/point_table.hpp"
#include "labtest/test_file_run.hpp"
#include "report/html_report.hpp"
#include "report/labtest_report.hpp"
#include "services/console.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::report {
namespace {

using services::FormatReal;

// The reader's echo of the header line goes to standard error, so that it
// does not mix with the table of points on standard output.
class EchoToStderr : public services::ConsoleSink {
 public:
  void Write(services::ConsoleStream, std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
};

int Simulate(const LabTestCommand& command) {
  EchoToStderr echo;
  const labtest::TestFileRun simulated =
      labtest::SimulateTestFile(command.testFile, &echo, command.extendedModels,
                                command.options);
  if (simulated.kernelError) throw *simulated.kernelError;
  const input::LabTest& test = simulated.test;
  const labtest::Recording& rec = simulated.rec;
  const labtest::LabTestRun& run = simulated.run;
  const int nPoints = simulated.nPoints;
  const std::string table = command.derived ? labtest::DerivedPointTable(test, rec, nPoints)
                                            : labtest::PointTable(test, rec, nPoints);
  std::fputs(table.c_str(), stdout);
  if (!command.reportFile.empty() &&
      !WriteTextFile(command.reportFile,
                     RenderLabTestReport(test, rec, nPoints, run.status,
                                         services::BareName(command.testFile)))) {
    std::fprintf(stderr, "cannot write %s\n", command.reportFile.c_str());
  }
  std::fprintf(stderr, "%s (status %d), %d points recorded.\n",
               run.status == 0 ? "The test completed" : "The test did not finish", run.status,
               run.nRecorded);
  const bool fast = command.options.solver == labtest::StepSolver::kFast;
  std::fputs(labtest::DescribeRun(run, fast).c_str(), stderr);
  return run.status == 0 ? 0 : 1;
}

}  // namespace

int RunLabTestCommand(const LabTestCommand& command) {
  try {
    return Simulate(command);
  } catch (const services::RunError& e) {
    if (e.code == services::kCouldNotLoadZarirudeDll || e.code == services::kZarirudeDllIsCorrupt) {
      std::fprintf(stderr, "%s\n", e.detail.c_str());
    } else {
      std::fprintf(stderr, "run error %d%s%s\n", e.code, e.detail.empty() ? "" : ": ",
                   e.detail.c_str());
    }
  } catch (const services::KernelAbort& e) {
    std::fprintf(stderr, "%s: %s\n", e.caption.c_str(), e.message.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  }
  return 1;
}

}  // namespace soilcal::report
