// The stress-point update: once per equilibrium iteration the trial strain
// increment of the material point becomes new stresses, state variables and
// pore pressure through the model dispatcher MatSig.
#pragma once

#include <span>

#include "labtest/context.hpp"
#include "models/material.hpp"

namespace soilcal::labtest {

// Counters of one evaluation of a range of elements (private per thread on
// the parallel path, added up at the end).
struct GetSigTotals {
  models::MatSigCounters counters;
  int waterPressureResets = 0;
  int pointsEvaluated = 0;

  void Add(const GetSigTotals& o) {
    counters.Add(o.counters);
    waterPressureResets += o.waterPressureResets;
    pointsEvaluated += o.pointsEvaluated;
  }
};

// Entry of the step solver, once per iteration after the trial strain
// increment has been set. Writes the end stress and state of the point, its
// pore pressure swp, and the counters and relative error of the update into
// the context. The accuracy check behind the relative error (and the
// newly-plastic and inaccurate counts) runs only with the diagnostic channel
// on, the only reader of those figures; without it they stay zero.
void UpdateMaterialPointStress(SimulationContext& ctx, int iter);

// Evaluates every stress point of the mesh (the lab mesh: one point).
void UpdateStressPoints(SimulationContext& ctx);

// Evaluates the stress points of elements first..last of one cluster;
// `points` holds the points of the mesh, element by element.
void GetSig(SimulationContext& ctx, std::span<MaterialPoint> points, int cluster,
            int firstElement, int lastElement, GetSigTotals& totals);

// Threads for the stress integration of a cluster of model `model`: 1 in
// virtual-lab mode; otherwise the runtime's thread count (a positive
// `overrideThreads` replaces it), and 1 for models 31, 32 and for the
// user-defined models unless the toggle USE_PARALLEL_UDSM_STRESS_INTEGRATION
// is set.
int StressIntegrationThreads(int model, int overrideThreads = 0);

// Caps the water pressure p so that p + f*h does not exceed `cap` (only when
// cap < 1e29). `counter` counts the resets; the first one is logged.
void CapWaterPressure(int& counter, double cap, double f, double& p, double h);

}  // namespace soilcal::labtest
