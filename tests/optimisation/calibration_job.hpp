// A synthetic calibration job built in code: two drained Mohr-Coulomb
// triaxial tests whose "measured" curves the program itself produced for
// known Gref (slot 1) and sin(phi) (slot 3).
#pragma once

#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"

namespace soilcal::optimisation::testing {

inline constexpr double kTrueG = 10000.0;   // kN/m2
inline constexpr double kTrueSinPhi = 0.5;  // phi = 30 degrees
inline constexpr int kSteps = 50;

// Drained Mohr-Coulomb (model 2, variant 0): nu 0.3, c 5, no dilatancy,
// porosity 0.4.
inline void SetMaterial(input::Job& job, double G, double sinPhi) {
  input::MaterialInput& m = job.material;
  m.baseModel = 2;
  m.referencePressure = 100.0;
  m.params = {};
  const std::pair<int, double> paramsSlots[] = {
      {1, G}, {2, 0.3}, {3, sinPhi}, {4, 5.0}, {20, 0.4}, {103, 1.0}};  // 103: OCR
  for (const auto& [slot, value] : paramsSlots) m.params[slot] = value;
  job.modelNumber = 102;
}

// Triaxial compression from isotropic -cell to 5 % axial strain in kSteps
// steps: axial strain prescribed, lateral stresses held.
inline input::LabTest Triaxial(double cell) {
  input::LabTest t;
  t.modelNumber = 102;
  t.tolerance = 1e-6;
  t.initialStress = {-cell, -cell, -cell, 0, 0, 0};
  t.nPhases = 1;
  t.loadSteps = {kSteps};
  t.capacity = 1 + kSteps;
  t.timeIncrement = {0.0};
  t.prescribedStrain = {{0, -0.05, 0, 0, 0, 0}};
  t.prescribedStress = {{0, 0, 0, 0, 0, 0}};
  t.phaseFlags = {{1, 0, 1, 1, 1, 1}};
  t.controlFlags = t.phaseFlags.back();
  return t;
}

// Deviator q (code 5) against axial compression (code -14) at recorded
// points 2, 4, ..., 50 of a run of `test` with the job's material.
inline input::Curve MeasureDeviatorCurve(const input::Job& job, const input::LabTest& test) {
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, job, models::ModelResources{});
  labtest::PrepareLabTest(ctx, test);
  const int n = labtest::RunLabTest(ctx).nRecorded;
  input::Curve c;
  c.xCode = -14;
  c.yCode = 5;
  c.nSegments = 1;
  for (int k = 2; k <= n; k += 2) {
    c.x.push_back(input::CurveQuantity(ctx.rec.Point(k), c.xCode));
    c.y.push_back(input::CurveQuantity(ctx.rec.Point(k), c.yCode));
  }
  c.nPoints = static_cast<int>(c.x.size());
  c.segmentSizes = {c.nPoints};
  return c;
}

// Tests at cell pressures 100 and 200 with curves measured at the truth and
// files "Q_EPS_<cell>.TXT" in `folder`; the job's material is 30 % off.
inline input::Job RecoveryJob(const std::string& folder) {
  input::Job job;
  job.projectFolder = folder;
  SetMaterial(job, kTrueG, kTrueSinPhi);
  for (int cell : {100, 200}) {
    input::LabTest t = Triaxial(cell);
    t.curves = {MeasureDeviatorCurve(job, t)};
    t.nCurves = 1;
    t.curveFiles = {folder + "Q_EPS_" + std::to_string(cell) + ".TXT"};
    job.tests.push_back(t);
  }
  SetMaterial(job, 1.3 * kTrueG, 0.7 * kTrueSinPhi);
  job.settings = {2, 1, 1e-4, {1, 3}, {0.5 * kTrueG, 0.3}, {2.0 * kTrueG, 0.7}};
  return job;
}

}  // namespace soilcal::optimisation::testing
