// The Karlsruhe study of hypoplastic sand: the five drained triaxial tests of
// Karlsruhe fine sand (examples/hypoplastic_sand/data, Wichtmann and
// Triantafyllidis 2016) simulated with the parameter set published for this
// sand, then with hs, n, alpha and beta calibrated on them (phi_c, ed0, ec0
// and ei0 fixed, as index tests give them), once on the deviator curves and
// once on the deviator and volumetric curves. Each test starts at its own
// measured void ratio and cell pressure. Printed per test: the mean relative
// error of the deviator q (the measure of the program's objective) and the
// root mean square error of the volumetric strain in percentage points (a
// relative error means nothing on a curve that crosses zero), over the rows
// from 0.05 % to 10 % axial strain; per calibration its values, whether it
// converged and the correlation of the four parameters.
//
//   hypoplastic_karlsruhe_study [DATA_FOLDER] [--no-calibration] [--figures=FOLDER]
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/karlsruhe/karlsruhe_calibration.hpp"
#include "bench/karlsruhe/karlsruhe_figures.hpp"

namespace {

using namespace karlsruhe;

void Table(const char* title, const Parameters& p, const std::vector<Measured>& tests) {
  std::printf("\n%s\n", title);
  std::printf("| test | sigma3' (kPa) | e0 | q_max to 10 %% measured | simulated | MRE of q (%%) | RMSE of eps_v (%%) |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  double mean = 0.0, meanV = 0.0;
  for (const Measured& m : tests) {
    const Errors e = Compare(Drained(p, m.cell, m.e0, m.axial.back() + kStep), m);
    std::printf("| %s | %.1f | %.4f | %.1f | %.1f | %.2f | %.2f |\n", m.name.c_str(), m.cell, m.e0,
                e.qPeakMeasured, e.qPeakSimulated, e.qRelative, e.volumetricRms);
    mean += e.qRelative / static_cast<double>(tests.size());
    meanV += e.volumetricRms / static_cast<double>(tests.size());
  }
  std::printf("| mean | | | | | %.2f | %.2f |\n", mean, meanV);
}

void Report(const char* what, const Calibration& c, double seconds) {
  static const char* names[] = {"hs (MPa)", "n", "alpha", "beta"};
  std::printf("\nCalibration on %s: %s after %d Levenberg-Marquardt iterations, %d evaluations, "
              "%.0f s, sum of squares %.8g; subplex from there gains %.2g of it\n",
              what, c.converged ? "converged" : "NOT converged", c.restarts, c.evaluations,
              seconds, c.objective, c.subplexGain);
  std::printf("| parameter | published | calibrated | bounds |\n|---|---:|---:|---|\n");
  const double published[] = {4000.0, 0.27, 0.14, 2.5};
  for (std::size_t j = 0; j < kFree; ++j) {
    std::printf("| %s | %g | %.5g%s | %g–%g |\n", names[j], published[j], c.x[j],
                c.atBound[j] ? " (on its bound)" : "", kLower[j], kUpper[j]);
  }
  if (!c.correlationOk) {
    std::printf("correlation: not available (a perturbed simulation failed)\n");
    return;
  }
  std::printf("correlation (Gauss-Newton, at the optimum):\n| | hs | n | alpha | beta |\n"
              "|---|---:|---:|---:|---:|\n");
  for (std::size_t i = 0; i < kFree; ++i) {
    std::printf("| %s |", names[i]);
    for (std::size_t j = 0; j < kFree; ++j) std::printf(" %.3f |", c.correlation[i][j]);
    std::printf("\n");
  }
}

double Seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = SOILCAL_SOURCE_DIR "/examples/hypoplastic_sand/data";
  std::string figures;
  bool calibrate = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-calibration") == 0) calibrate = false;
    else if (std::strncmp(argv[i], "--figures=", 10) == 0) figures = argv[i] + 10;
    else folder = argv[i];
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // the calibrations take minutes: show progress
  std::vector<Measured> tests;
  for (const char* name : {"TMD06", "TMD07", "TMD08", "TMD09", "TMD10"}) {
    tests.push_back(Read(folder, name));
    if (tests.back().axial.empty()) {
      std::fprintf(stderr, "no rows read from %s/%s.csv\n", folder.c_str(), name);
      return 1;
    }
  }
  // After the isotropic consolidation the intergranular strain is saturated
  // along it (rho0 = 1); a start at delta = 0 is shown for comparison.
  Parameters published = hypoplastic::element::KarlsruheFineSand(true);
  published.tolerance = 1e-4;
  published.rho0 = 1.0;
  Table("Published set (hs = 4000 MPa, n = 0.27, alpha = 0.14, beta = 2.5), rho0 = 1", published,
        tests);
  Parameters fresh = published;
  fresh.rho0 = 0.0;
  Table("Published set, intergranular strain starting at 0 (rho0 = 0)", fresh, tests);
  std::vector<LabelledSet> sets{{"published", published}};
  if (calibrate) {
    const std::array<double, kFree> start{4000.0, 0.27, 0.14, 2.5};
    double t0 = Seconds();
    const Calibration q = Calibrate(published, tests, false, start);
    Report("the deviator curves", q, Seconds() - t0);
    Table("Calibrated on the deviator curves", WithFree(published, q.x), tests);
    t0 = Seconds();
    const Calibration qv = Calibrate(published, tests, true, start);
    Report("the deviator and volumetric curves", qv, Seconds() - t0);
    Table("Calibrated on the deviator and volumetric curves", WithFree(published, qv.x), tests);
    sets.push_back({"calibrated on q", WithFree(published, q.x)});
    sets.push_back({"calibrated on q and εv", WithFree(published, qv.x)});
  }
  if (!figures.empty()) {
    std::printf("\nFigures in %s\n", figures.c_str());
    std::error_code ignored;
    std::filesystem::create_directories(figures, ignored);
    if (!WriteFigures(figures, tests, sets)) {
      std::fprintf(stderr, "the figures could not be made or written in %s\n", figures.c_str());
      return 1;
    }
  }
  return 0;
}
