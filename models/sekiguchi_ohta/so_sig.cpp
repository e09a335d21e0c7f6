#include "models/sekiguchi_ohta/so_sig.hpp"

#include <algorithm>
#include <cmath>

#include "models/sekiguchi_ohta/parameters.hpp"
#include "services/diag.hpp"

namespace soilcal::models::sekiguchi_ohta {

void SO_Sig(StressCall& call) {
  const PropSoil& prop = *call.prop;
  const double floor = call.k ? call.k->stressFloor : prop[35] / 100.0;
  // The model's own state follows PointMatState in the state vectors.
  const bool hasState = call.nStat >= kStateVars && call.stVar0 != nullptr;
  const double* st0 = hasState ? call.stVar0 + kModelStateOffset : nullptr;
  double* st = hasState ? call.stVar + kModelStateOffset : nullptr;
  // Stored as axis + 1; anything else (no state yet) means the yy axis.
  const double stored = hasState ? st0[0] : 0.0;
  const int axis = stored > 0.5 && stored < 3.5 ? static_cast<int>(stored + 0.5) - 1 : 1;
  const SoParams m = MakeSoParams(call.model, prop, call.G, axis, call.dTime);
  const double pc0 = std::max(call.pms0.pc, floor);
  call.pms.pc = pc0;
  if (hasState) {
    st[0] = axis + 1.0;
    st[1] = st0[1];
  }

  const SoReturn r = ReturnSekiguchiOhta(call.sigE, pc0, m, floor);
  if (!r.plastic) {
    call.iArea = 0;
    return;
  }
  call.sigC = r.sig;
  call.pms.pc = r.pc;
  call.tension = r.tension;
  if (hasState) st[1] = st0[1] + r.dEpsVp;
  const int area = r.tension ? 2 : 1;
  const bool refInside = m.alpha > 0.0 || SoYield(call.sigEQ, pc0, m, floor) <= 0.0;
  call.iArea = refInside ? -area : area;
  const double p = -MeanStress(r.sig);
  call.tauMax = 0.5 * std::max(0.5 * m.M * p, floor);
  if (!r.converged && services::Diag().on()) {
    services::Diag().Line("SO return not converged, IntGlo:", call.intGlo);
  }
}

}  // namespace soilcal::models::sekiguchi_ohta
