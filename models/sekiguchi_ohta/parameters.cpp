#include "models/sekiguchi_ohta/parameters.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "models/setup.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::models::sekiguchi_ohta {

using services::Diag;

void CopySoilProp(int, PropSoil& p, const ModelConstants& k) {
  p[31] = std::max(p[31], 1e-10);
  if (p[34] < 1e-30) p[34] = 1.0;
  if (p[35] < 1e-30) p[35] = k.refPressure;
  const double nu = p[2];
  if (p[38] > 1e-30) p[1] = 1.5 * (1.0 - 2.0 * nu) / (1.0 + nu) * p[35] / p[38];
  p[33] = (p[39] - p[38]) / p[31];
  const double k0nc = p[37];
  if (k0nc < 0.001) services::KernelError(41);
  p[36] = 3.0 * (1.0 - k0nc) / (1.0 + 2.0 * k0nc);
  if (Diag().on()) {
    Diag().Line("SO(V)");
    Diag().Line("", std::span<const double>(p.slot.data() + 1, 42));
  }
}

double GenMatShearModulus(const GenMatCall& c) {
  const PropSoil& p = *c.prop;
  const double pStar = std::max(-MeanStress(c.stress), p[35] / 100.0);
  return p[1] * std::pow(pStar / p[35], p[34]);
}

int InitPoint(PointInitCall& call) {
  const PropSoil& p = *call.prop;
  const Vec6& s0 = call.initialStress;
  int axis = 1;
  for (int i = 0; i < 3; ++i) {
    if (s0[static_cast<std::size_t>(i)] < s0[static_cast<std::size_t>(axis)] - 1e-12 * std::fabs(s0[1])) axis = i;
  }
  const SoParams m = MakeSoParams(call.model, p, 1.0, axis, 0.0);
  const double floor = call.k->stressFloor;
  // pc puts the initial stress on the surface, f = MD ln(p/pc) + D eta* = 0.
  const double p0 = std::max(-MeanStress(s0), floor);
  double pc = p0 * std::exp(m.D * EtaStar(s0, m.eta0) / m.MD);
  const double sigmaPc = -call.preconsolidation;
  if (sigmaPc > 1e-10) pc = std::max(pc, sigmaPc * (1.0 + 2.0 * p[37]) / 3.0);
  pc = std::max(pc, floor);
  if (!std::isfinite(pc)) {
    if (Diag().on()) Diag().Line("Initial pc of the Sekiguchi-Ohta point:", pc);
    return 1;
  }
  call.pms->pc = std::max(pc, call.pms->pc);
  if (call.nStat >= kStateVars) {
    call.stVar[0] = axis + 1.0;
    call.stVar[1] = 0.0;
  }
  return 0;
}

SoParams MakeSoParams(int model, const PropSoil& p, double G, int axis, double dt) {
  SoParams m;
  m.M = p[31];
  m.MD = std::max(p[39] - p[38], 1e-12);
  m.D = m.MD / m.M;
  m.G = G;
  const double nu = p[2];
  m.K = 2.0 * G * (1.0 + nu) / (3.0 * (1.0 - 2.0 * nu));
  m.eta0 = K0RatioTensor(p[36], axis);
  if (model == 32) {
    m.alpha = std::max(p[40], 0.0);
    m.v0dt = p[41] * dt;
  }
  return m;
}

}  // namespace soilcal::models::sekiguchi_ohta
