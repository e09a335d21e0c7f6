// soilcal-labtest TESTFILE: simulates one laboratory-test file with the
// file's own material parameters and prints every recorded point.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "input/readers.hpp"
#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/library.hpp"
#include "services/version.hpp"

namespace {

using soilcal::services::FormatReal;

// Phase of recorded point k: 0 for the initial point, else the phase whose
// load steps produced it.
int PhaseOfPoint(const soilcal::input::LabTest& test, int k) {
  int last = 1;
  for (int p = 0; p < test.nPhases; ++p) {
    last += std::max(0, test.loadSteps[static_cast<std::size_t>(p)]);
    if (k <= last && k > 1) return p + 1;
  }
  return 0;
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

// Reads the test file with standard output sent to standard error, so the
// reader's echo of the header line does not mix with the table of points.
void ReadTestFile(soilcal::input::LabTest& record) {
  std::fflush(stdout);
  std::cout.flush();
  const int saved = dup(STDOUT_FILENO);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  struct Restore {
    int saved;
    ~Restore() {
      std::cout.flush();
      std::fflush(stdout);
      dup2(saved, STDOUT_FILENO);
      close(saved);
    }
  } restore{saved};
  soilcal::input::LabTest current;
  soilcal::input::ReadLabTestInput(record, current);
}

bool NeedsCapLibrary(int modelNumber) {
  const int base = modelNumber % 100;
  return base == 6 || base == 19;
}

int Run(const std::string& testFile) {
  using namespace soilcal;
  auto job = std::make_unique<input::Job>();
  input::LabTest record;
  record.testFile = testFile;
  ReadTestFile(record);
  job->material = record.material;
  job->modelNumber = record.modelNumber;
  job->tests.push_back(record);

  services::SharedLibrary capLibrary;
  models::ModelResources resources;
  if (NeedsCapLibrary(job->modelNumber)) {
    if (!capLibrary.LoadByName("zarirude.dll")) {
      std::fprintf(stderr, "cannot load zarirude.dll: %s\n", capLibrary.error().c_str());
      return 1;
    }
    void* entry = capLibrary.Symbol("HS_CapItr");
    if (entry == nullptr) {
      std::fprintf(stderr, "zarirude.dll has no HS_CapItr\n");
      return 1;
    }
    resources.capItr = reinterpret_cast<models::HsCapItrFn>(entry);
  }

  auto ctx = std::make_unique<labtest::SimulationContext>();
  labtest::InitContext(*ctx, *job, resources);
  const input::LabTest& test = job->tests.front();
  labtest::PrepareLabTest(*ctx, test);
  const labtest::LabTestRun run = labtest::RunLabTest(*ctx);

  // Point 1 exists once the run got past the initialisation.
  const int nPoints = run.nRecorded > 0 ? run.nRecorded : (ctx->rec.time.empty() ? 0 : 1);
  PrintPoints(test, ctx->rec, nPoints);
  std::fprintf(stderr, "status %d, recorded points %d\n", run.status, run.nRecorded);
  return run.status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("soilcal-labtest %s\n", soilcal::kVersion);
    return 0;
  }
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: soilcal-labtest TESTFILE\n"
                 "Simulates one lab-test file with its own material parameters and prints the "
                 "recorded points.\n"
                 "  --help     this text\n"
                 "  --version  the program's version\n");
    return argc == 2 ? 0 : 1;
  }
  try {
    return Run(argv[1]);
  } catch (const soilcal::services::RunError& e) {
    std::fprintf(stderr, "run error %d%s%s\n", e.code, e.detail.empty() ? "" : ": ",
                 e.detail.c_str());
  } catch (const soilcal::services::KernelAbort& e) {
    std::fprintf(stderr, "%s: %s\n", e.caption.c_str(), e.message.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
  }
  return 1;
}
