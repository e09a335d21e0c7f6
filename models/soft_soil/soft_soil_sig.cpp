#include "models/soft_soil/soft_soil_sig.hpp"

#include <algorithm>
#include <cmath>

#include "models/mohr_coulomb/mc_sig.hpp"
#include "models/soft_soil/invariants.hpp"
#include "services/diag.hpp"

namespace soilcal::models::soft_soil {
namespace {

using services::Diag;

constexpr int kMaxIterations = 50;

struct CapInput {
  double pTr, qTr;  // shifted trial mean stress and trial q
  double pc0;       // cap size at the start of the step
  double K, G, M2;
  double lk;        // lambda* - kappa*
};

struct CapResult {
  double p, q, pc;
  bool converged;
};

double CapYield(double p, double q, double pc, double M2) { return q * q / M2 + p * (p - pc); }

// Implicit return to the cap: unknowns the multiplier dl and y = ln pc,
//   r1 = F(p(dl, pc), q(dl), pc) = 0,
//   r2 = y - y0 - dl (2 pTr - pc) / ((1 + 2 K dl) lk) = 0,
// with p = (pTr + K dl pc)/(1 + 2 K dl) and q = qTr/(1 + 6 G dl / M^2).
CapResult ReturnToCap(const CapInput& in, int intGlo) {
  const double y0 = std::log(in.pc0);
  double dl = 0.0, y = y0;
  CapResult res{in.pTr, in.qTr, in.pc0, false};
  for (int it = 0; it < kMaxIterations; ++it) {
    const double pc = std::exp(y);
    const double den = 1.0 + 2.0 * in.K * dl;
    const double dq = 1.0 + 6.0 * in.G * dl / in.M2;
    const double p = (in.pTr + in.K * dl * pc) / den;
    const double q = in.qTr / dq;
    res = CapResult{p, q, pc, false};
    const double r1 = CapYield(p, q, pc, in.M2);
    const double r2 = y - y0 - dl * (2.0 * in.pTr - pc) / (den * in.lk);
    if (std::abs(r1) <= 1e-10 * pc * pc && std::abs(r2) <= 1e-10) {
      res.converged = true;
      return res;
    }
    const double dpDl = in.K * (pc - 2.0 * p) / den;
    const double dpDpc = in.K * dl / den;
    const double dqDl = -q * (6.0 * in.G / in.M2) / dq;
    const double a11 = (2.0 * p - pc) * dpDl + 2.0 * q / in.M2 * dqDl;
    const double a12 = pc * ((2.0 * p - pc) * dpDpc - p);
    const double a21 = -(2.0 * in.pTr - pc) / (in.lk * den * den);
    const double a22 = 1.0 + pc * dl / (in.lk * den);
    const double det = a11 * a22 - a12 * a21;
    if (!(std::abs(det) > 1e-300) || !std::isfinite(det)) {
      if (Diag().on()) Diag().Line("det~0:", det);
      return res;
    }
    double ddl = (-r1 * a22 + r2 * a12) / det;
    double dy = (-r2 * a11 + r1 * a21) / det;
    // Keep a step within a factor e of pc so the exponential stays tame.
    if (std::abs(dy) > 1.0) {
      const double f = 1.0 / std::abs(dy);
      ddl *= f;
      dy *= f;
    }
    dl = std::max(0.0, dl + ddl);
    y += dy;
  }
  if (Diag().on()) {
    Diag().Line("MAXIT REACHED");
    Diag().Line("IntGlo:", intGlo);
  }
  return res;
}

}  // namespace

void SoftSoilSig(StressCall& call) {
  const PropSoil& prop = *call.prop;
  const double M = prop[31];
  const double floor = call.k ? call.k->stressFloor : prop[35] / 100.0;
  const double shift =
      (call.SPhi > 1e-10 && call.CoheSi > 0.0 && call.CoheSi / call.SPhi < 1e9)
          ? call.CoheSi / call.SPhi
          : 0.0;
  const double pc0 = std::max(call.pms0.pc, floor);
  const PQ tr = Invariants(call.sigE);
  const CapInput in{tr.p + shift, tr.q, pc0, BulkModulus(call.G, call.nu), call.G, M * M,
                    std::max(prop[39] - prop[38], 1e-12)};
  call.sigC = call.sigE;
  call.pms.pc = pc0;

  bool cap = false;
  double pCap = in.pTr;
  if (in.pTr > 0.0 && CapYield(in.pTr, in.qTr, pc0, in.M2) > 0.0) {
    const CapResult r = ReturnToCap(in, call.intGlo);
    if (std::isfinite(r.p) && std::isfinite(r.q) && std::isfinite(r.pc)) {
      cap = true;
      pCap = r.p;
      call.sigC = Rebuild(tr.s, r.q / (tr.q + 1e-12), r.p - shift);
      call.pms.pc = r.pc;
    }
  }

  // Failure surface and tension cut-off on the cap result.
  call.iArea = 0;
  MC_Sig(call);
  const bool failure = call.iArea != 0;

  if (failure) {
    // Keep the state inside the cap after the failure return.
    const PQ fin = Invariants(call.sigC);
    const double pF = fin.p + shift;
    if (pF > 0.0) call.pms.pc = std::max(call.pms.pc, pF + fin.q * fin.q / (in.M2 * pF));
    call.capFlag = false;
    if (call.tension && call.debug && Diag().on()) Diag().Line("tension:", call.intGlo);
  } else if (cap) {
    call.iArea = 3;
    call.capFlag = true;
    call.tauMax = 0.5 * std::max(0.5 * M * pCap, prop[35] / 100.0);
    if (call.referenceStress) {
      const PQ eq = Invariants(call.sigEQ);
      const double pEq = eq.p + shift;
      if (CapYield(pEq, eq.q, pc0, in.M2) <= 0.0 || pEq <= 0.0) call.iArea = -3;
    }
  }
  if (call.debug && Diag().on()) Diag().Line("iArea:", call.iArea);
}

}  // namespace soilcal::models::soft_soil
