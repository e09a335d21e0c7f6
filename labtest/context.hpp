// The simulation context of one evaluation: everything a simulated test
// changes lives here, never in process-wide variables, so several contexts
// can run on several threads at once and give the numbers each gives alone.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "input/curve_quantity.hpp"
#include "input/records.hpp"
#include "models/family.hpp"
#include "models/material.hpp"
#include "models/stress_call.hpp"
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

  // First prediction of the step's strain increment (IterationAcceleration).
  Vec6 du0{};
  // Relaxation applied in the current iteration (1.0 in iterations 1 and 2).
  double iterRelaxation = 1.0;
  // Last inverted iteration matrix and its inverse: a step whose matrix is
  // bit for bit the same (constant stiffness, same control) reuses it.
  Mat6 invertedMatrix{};
  bool inverseValid = false;
  // Transpose of the inverse the current step iterates with (MatVecTransposed).
  Mat6 inverseTransposed{};
  // Refresh the shear modulus (GenMat) before every load step.
  bool stressDependent = false;
  // Cap of the pore pressure: the offset is factor * head; the default cap
  // of 1e30 never acts.
  double waterPressureCap = 1e30;
  double waterPressureFactor = 0.0;
  double waterPressureHead = 0.0;
};

// The mesh the stress-point loop walks: in the lab one cluster with one soil
// element carrying one stress point (the material point above).
struct LabMesh {
  int nClusters = 1;
  int firstElement = 1;   // of the single cluster
  int lastElement = 1;
  int pointsPerElement = 1;
  int nDimensions = 3;
};

// Recorded points of the last run: point 1 the initial state, then one per
// accepted load step. Point k is at index k - 1 of each array.
struct Recording {
  std::vector<double> time;
  std::vector<Vec6> strain;
  std::vector<Vec6> stress;
  std::vector<double> pw;
  int nRecorded = 0;      // 0 until the first step is accepted
  int capacity = 0;

  // Point k (1-based) as the curve quantities read it.
  input::RecordedPoint Point(int k) const {
    const auto i = static_cast<std::size_t>(k - 1);
    return input::RecordedPoint{time[i], strain[i], stress[i], pw[i]};
  }
};

// Which iteration solves a load step. The prescribed one iterates with the
// elastic matrix and converges linearly; its results are the program's
// exact figures. The fast one (Broyden's update of the same matrix) needs a
// few iterations per plastic step and meets the same tolerance, so its
// curves differ from the prescribed ones within that tolerance; a step it
// cannot converge is solved by the prescribed iteration.
enum class StepSolver { kPrescribed, kFast };

// Counts of the step solver over the life of a context.
struct StepSolverStats {
  long steps = 0;              // accepted steps
  long iterations = 0;         // their equilibrium iterations
  long plasticSteps = 0;       // accepted steps ending plastic
  long plasticIterations = 0;  // their equilibrium iterations
  long fallbacks = 0;          // fast steps handed to the prescribed iteration
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
  // Family of `familyModel`, looked up once per test for the stress-point loop.
  const models::ModelFamily* family = nullptr;
  int familyModel = -1;
  const input::LabTest* test = nullptr;
  MaterialPoint point;
  // The call record of the lean stress-point path, reused from iteration to
  // iteration: MatSigLean fills every field a routine reads before each call.
  models::StressCall call{models::StressCall::StiffnessFilledLater{}};
  Recording rec;
  models::MatSigCounters counters;   // of the last stress-point update
  double relativeError = 0.0;        // SumErr / max(1, SumWt) of the last update
  int totalIterations = 0;
  int maxStateVars = 1;
  int runCounters[4] = {0, 0, 0, 0};
  int runFlag = 1;
  services::KernelMessageTexts texts;  // extra texts of a pending kernel error
  // The job's setting: the stiffness routine serves models 31 and 32.
  bool extendedModels = false;
  // Links and state of the user-defined model libraries of this evaluation
  // (models/udsm/session.hpp: made by models::udsm::MakeSession();
  // resources.udsm points at it and resources.texts at `texts`).
  std::shared_ptr<models::udsm::Session> udsmSession;

  LabMesh mesh;
  // Time increment of each phase of the current test, in the file's time
  // unit (a copy: the creep model replaces a zero increment by 1.0).
  std::vector<double> phaseTime;
  int iterationsOfLastStep = 0;      // equilibrium iterations of the last solved step
  double errorOfLastStep = 0.0;      // its final relative error
  // A cyclic test ends at liquefaction instead of going on to its last step.
  bool stopAtLiquefaction = false;
  StepSolver stepSolver = StepSolver::kPrescribed;
  StepSolverStats solverStats;
  int waterPressureResets = 0;       // CapWaterPressure resets of the last update
  int pointsEvaluated = 0;           // stress points of the last update
};

// Makes a context for `job`: set 1 from the job's material (checked by
// CopySoilProp), units from the job. `resources` are the run's loaded
// libraries; their kernel-error texts are pointed at ctx.texts, so the
// context must stay where it is once initialised.
void InitContext(SimulationContext& ctx, const input::Job& job,
                 const models::ModelResources& resources);

}  // namespace soilcal::labtest
