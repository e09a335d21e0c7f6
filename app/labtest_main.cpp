// soilcal-labtest TESTFILE [--derived] [--report FILE.html]
// [--extended-models] [--solver=fast|prescribed] [--stop-at-liquefaction]:
// simulates one laboratory-test file with the file's own
// material parameters and prints every recorded point; --derived adds p, q,
// εv, ε1 and the pore pressure as aligned columns, --report writes an HTML
// page with the test's curves, --extended-models lets the Sekiguchi-Ohta
// models run.
#include <cstdio>
#include <string>

#include "report/labtest_command.hpp"
#include "services/version.hpp"

namespace {

// TESTFILE and the options in any order; false on anything else.
bool ParseArguments(int argc, char** argv, soilcal::report::LabTestCommand& args) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("soilcal-labtest %s\n", soilcal::kVersion);
    return 0;
  }
  const bool help = argc == 2 && std::string(argv[1]) == "--help";
  soilcal::report::LabTestCommand args;
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
  return soilcal::report::RunLabTestCommand(args);
}
