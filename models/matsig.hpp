// The dispatcher MatSig: elastic trial stress, the reference stress SigEQ,
// routing to the model's stress routine, counting, and the local accuracy
// check of the returned stress.
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"
#include "models/stress_call.hpp"
#include "services/errors.hpp"

namespace soilcal::models {

struct MatSigInput {
  // Tag of the constructor that leaves D unset, for a caller that hands its
  // matrix through `stiffness` instead (spares zeroing 36 doubles per call).
  struct StiffnessByPointer {};

  MatSigInput() : D{} {}
  explicit MatSigInput(StiffnessByPointer) {}

  int model = 0;                 // reduced model number
  const MaterialSet* set = nullptr;
  int iSet = 1;
  int intGlo = 1;
  const ModelConstants* k = nullptr;
  Mat6 D;                        // effective elastic matrix (from ELEMBoth / the model)
  const Mat6* stiffness = nullptr;  // when set, used instead of D (spares the copy)
  const ModelFamily* family = nullptr;  // when set, the family of `model` (spares the look-up)
  Vec6 dEps{};                   // strain increment of the step
  Vec6 sig0{};                   // stress at the start of the step
  Vec6 eps{};                    // total strain at the start of the step (own-stiffness families)
  Vec6 sigPrev{};                // SigC of the previous iteration
  Vec6 dEpsPrev{};               // strain increment of the previous iteration
  double iterFactor = 1.0;       // omega: relaxation factor of the caller
  double epsV = 0.0;             // volumetric strain since the start of the test
  double voidRatio = 0.0;
  const double* stVar0 = nullptr;  // start-of-step state (1000 doubles)
  double* stVar = nullptr;         // end-of-step state (1000 doubles)
  int nStat = 0;                 // model state variables beyond PointMatState
  double weight = 1.0;
  double tol = 0.01;
  int iter = 1;                  // iteration number
  int step = 1;                  // load-step number
  double time = 0.0, dTime = 0.0;
  double swp0 = 0.0;             // pore pressure at the start of the step
  bool debug = false;
  // The reference stress SigEQ, the accuracy check and the counters that
  // depend on them (newly plastic, inaccurate, error sums). Only diagnostics
  // read them: the stress-point loop asks for them only when unit 2 is a
  // real file. Stresses and state come out the same either way.
  bool accuracyCheck = true;
};

struct MatSigOutput {
  Vec6 sigC{};
  Vec6 sigEminusC{};
  int iArea = 0;
  int iAbort = 0;
  double swp = 0.0;              // pore pressure at the end of the step
};

// One model call for one stress point. The PointMatState record sits at
// kPointMatStatePos of the state vectors; its entry 1 in the start-of-step
// vector holds the water bulk value of the point (the set's BUW), from which
// an undrained set (drainage type 2) gets its excess pore pressure.
// Families with their own stiffness (ModelFamily::elasticMatrix) form the
// effective matrix here; for all others `in.D` is used. Never throws; failures come back as
// iAbort (the caller raises the kernel error). `texts` receives the extra
// message texts of an abort.
void MatSig(const MatSigInput& in, ModelResources& res, MatSigOutput& out,
            MatSigCounters& counters, services::KernelMessageTexts& texts);

// A stress point as the dispatcher reads it, by reference to where the
// caller keeps the values: nothing is copied into an input record first.
struct StressPointView {
  int model = 0;                      // reduced model number
  const MaterialSet* set = nullptr;
  int iSet = 1;
  int intGlo = 1;
  const ModelConstants* k = nullptr;
  const ModelFamily* family = nullptr;  // the family of `model` (required)
  const Mat6* D = nullptr;            // effective elastic matrix (families without their own)
  const Vec6* dEps = nullptr;         // strain increment of the step
  const Vec6* sig0 = nullptr;         // stress at the start of the step
  const Vec6* eps = nullptr;          // total strain at the start of the step
  double epsV = 0.0;                  // volumetric strain since the start of the test
  double voidRatio = 0.0;
  const double* stVar0 = nullptr;     // start-of-step state (1000 doubles)
  double* stVar = nullptr;            // end-of-step state (1000 doubles)
  int nStat = 0;
  double tol = 0.01;
  int iter = 1;
  int step = 1;
  double time = 0.0, dTime = 0.0;
  double swp0 = 0.0;
};

// MatSig for a stress-point loop whose diagnostic channel is off: no
// reference stress, no accuracy check, no debug dumps (MatSig with
// accuracyCheck false and debug false gives the same stresses, state and
// pore pressure). The result stays in `call` (sigC, iArea, swp, iAbort);
// the record of the end-of-step state is written; the outcome is counted.
void MatSigLean(const StressPointView& v, ModelResources& res, StressCall& call,
                MatSigCounters& counters, services::KernelMessageTexts& texts);

}  // namespace soilcal::models
