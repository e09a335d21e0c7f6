// Lab tests built in code for the driver tests and the benchmark: a job with
// one material and LabTest records of the classic laboratory tests.
#pragma once

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "input/phases.hpp"
#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"

namespace soilcal::testing {

struct Phase {
  int steps = 10;
  std::array<double, 6> strain{};
  std::array<double, 6> stress{};
  std::array<int, 6> flags{1, 1, 1, 1, 1, 1};
  double time = 0.0;
};

// Mohr-Coulomb sand: G 10 MPa, nu 0.3, phi 30 deg, c 5 kPa, psi 10 deg, no
// tensile strength, porosity 0.4 (kN and m).
struct SoilParams {
  double G = 10000.0, nu = 0.3, sinPhi = 0.5, c = 5.0;
  double sinPsi = std::sin(10.0 * 3.14159265358979323846 / 180.0);
  double tension = 0.0, porosity = 0.4, nuU = 0.495;
};

inline input::LabTest MakeTest(int modelNumber, const std::array<double, 6>& initialStress,
                               const std::vector<Phase>& phases, double tolerance = 1e-7,
                               int maxIterations = 500) {
  input::LabTest t;
  t.testFile = "built-in";
  t.modelNumber = modelNumber;
  t.maxIterations = maxIterations;
  t.tolerance = tolerance;
  t.initialStress = initialStress;
  std::vector<input::Phase> written;
  for (const Phase& p : phases) written.push_back({p.steps, p.time, p.strain, p.stress, p.flags});
  input::WritePhases(written, t);
  return t;
}

// A job whose material (set 1) is `model` with the soil parameters; the
// tests are added by the caller.
inline std::unique_ptr<input::Job> MakeJob(int modelNumber, const SoilParams& s = {}) {
  auto job = std::make_unique<input::Job>();
  job->modelNumber = modelNumber;
  input::MaterialInput& m = job->material;
  m.baseModel = modelNumber % 100;
  m.referencePressure = 100.0;
  const std::pair<int, double> slots[] = {
      {1, s.G}, {2, s.nu}, {3, s.sinPhi}, {4, s.c}, {5, s.sinPsi}, {15, s.tension}, {16, s.tension},
      {20, s.porosity}, {28, s.nuU}, {103, 1.0}};
  for (const auto& [slot, value] : slots) m.params[slot] = value;
  return job;
}

// The sand above as parameters of the example user model (model 21 in
// `library`): E = 2 G (1 + nu), angles in degrees.
inline std::unique_ptr<input::Job> UserJob(int modelNumber, const std::string& library,
                                           const SoilParams& s = {}) {
  constexpr double kDegree = 180.0 / 3.14159265358979323846;
  auto job = MakeJob(modelNumber, s);
  input::MaterialInput& m = job->material;
  m.name = library;
  const std::pair<int, double> slots[] = {
      {31, 2.0 * s.G * (1.0 + s.nu)}, {32, s.nu}, {33, s.c}, {34, std::asin(s.sinPhi) * kDegree},
      {35, std::asin(s.sinPsi) * kDegree}, {36, s.tension}};
  for (const auto& [slot, value] : slots) m.params[slot] = value;
  return job;
}

// Hardening Soil parameters in engineering units (angles in degrees; k0nc -1
// for 1 - sin phi) and a job of model `model` made of them.
struct HsParams {
  double e50 = 20000.0, eur = 60000.0, eoed = 20000.0, nu = 0.2, m = 0.5, pref = 100.0;
  double phiDeg = 30.0, psiDeg = 0.0, c = 0.0, rf = 0.9, k0nc = -1.0, ocr = 1.0;
  double g0ref = 0.0, gamma07 = 0.0;
};

inline std::unique_ptr<input::Job> HsJob(int model, const HsParams& h) {
  constexpr double kRadian = 3.14159265358979323846 / 180.0;
  auto job = MakeJob(model, {.G = h.eur / (2.0 * (1.0 + h.nu)), .nu = h.nu,
                             .sinPhi = std::sin(h.phiDeg * kRadian), .c = h.c,
                             .sinPsi = std::sin(h.psiDeg * kRadian)});
  auto& p = job->material.params;
  const std::pair<int, double> slots[] = {
      {21, 0.0}, {22, 1.0}, {34, h.m}, {35, h.pref}, {37, h.rf}, {38, h.eoed}, {39, h.k0nc},
      {40, h.e50}, {49, h.g0ref}, {50, h.gamma07}, {103, h.ocr}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  return job;
}

// A soft clay of the soft-soil family (kN and m): M 1.2 (models 4 and 8 take
// it from K0nc), K0nc 0.6, kappa* 0.02, lambda* 0.1, mu* 0.004 of model 8 at
// reference time 1 (slot 42 empty), nu 0.15, phi 30 deg, c 1, e0 = 1; the
// shear modulus follows from kappa*.
inline std::unique_ptr<input::Job> SoftClayJob(int model) {
  auto job = MakeJob(model, {.G = 0.0, .nu = 0.15, .c = 1.0, .sinPsi = 0.0, .porosity = 0.5});
  const std::pair<int, double> slots[] = {{31, 1.2}, {37, 0.6}, {38, 0.02}, {39, 0.1}, {40, 0.004}};
  for (const auto& [slot, value] : slots) job->material.params[slot] = value;
  return job;
}

inline constexpr std::array<double, 6> kIsotropic100{-100, -100, -100, 0, 0, 0};

// Drained triaxial compression at the constant cell pressure `s3`
// (compression positive): axial strain eps_yy prescribed, the other
// components stress-prescribed at zero change.
inline input::LabTest TriaxialCompression(int modelNumber, double axialStrain, int steps,
                                          double tolerance = 1e-7, double s3 = 100.0) {
  Phase shear{steps, {0, axialStrain, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  return MakeTest(modelNumber, {-s3, -s3, -s3, 0, 0, 0}, {shear}, tolerance);
}

// Runs `test` on a fresh context of `job` (`res`: the cap library, if any).
struct RunOutcome {
  labtest::LabTestRun run;
  std::unique_ptr<labtest::SimulationContext> ctx;
};

inline RunOutcome Simulate(const input::Job& job, const input::LabTest& test,
                           const models::ModelResources& res = {}) {
  RunOutcome out;
  out.ctx = std::make_unique<labtest::SimulationContext>();
  labtest::InitContext(*out.ctx, job, res);
  labtest::PrepareLabTest(*out.ctx, test);
  out.run = labtest::RunLabTest(*out.ctx);
  return out;
}

}  // namespace soilcal::testing
