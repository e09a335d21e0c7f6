#include "models/soft_soil/initial_state.hpp"

#include <algorithm>
#include <cmath>

#include "models/soft_soil/creep.hpp"
#include "models/soft_soil/invariants.hpp"
#include "models/soft_soil/parameters.hpp"
#include "services/diag.hpp"

namespace soilcal::models::soft_soil {

double InitialPc(int model, const PropSoil& prop, const ModelConstants& k,
                 const Vec6& initialStress, double preconsolidation) {
  const double M = prop[31];
  const double shift = model == 5 ? 0.0 : CohesionShift(prop);
  // Equivalent pressure measured the way the model's cap measures it.
  auto peq = [&](double p, double q) {
    if (model == 4) return EquivalentPressure(p + shift, q, M, 0.0, k.stressFloor);
    return EquivalentPressure(p, q, M, shift, k.stressFloor);
  };
  const PQ init = Invariants(initialStress);
  double pc = std::max(peq(init.p, init.q), k.stressFloor);

  const double sigmaPc = -preconsolidation;
  if (sigmaPc > 1e-10) {
    double K0 = prop[37];
    if (!(K0 > 0.0)) K0 = std::clamp((6.0 - 2.0 * M) / (6.0 + M), 0.1, 1.0);
    const double p = sigmaPc * (1.0 + 2.0 * K0) / 3.0;
    const double q = sigmaPc * std::abs(1.0 - K0);
    pc = std::max(pc, peq(p, q));
  }
  return pc;
}

int InitSoftSoilPoint(PointInitCall& call) {
  if (call.model == 8) return InitCrp(call);
  const double pc =
      InitialPc(call.model, *call.prop, *call.k, call.initialStress, call.preconsolidation);
  if (!std::isfinite(pc) || !(call.prop->slot[31] > 0.0)) {
    if (services::Diag().on()) services::Diag().Line("Initial pc of the soft-soil point:", pc);
    return 1;
  }
  call.pms->pc = pc;
  return 0;
}

}  // namespace soilcal::models::soft_soil
