#include "labtest/driver.hpp"

#include <algorithm>
#include <array>
#include <new>

#include "input/job_language.hpp"
#include "labtest/cyclic.hpp"
#include "labtest/step_solver.hpp"
#include "labtest/sub_steps.hpp"
#include "models/family.hpp"
#include "models/principal.hpp"
#include "models/setup.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::labtest {
namespace {

constexpr int kStatusInitFailed = 1;
constexpr int kStatusCapFailed = 2;

// Minimum number of state variables of a model (at least 1 for every one).
int MinimumStateVariables(int m) {
  switch (m) {
    case 19: case 36: return 10;
    case 12: case 35: return 2;
    case 33: return 16;
    case 34: return 21;
    default: return 1;
  }
}

bool IsStressDependent(int m) {
  switch (m) {
    case 4: case 5: case 6: case 8: case 19: case 31: case 32: case 34: case 36:
      return true;
    default:
      return false;
  }
}

// Shear modulus and strength values of the point for `stress` (entries 0,
// 2, 3 and 4 of its record in the start-of-step state).
void RunGenMat(SimulationContext& ctx, const Vec6& stress, bool updateMode) {
  MaterialPoint& pt = ctx.point;
  models::GenMatCall call;
  call.prop = &ctx.set.prop;
  call.k = &ctx.k;
  call.model = ctx.model;
  call.stress = stress;
  call.y = 0.0;
  call.epsV = VolumetricStrain(pt.eps);
  call.updateMode = updateMode;
  call.voidRatio = pt.voidRatioCommitted;
  double* record = pt.stVar0.data() + models::kPointMatStatePos;
  models::PointMatState pms;
  pms.Load(record);
  models::GenMat(call, pms);
  pms.Store(record);
}

// Per-test completion of the parameters: run on the simulation set (which
// has been through CopySoilProp), and every slot it changes is written back
// into set 1 too, so the derived values persist there as well.
int CompleteParameters(SimulationContext& ctx) {
  const models::PropSoil before = ctx.set.prop;
  const int status =
      models::PerTestCompletion(ctx.model, ctx.set.prop, ctx.k, ctx.resources);
  if (status != 0) {
    ctx.set.prop = before;
    return kStatusCapFailed;
  }
  for (int slot = 1; slot <= models::kNumSlots; ++slot) {
    if (ctx.set.prop[slot] != before[slot]) ctx.set1.prop[slot] = ctx.set.prop[slot];
  }
  return 0;
}

// Smallest principal stress (the most compressive) of the initial stress
// with its vertical component raised by OCR and POP.
double InitialPreconsolidation(const Vec6& initial, const models::PropSoil& prop) {
  double ocr = prop[103];
  // Most files carry OCR = 1; a missing value (0) means a normally
  // consolidated point rather than a zero vertical stress.
  if (ocr < 1e-10) ocr = 1.0;
  Vec6 s = initial;
  s[1] = s[1] * ocr - prop[104];
  return models::PrincipalStresses(s).s[0];
}

int InitialisePoint(SimulationContext& ctx) {
  MaterialPoint& pt = ctx.point;
  const models::ModelFamily* family = models::FindModelFamily(ctx.model);
  ctx.family = family;
  ctx.familyModel = ctx.model;
  int nStat = MinimumStateVariables(ctx.model);
  pt.stressDependent = IsStressDependent(ctx.model);
  if (family != nullptr) {
    nStat = std::max(nStat, family->minStateVars);
    pt.stressDependent = pt.stressDependent || family->stressDependent;
    if (family->setUp != nullptr) {
      // User-defined models: the library gives its state-variable count and
      // the run's matrix attributes.
      models::ModelSetUpCall setUp;
      setUp.set = &ctx.set;
      setUp.k = &ctx.k;
      setUp.iSet = 1;
      setUp.model = ctx.model;
      setUp.resources = &ctx.resources;
      family->setUp(setUp);
      nStat = std::max(nStat, setUp.nStat);
      pt.stressDependent = pt.stressDependent || setUp.stressDependent != 0;
    }
  }
  pt.nStat = std::min(nStat, models::kStateCapacity - models::kModelStateOffset);
  ctx.maxStateVars = std::max(ctx.maxStateVars, pt.nStat);

  if (services::Diag().on()) services::Diag().Line("call genmat A");
  RunGenMat(ctx, pt.sig0, false);
  pt.preconsolidation = InitialPreconsolidation(pt.sig0, ctx.set.prop);
  const double n0 = ctx.set.prop[20];
  pt.voidRatio = n0 / (1.0 - n0);
  pt.voidRatioCommitted = pt.voidRatio;

  models::PointMatState pms;
  double* record = pt.stVar0.data() + models::kPointMatStatePos;
  pms.Load(record);
  models::PointInitCall call;
  call.prop = &ctx.set.prop;
  call.k = &ctx.k;
  call.model = ctx.model;
  call.modelCode = ctx.set.modelCode;
  call.iSet = 1;
  call.initialStress = pt.sig0;
  call.preconsolidation = pt.preconsolidation;
  call.pms = &pms;
  call.stVar = pt.stVar0.data() + models::kModelStateOffset;
  call.nStat = pt.nStat;
  call.resources = &ctx.resources;
  call.set = &ctx.set;
  const int errors = models::InitStressPoint(call);
  pms.Store(record);
  return errors;
}

void AllocateRecording(Recording& rec, const input::LabTest& test) {
  long long points = 1;  // 64 bits: the sum of the steps of many phases
  for (int s : test.loadSteps) points += std::max(0, s);
  const auto n = static_cast<std::size_t>(std::max<long long>(points, test.capacity));
  try {
    rec.time.assign(n, 0.0);
    rec.strain.assign(n, Vec6{});
    rec.stress.assign(n, Vec6{});
    rec.pw.assign(n, 0.0);
  } catch (const std::bad_alloc&) {
    services::StopWithError(services::kCouldNotAllocateMemory,
                            "not enough memory to record " + std::to_string(n) + " points of " +
                                services::BareName(test.testFile));
  }
  rec.capacity = test.capacity;
  rec.nRecorded = 0;
}

void RecordPoint(SimulationContext& ctx, int point) {
  const MaterialPoint& pt = ctx.point;
  const auto k = static_cast<std::size_t>(point - 1);
  ctx.rec.time[k] = pt.time;
  ctx.rec.strain[k] = pt.eps;
  ctx.rec.stress[k] = pt.sig0;
  ctx.rec.pw[k] = pt.swp0;
}

// Starts phase p (0-based): per-step increments, control flags, time step.
void StartPhase(SimulationContext& ctx, int p, int steps) {
  const input::LabTest& test = *ctx.test;
  MaterialPoint& pt = ctx.point;
  const auto& flags = test.phaseFlags[static_cast<std::size_t>(p)];
  // A component that was strain-prescribed so far and is stress-prescribed
  // from now on continues from the stress it has reached.
  for (int i = 0; i < 6; ++i) {
    if (pt.controlFlags[i] == 0) pt.target[i] = pt.sig0[i] + pt.porePressureFlags[i] * pt.swp0;
  }
  const auto& strain = test.prescribedStrain[static_cast<std::size_t>(p)];
  const auto& stress = test.prescribedStress[static_cast<std::size_t>(p)];
  for (int i = 0; i < 6; ++i) {
    pt.strainIncrement[i] = strain[i] / steps;
    pt.stressIncrement[i] = stress[i] / steps;
    pt.controlFlags[i] = flags[i];
  }
  // Time in the file's own unit; the creep model needs a time step.
  double& dt = ctx.phaseTime[static_cast<std::size_t>(p)];
  if (ctx.model == 8 && dt < 1e-20) dt = 1.0;
  pt.dTime = dt / steps;
}

// A point with every value at its default. Copying it is one pass over the
// two state arrays; a new point each time would clear them and copy them.
const MaterialPoint& FreshPoint() {
  static const MaterialPoint fresh{};
  return fresh;
}

void SetInitialStress(MaterialPoint& pt, const Vec6& initialStress) {
  pt.sig0 = initialStress;
  pt.sig = initialStress;
  pt.target = initialStress;
  pt.targetStart = initialStress;
}

// Puts the point back to the start of the test: initial stress, zero strain,
// time and pore pressure, fresh state variables and step control. The
// settings loaded by PrepareLabTest stay.
void RestartPoint(MaterialPoint& pt, const Vec6& initialStress) {
  const MaterialPoint& fresh = FreshPoint();
  const int maxIterations = pt.maxIterations;
  const int acceleration = pt.acceleration;
  const std::array<int, 6> controlFlags = pt.controlFlags;
  const double tolerance = pt.tolerance;
  const double relaxation = pt.relaxation;
  const int initialPrediction = pt.initialPrediction;
  const std::array<int, 6> porePressureFlags = pt.porePressureFlags;
  const double waterPressureCap = pt.waterPressureCap;
  const double waterPressureFactor = pt.waterPressureFactor;
  const double waterPressureHead = pt.waterPressureHead;
  pt = fresh;
  pt.maxIterations = maxIterations;
  pt.acceleration = acceleration;
  pt.controlFlags = controlFlags;
  pt.tolerance = tolerance;
  pt.relaxation = relaxation;
  pt.initialPrediction = initialPrediction;
  pt.porePressureFlags = porePressureFlags;
  pt.waterPressureCap = waterPressureCap;
  pt.waterPressureFactor = waterPressureFactor;
  pt.waterPressureHead = waterPressureHead;
  SetInitialStress(pt, initialStress);
}

// Where a load step did not converge, for the run's message.
void NoteFailure(const SimulationContext& ctx, LabTestRun& run, int point, int phase, int step) {
  const MaterialPoint& pt = ctx.point;
  StepFailure& f = run.failure;
  f.point = point;
  f.phase = phase + 1;
  f.step = step;
  f.time = pt.time;
  f.error = ctx.errorOfLastStep;
  f.limit = kStepErrorLimitFactor * pt.tolerance;
  f.iterations = ctx.iterationsOfLastStep;
  f.maxIterations = pt.maxIterations;
  f.ru = -pt.swp0 / run.liquefaction.reference;
  f.shearStrain = MaximumShearStrain(pt.eps);
  f.subSteps = false;
}

// GenMat before a sub-step, as before every step of a stress-dependent model.
void RefreshModuli(SimulationContext& ctx) {
  if (ctx.point.stressDependent) RunGenMat(ctx, ctx.point.sig0, true);
}

}  // namespace

void PrepareLabTest(SimulationContext& ctx, const input::LabTest& test) {
  services::SetVirtualLabMode(1);
  ctx.test = &test;
  ctx.mesh = LabMesh{};
  ctx.totalIterations = 0;

  MaterialPoint& pt = ctx.point;
  pt = FreshPoint();
  pt.maxIterations = test.maxIterations;
  pt.acceleration = test.accelerationFlag;
  pt.controlFlags = test.controlFlags;
  pt.tolerance = test.tolerance;
  pt.relaxation = test.realSettings[0] > 1e-10 ? test.realSettings[0] : 1.0;
  SetInitialStress(pt, test.initialStress);
  ctx.phaseTime.assign(test.timeIncrement.begin(), test.timeIncrement.end());
  ctx.phaseTime.resize(static_cast<std::size_t>(std::max(0, test.nPhases)), 0.0);

  ctx.set = ctx.set1;
  // A test of a TOML job may start from its own state (its specimen's void
  // ratio): those slots replace the job's for this test alone.
  if (ctx.job != nullptr) {
    if (const auto* own = input::TestSlotsOf(*ctx.job, test)) {
      for (const input::TestSlot& o : *own) ctx.set.prop[o.slot] = o.value;
    }
  }
  ctx.set.modelCode = test.modelNumber;
  ctx.model = models::CopySoilProp(1, ctx.set, ctx.k);
}

LabTestRun RunLabTest(SimulationContext& ctx) {
  LabTestRun run;
  const input::LabTest& test = *ctx.test;
  MaterialPoint& pt = ctx.point;

  if (CompleteParameters(ctx) != 0) {
    run.status = kStatusCapFailed;
    return run;
  }
  RestartPoint(pt, test.initialStress);

  const int errors = InitialisePoint(ctx);
  if (errors != 0) {
    if (services::Diag().on()) services::Diag().Line("nError:", errors);
    run.status = kStatusInitFailed;
    return run;
  }

  RunGenMat(ctx, pt.sig0, false);
  const int nCopy = models::kModelStateOffset + pt.nStat;
  std::copy_n(pt.stVar0.begin(), nCopy, pt.stVar.begin());
  AllocateRecording(ctx.rec, test);
  int point = 1;
  RecordPoint(ctx, point);
  pt.stepSizeFactor = 1.0;
  // Only cyclic tests are watched for liquefaction.
  run.cyclic = IsCyclicTest(test);
  run.liquefaction.reference = PorePressureReference(test);

  MaterialPoint before;  // the point before a step of a model carried in sub-steps
  for (int p = 0; p < test.nPhases; ++p) {
    const int steps = test.loadSteps[static_cast<std::size_t>(p)];
    if (steps <= 0) continue;
    StartPhase(ctx, p, steps);
    for (int step = 1; step <= steps; ++step) {
      ++point;
      ++pt.step;
      if (pt.stressDependent) RunGenMat(ctx, pt.sig0, true);
      const bool subSteps = CarriesInSubSteps(ctx.model);
      if (subSteps) before = pt;
      int iterations = 0;
      int status = SolveMaterialPointStep(ctx, iterations);
      if (status != kStepAccepted) {
        NoteFailure(ctx, run, point, p, step);
        if (subSteps) {
          status = SolveInSubSteps(ctx, RefreshModuli);
          run.failure.subSteps = true;
          if (status == kStepAccepted) ++run.subSteppedSteps;
        }
      } else if (subSteps) {
        const int n = SubStepsToResolve(MeanEffectiveStress(before.sig0),
                                        MeanEffectiveStress(pt.sig0), run.liquefaction.reference);
        if (n > 1 && ResolveStep(ctx, before, n, RefreshModuli,
                                 run.cyclic ? &run.liquefaction : nullptr, point)) {
          ++run.resolvedSteps;
        }
      }
      if (status != kStepAccepted) {
        run.status = status;
        run.nRecorded = ctx.rec.nRecorded;
        return run;
      }
      RecordPoint(ctx, point);
      ctx.rec.nRecorded = point;
      // The sub-steps of the step may have met a criterion already.
      if (run.cyclic) run.liquefaction.Observe(point, pt.time, pt.eps, pt.swp0);
      if (run.cyclic && !run.liquefied && run.liquefaction.Liquefied()) {
        run.liquefied = true;
        if (ctx.stopAtLiquefaction) {
          run.stoppedAtLiquefaction = true;
          run.nRecorded = ctx.rec.nRecorded;
          return run;
        }
      }
    }
  }
  run.nRecorded = ctx.rec.nRecorded;
  return run;
}

}  // namespace soilcal::labtest
