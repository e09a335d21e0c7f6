// Coverage study of the uncertainty estimate: synthetic jobs with known
// parameters, their curves simulated at the truth and given relative
// Gaussian noise of known size, each replicate fitted and its intervals and
// flags compared with the truth.
//
//   build/soilcal_coverage [--replicates=N] [--noise=0.02]
//                          [--noise-of=measured|true] [--design=NAME]...
//
// Every replicate's fit starts at the true parameters (Sbplx, restarted
// once with a smaller step): the study judges the intervals, not the search.
// Replicates run on all threads, each on its own objective with its own
// noise stream (seeded by design and replicate), and are tallied in order,
// so the table is the same on any number of threads.
#include <omp.h>

#include <nlopt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/uncertainty.hpp"
#include "services/library.hpp"
#include "services/run_services.hpp"
#include "tests/labtest/lab_records.hpp"

namespace soilcal::bench {
namespace {

namespace opt = optimisation;

double SinDeg(double degrees) { return std::sin(degrees * std::numbers::pi / 180.0); }

struct FreeParameter {
  std::string name;
  int slot;
  double lower, upper;
};

struct Design {
  std::string name;
  std::string words;
  std::unique_ptr<input::Job> truth;  // material at the true values, tests, no curves yet
  std::vector<FreeParameter> free;
  std::vector<double> cells;          // cell pressures of the triaxial tests
  double axialStrain = -0.05;
  int steps = 40;
  double tolerance = 1e-7;
  bool volumetric = false;            // also the volumetric curves
};

// Deviator (code 5) and, when asked, volumetric strain (code -6) against
// axial compression (code -14) at every second recorded point.
std::vector<input::Curve> TrueCurves(const Design& d, const input::LabTest& test,
                                     const models::ModelResources& res) {
  testing::RunOutcome out = testing::Simulate(*d.truth, test, res);
  std::vector<input::Curve> curves;
  for (int y : d.volumetric ? std::vector<int>{5, -6} : std::vector<int>{5}) {
    input::Curve c;
    c.xCode = -14;
    c.yCode = y;
    c.nSegments = 1;
    for (int k = 3; k <= out.run.nRecorded; k += 2) {
      c.x.push_back(input::CurveQuantity(out.ctx->rec.Point(k), c.xCode));
      c.y.push_back(input::CurveQuantity(out.ctx->rec.Point(k), c.yCode));
    }
    c.nPoints = static_cast<int>(c.x.size());
    c.segmentSizes = {c.nPoints};
    curves.push_back(std::move(c));
  }
  return curves;
}

// The job at the truth with its exact curves.
input::Job ExactJob(const Design& d, const models::ModelResources& res) {
  input::Job job = *d.truth;
  job.projectFolder = "./";
  for (double cell : d.cells) {
    input::LabTest t = testing::TriaxialCompression(job.modelNumber, d.axialStrain, d.steps,
                                                    d.tolerance, cell);
    t.curves = TrueCurves(d, t, res);
    t.nCurves = static_cast<int>(t.curves.size());
    for (std::size_t c = 0; c < t.curves.size(); ++c) {
      t.curveFiles.push_back("./CURVE_" + std::to_string(static_cast<int>(cell)) + "_" +
                             std::to_string(c) + ".TXT");
    }
    job.tests.push_back(std::move(t));
  }
  job.settings.nParams = static_cast<int>(d.free.size());
  job.settings.intensity = 1;
  job.settings.tolerance = 1e-6;
  for (const FreeParameter& f : d.free) {
    job.settings.index.push_back(f.slot);
    job.settings.lower.push_back(f.lower);
    job.settings.upper.push_back(f.upper);
  }
  return job;
}

// Standard normal numbers by Box-Muller from the 64-bit Mersenne twister,
// whose sequence the standard fixes.
class Normal {
 public:
  explicit Normal(std::uint64_t seed) : engine_(seed) {}
  double Next() {
    const double u1 = (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
    const double u2 = static_cast<double>(engine_() >> 11) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

 private:
  std::mt19937_64 engine_;
};

struct FitState {
  opt::Problem* problem;
  const input::OptimisationSettings* settings;
  std::vector<double> x;
  long evaluations = 0;
};

double FitObjective(unsigned n, const double* u, double*, void* data) {
  auto& s = *static_cast<FitState*>(data);
  for (unsigned j = 0; j < n; ++j) {
    s.x[j] = s.settings->lower[j] + u[j] * (s.settings->upper[j] - s.settings->lower[j]);
  }
  ++s.evaluations;
  const opt::Evaluation e = s.problem->Evaluate(s.x);
  return e.status == 0 ? std::min(e.objective, 1e21) : 1e21;
}

// Least squares from the truth: Sbplx in scaled coordinates, then once more
// with a tenth of the step.
std::vector<double> Fit(opt::Problem& problem, const input::OptimisationSettings& o,
                        const std::vector<double>& start, long& evaluations) {
  const auto n = static_cast<unsigned>(start.size());
  std::vector<double> u(n);
  for (unsigned j = 0; j < n; ++j) u[j] = (start[j] - o.lower[j]) / (o.upper[j] - o.lower[j]);
  FitState state{&problem, &o, std::vector<double>(n), 0};
  for (double step : {0.02, 0.002}) {
    nlopt_opt fit = nlopt_create(NLOPT_LN_SBPLX, n);
    nlopt_set_lower_bounds1(fit, 0.0);
    nlopt_set_upper_bounds1(fit, 1.0);
    nlopt_set_min_objective(fit, FitObjective, &state);
    nlopt_set_initial_step1(fit, step);
    nlopt_set_ftol_rel(fit, 1e-12);
    nlopt_set_xtol_rel(fit, 1e-10);
    nlopt_set_maxeval(fit, 2000);
    double reached = 0.0;
    nlopt_optimize(fit, u.data(), &reached);
    nlopt_destroy(fit);
  }
  evaluations = state.evaluations;
  std::vector<double> x(n);
  for (unsigned j = 0; j < n; ++j) x[j] = o.lower[j] + u[j] * (o.upper[j] - o.lower[j]);
  return x;
}

struct ParameterOutcome {
  bool linearCovers = false, profileCovers = false;
  bool linearFinite = false;
  double z = 0.0;  // (estimate - truth) / standard error
  std::vector<std::string> linearFlags, profileFlags;
};

struct Replicate {
  bool usable = false;
  std::vector<ParameterOutcome> parameters;
  long fitEvaluations = 0, uncertaintyEvaluations = 0;
};

std::vector<std::string> Keys(const opt::ParameterUncertainty& p) {
  std::vector<std::string> keys;
  for (const opt::UncertaintyFlag& f : p.flags) keys.push_back(opt::FlagKey(f.kind));
  return keys;
}

// How the noise is put on a measured value y: kMeasured makes the deviation
// relative to the measured value Gaussian, y / (1 - e), the error model of
// the objective, which divides by the measured value; kTrue makes it
// relative to the true value, y (1 + e), which the objective's least squares
// turns into a bias of about -2 sigma^2 in the fitted curve level.
enum class NoiseModel { kMeasured, kTrue };

Replicate RunReplicate(const Design& d, const input::Job& exact, const models::ModelResources& res,
                       const std::vector<double>& truth, double noise, NoiseModel model,
                       std::uint64_t seed) {
  input::Job job = exact;
  Normal normal(seed);
  for (input::LabTest& t : job.tests) {
    for (input::Curve& c : t.curves) {
      for (double& y : c.y) {
        const double e = noise * normal.Next();
        y = model == NoiseModel::kMeasured ? y / (1.0 - e) : y * (1.0 + e);
      }
    }
  }
  opt::JobObjective objective(job, res);
  Replicate r;

  const std::vector<double> best = Fit(objective, job.settings, truth, r.fitEvaluations);
  opt::UncertaintyOptions options;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;
  options.threads = 1;
  const opt::UncertaintyResult linear = opt::EstimateUncertainty(objective, best, options);
  options.profiles = true;
  const opt::UncertaintyResult profile = opt::EstimateUncertainty(objective, best, options);
  r.uncertaintyEvaluations = profile.jacobianEvaluations + profile.profileEvaluations;
  if (!linear.computed || !profile.computed) return r;
  r.usable = true;
  for (std::size_t j = 0; j < truth.size(); ++j) {
    ParameterOutcome p;
    const opt::ParameterUncertainty& l = linear.parameters[j];
    p.linearFinite = std::isfinite(l.standardError);
    p.linearCovers = l.low95 <= truth[j] && truth[j] <= l.high95;
    p.z = (l.value - truth[j]) / l.standardError;
    const opt::ProfileInterval& pi = *profile.parameters[j].profile;
    // A side that does not close reaches the bound.
    const double low = pi.low.limit.value_or(d.free[j].lower);
    const double high = pi.high.limit.value_or(d.free[j].upper);
    p.profileCovers = low <= truth[j] && truth[j] <= high;
    p.linearFlags = Keys(l);
    p.profileFlags = Keys(profile.parameters[j]);
    r.parameters.push_back(std::move(p));
  }
  return r;
}

void Report(const Design& d, const std::vector<Replicate>& reps, double seconds, double noise,
            NoiseModel model) {
  int usable = 0;
  long fit = 0, unc = 0;
  for (const Replicate& r : reps) {
    if (!r.usable) continue;
    ++usable;
    fit += r.fitEvaluations;
    unc += r.uncertaintyEvaluations;
  }
  std::printf("\n%s: %s\n  %zu replicates (%d usable), relative noise %.1f %% (of the %s "
              "value), %.1f s; evaluations per replicate: fit %.0f, Jacobian and profiles %.0f\n",
              d.name.c_str(), d.words.c_str(), reps.size(), usable, noise * 100.0,
              model == NoiseModel::kMeasured ? "measured" : "true", seconds,
              usable ? static_cast<double>(fit) / usable : 0.0,
              usable ? static_cast<double>(unc) / usable : 0.0);
  const char* kinds[] = {"near_bound", "insensitive", "correlated", "ill_conditioned",
                         "not_identifiable", "search_short"};
  std::printf("  %-12s %9s %9s %7s %7s", "parameter", "linear %", "profile %", "mean z", "sd z");
  for (const char* k : kinds) std::printf(" %16s", k);
  std::printf("\n");
  for (std::size_t j = 0; j < d.free.size(); ++j) {
    int lin = 0, pro = 0, finite = 0;
    double zSum = 0.0, zSquares = 0.0;
    std::map<std::string, int> linearFlags, profileFlags;
    for (const Replicate& r : reps) {
      if (!r.usable) continue;
      const ParameterOutcome& p = r.parameters[j];
      lin += p.linearCovers;
      pro += p.profileCovers;
      if (p.linearFinite && std::isfinite(p.z)) {
        ++finite;
        zSum += p.z;
        zSquares += p.z * p.z;
      }
      for (const std::string& k : p.linearFlags) ++linearFlags[k];
      for (const std::string& k : p.profileFlags) ++profileFlags[k];
    }
    auto pct = [&](int k) { return usable ? 100.0 * k / usable : 0.0; };
    // The spread of (estimate - truth) / SE: mean 0 and deviation 1 when
    // the estimate is unbiased and its standard error right.
    const double zMean = finite ? zSum / finite : 0.0;
    const double zSd = finite > 1 ? std::sqrt(std::max(0.0, (zSquares - finite * zMean * zMean) / (finite - 1))) : 0.0;
    std::printf("  %-12s %9.1f %9.1f %7.2f %7.2f", d.free[j].name.c_str(), pct(lin), pct(pro), zMean, zSd);
    // Flag rates: linearised / with profiles.
    for (const char* k : kinds) {
      char cell[32];
      std::snprintf(cell, sizeof cell, "%.1f/%.1f", pct(linearFlags[k]), pct(profileFlags[k]));
      std::printf(" %16s", cell);
    }
    std::printf("\n");
  }
}

std::vector<Design> Designs() {
  std::vector<Design> designs;
  {
    Design d;
    d.name = "mohr_coulomb";
    d.words = "Mohr-Coulomb, drained triaxials at 50, 100, 200 kPa to 5 %, deviator curves; G and phi free";
    d.truth = testing::MakeJob(102, {.G = 20000.0, .nu = 0.3, .sinPhi = SinDeg(32.0), .c = 2.0,
                                     .sinPsi = SinDeg(8.0)});
    d.free = {{"G", 1, 5000.0, 60000.0}, {"sin phi", 3, SinDeg(20.0), SinDeg(45.0)}};
    d.cells = {50.0, 100.0, 200.0};
    designs.push_back(std::move(d));
  }
  {
    Design d;
    d.name = "hardening_soil";
    d.words = "Hardening Soil, drained triaxials at 100 and 300 kPa to 8 %, deviator curves, "
              "tolerance 0.0025; E50ref and phi free";
    d.truth = testing::HsJob(106, {.e50 = 20000.0, .eur = 60000.0, .eoed = 20000.0, .nu = 0.2,
                                   .m = 0.5, .pref = 100.0, .phiDeg = 32.0, .psiDeg = 2.0, .c = 2.0,
                                   .k0nc = 1.0 - SinDeg(32.0)});
    d.free = {{"E50ref", 40, 10000.0, 30000.0}, {"sin phi", 3, SinDeg(20.0), SinDeg(45.0)}};
    d.cells = {100.0, 300.0};
    d.axialStrain = -0.08;
    d.tolerance = 0.0025;
    designs.push_back(std::move(d));
  }
  {
    Design d;
    d.name = "psi_deviator";
    d.words = "Mohr-Coulomb as above with psi free too, deviator curves only (psi has no effect on them)";
    d.truth = testing::MakeJob(102, {.G = 20000.0, .nu = 0.3, .sinPhi = SinDeg(32.0), .c = 2.0,
                                     .sinPsi = SinDeg(8.0)});
    d.free = {{"G", 1, 5000.0, 60000.0},
              {"sin phi", 3, SinDeg(20.0), SinDeg(45.0)},
              {"sin psi", 5, 0.0, SinDeg(20.0)}};
    d.cells = {50.0, 100.0, 200.0};
    designs.push_back(std::move(d));
  }
  {
    Design d;
    d.name = "hs_short";
    d.words = "Hardening Soil as above but the curves end at 0.6 % axial strain, before failure: "
              "phi only from the curvature of the hyperbola";
    d.truth = testing::HsJob(106, {.e50 = 20000.0, .eur = 60000.0, .eoed = 20000.0, .nu = 0.2,
                                   .m = 0.5, .pref = 100.0, .phiDeg = 32.0, .psiDeg = 2.0, .c = 2.0,
                                   .k0nc = 1.0 - SinDeg(32.0)});
    d.free = {{"E50ref", 40, 10000.0, 30000.0}, {"sin phi", 3, SinDeg(20.0), SinDeg(45.0)}};
    d.cells = {100.0, 300.0};
    d.axialStrain = -0.006;
    d.tolerance = 0.0025;
    designs.push_back(std::move(d));
  }
  return designs;
}

}  // namespace
}  // namespace soilcal::bench

int main(int argc, char** argv) {
  using namespace soilcal;
  int replicates = 200;
  double noise = 0.02;
  bench::NoiseModel model = bench::NoiseModel::kMeasured;
  std::vector<std::string> only;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--replicates=", 13) == 0) replicates = std::atoi(argv[i] + 13);
    else if (std::strncmp(argv[i], "--noise=", 8) == 0) noise = std::atof(argv[i] + 8);
    else if (std::strncmp(argv[i], "--design=", 9) == 0) only.emplace_back(argv[i] + 9);
    else if (std::strcmp(argv[i], "--noise-of=true") == 0) model = bench::NoiseModel::kTrue;
    else if (std::strcmp(argv[i], "--noise-of=measured") == 0) model = bench::NoiseModel::kMeasured;
    else {
      std::fprintf(stderr, "usage: soilcal_coverage [--replicates=N] [--noise=0.02] "
                           "[--noise-of=measured|true] [--design=NAME]...\n");
      return 2;
    }
  }
  services::SharedLibrary capLibrary;
  models::ModelResources res;
  const bool haveCap = models::hardening_soil::LoadCapLibrary(capLibrary, res.capItr) ==
                       models::hardening_soil::CapLibraryLoad::kLoaded;
  std::printf("Coverage of the 95 %% intervals (share of replicates whose interval holds the "
              "truth) and flag rates (linearised / with profiles), in %%; %d threads\n",
              omp_get_max_threads());
  std::uint64_t designNumber = 0;
  for (const bench::Design& d : bench::Designs()) {
    ++designNumber;
    if (!only.empty() && std::find(only.begin(), only.end(), d.name) == only.end()) continue;
    if (d.truth->modelNumber % 100 == 6 && !haveCap) {
      std::printf("\n%s: skipped, the cap library cannot be loaded\n", d.name.c_str());
      continue;
    }
    const auto started = std::chrono::steady_clock::now();
    const input::Job exact = bench::ExactJob(d, res);
    std::vector<double> truth;
    for (const bench::FreeParameter& f : d.free) truth.push_back(d.truth->material.params[f.slot]);
    std::vector<bench::Replicate> reps(static_cast<std::size_t>(replicates));
#pragma omp parallel
    {
      // Each thread its own run state: units, diagnostics, messages.
      services::RunServices services;
      services::ServicesBinding binding(services);
#pragma omp for schedule(dynamic, 1)
      for (int r = 0; r < replicates; ++r) {
        reps[static_cast<std::size_t>(r)] =
            bench::RunReplicate(d, exact, res, truth, noise, model, designNumber * 100000 + r);
      }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    bench::Report(d, reps, took.count(), noise, model);
    std::fflush(stdout);
  }
  return 0;
}
