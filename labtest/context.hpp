// The simulation context of one evaluation: everything a simulated test
// changes lives here, never in process-wide variables, so several contexts
// can run on several threads at once and give the numbers each gives alone.
#pragma once

#include <array>
#include <vector>

#include "input/records.hpp"
#include "models/family.hpp"
#include "models/material.hpp"
#include "models/tensor.hpp"
#include "services/errors.hpp"

namespace soilcal::labtest {

// State of the single material point of a lab test.
struct MaterialPoint {
  Vec6 sig0{};            // effective stress at the start of the step
  Vec6 sig{};             // effective stress at the end of the step
  Vec6 dEps{};            // trial strain increment of the step
  Vec6 eps{};             // total strain (engineering shear)
  double swp0 = 0.0;      // pore pressure at the start of the step
  double swp = 0.0;       // pore pressure at the end of the step
  std::array<double, models::kStateCapacity> stVar0{};
  std::array<double, models::kStateCapacity> stVar{};
  int nStat = 1;          // number of state variables of the model
  double voidRatio = 0.0;           // current void ratio
  double voidRatioCommitted = 0.0;  // committed at the last accepted step
  double preconsolidation = 0.0;    // smallest principal pre-consolidation stress
  double time = 0.0;
  double dTime = 0.0;     // time increment per step

  // Step control (the mixed-control solver).
  std::array<int, 6> controlFlags{};               // 1 stress, 0 strain prescribed
  std::array<int, 6> porePressureFlags{1, 1, 1, 0, 0, 0};
  Vec6 strainIncrement{};                          // prescribed strain increment per step
  Vec6 stressIncrement{};                          // prescribed total-stress increment per step
  double furtherIncrement = 0.0;
  Vec6 targetStart{};                              // total-stress targets at step start
  Vec6 target{};                                   // current total-stress targets
  double Factor = 1.0;
  double FacOld = 1.0;
  double stepSizeFactor = 1.0;
  double tolerance = 0.01;
  int maxIterations = 200;
  double relaxation = 1.0;
  int initialPrediction = 1;
  int acceleration = 0;

  // Previous iteration values handed to MatSig.
  Vec6 sigPrevIter{};
  Vec6 dEpsPrevIter{};
  int iter = 0;
  int step = 0;           // load-step number counted over the test
};

// Recorded points of the last run: point 1 the initial state, then one per
// accepted load step.
struct Recording {
  std::vector<double> time;
  std::vector<Vec6> strain;
  std::vector<Vec6> stress;
  std::vector<double> pw;
  int nRecorded = 0;      // 0 until the first step is accepted
  int capacity = 0;
};

struct SimulationContext {
  const input::Job* job = nullptr;
  models::ModelResources resources;
  models::ModelConstants k;
  // Material set 1 of the evaluation: the job's material with the free
  // parameters written in; the per-test completion writes derived slots here.
  models::MaterialSet set1;
  // The set the simulation of the current test uses (set 1 after the checks
  // of CopySoilProp and the per-test completion).
  models::MaterialSet set;
  int model = 0;          // reduced model number of the current test
  const input::LabTest* test = nullptr;
  MaterialPoint point;
  Recording rec;
  models::MatSigCounters counters;   // of the last stress-point update
  double relativeError = 0.0;        // SumErr / max(1, SumWt) of the last update
  int totalIterations = 0;
  int maxStateVars = 1;
  int runCounters[4] = {0, 0, 0, 0};
  int runFlag = 1;
  services::KernelMessageTexts texts;  // extra texts of a pending kernel error
};

// Makes a context for `job`: set 1 from the job's material, units from the
// job. `resources` are the run's loaded libraries.
void InitContext(SimulationContext& ctx, const input::Job& job,
                 const models::ModelResources& resources);

}  // namespace soilcal::labtest
