#include "models/soft_soil/cam_clay.hpp"

#include <algorithm>
#include <cmath>

#include "models/soft_soil/invariants.hpp"
#include "services/diag.hpp"

namespace soilcal::models::soft_soil {
namespace {

using services::Diag;

constexpr int kMaxIterations = 25;

// Constants of one return.
struct Return {
  double pTr, qTr, pc0;  // trial invariants and pc at the start of the step
  double K, G, M2;
  double theta;          // 1 / (lambda*_cur - kappa*_cur)
};

// State along the return for a plastic multiplier dlam.
struct Point {
  double p, q, pc;
};

// pc after the trapezoidal hardening pc - pc0 = theta (pc + pc0)/2 dlam (2p - pc)
// with p eliminated: the positive root of a pc^2 + b pc + c = 0.
double HardenedPc(const Return& r, double dlam) {
  const double a = 0.5 * r.theta * dlam;
  const double b = 1.0 + 2.0 * r.K * dlam - 0.5 * r.theta * dlam * (2.0 * r.pTr - r.pc0);
  const double c = -r.pc0 * (1.0 + 2.0 * r.K * dlam + r.theta * dlam * r.pTr);
  double pc;
  if (a == 0.0) {
    pc = -c / b;
  } else {
    const double root = std::sqrt(std::max(0.0, b * b - 4.0 * a * c));
    // Cancellation-free form of the positive root.
    pc = b >= 0.0 ? -2.0 * c / (b + root) : (root - b) / (2.0 * a);
  }
  return std::max(pc, 1e-6);
}

Point AlongReturn(const Return& r, double dlam) {
  Point x;
  x.pc = HardenedPc(r, dlam);
  x.p = (r.pTr + r.K * dlam * x.pc) / (1.0 + 2.0 * r.K * dlam);
  x.q = r.qTr / (1.0 + 6.0 * r.G * dlam / r.M2);
  return x;
}

double Yield(const Point& x, double M2) { return x.p * (x.p - x.pc) + x.q * x.q / M2; }

// dF/d(dlam) along the return, with pc' from the implicit derivative of the
// hardening quadratic.
double YieldSlope(const Return& r, const Point& x, double dlam) {
  const double a = 0.5 * r.theta * dlam;
  const double b = 1.0 + 2.0 * r.K * dlam - 0.5 * r.theta * dlam * (2.0 * r.pTr - r.pc0);
  const double dgdl = 0.5 * r.theta * x.pc * x.pc +
                      (2.0 * r.K - 0.5 * r.theta * (2.0 * r.pTr - r.pc0)) * x.pc -
                      r.pc0 * (2.0 * r.K + r.theta * r.pTr);
  const double dgdpc = 2.0 * a * x.pc + b;
  const double dpc = -dgdl / dgdpc;
  const double den = 1.0 + 2.0 * r.K * dlam;
  const double dp = r.K * (x.pc + dlam * dpc - 2.0 * x.p) / den;
  const double dq = -x.q * (6.0 * r.G / r.M2) / (1.0 + 6.0 * r.G * dlam / r.M2);
  return (2.0 * x.p - x.pc) * dp - x.p * dpc + 2.0 * x.q * dq / r.M2;
}

double ConsistencyError(const Point& x, double M2) {
  return std::abs(x.p + x.q * x.q / ((x.p + 1e-6) * M2) - x.pc) / (x.pc + 1e-6);
}

}  // namespace

void CamClaySig(StressCall& call) {
  const PropSoil& prop = *call.prop;
  const double M = prop[31];
  const double ratio = prop[32];
  const double onePlusE = 1.0 + std::max(0.0, call.voidRatio);
  const double kappaCur = prop[40] / onePlusE;

  const PQ tr = Invariants(call.sigE);
  Return r{tr.p, tr.q, call.pms0.pc, BulkModulus(call.G, call.nu), call.G, M * M,
           ratio >= 1.01 ? 1.0 / (kappaCur * (ratio - 1.0)) : 1.0};
  call.pms.pc = r.pc0;
  call.sigC = call.sigE;

  Point x{tr.p, tr.q, r.pc0};
  if (Yield(x, r.M2) <= 0.0) {
    call.iArea = 0;
    return;
  }
  call.iArea = 3;
  call.capFlag = true;

  double dlam = 0.0;
  bool exhausted = false;
  if (ratio >= 1.01) {
    double err = 0.0, errPrev = 0.0;
    int it = 0;
    for (; it < kMaxIterations; ++it) {
      if (dlam < 0.0) break;
      const double slope = YieldSlope(r, x, dlam);
      if (slope == 0.0 || !std::isfinite(slope)) break;
      dlam -= Yield(x, r.M2) / slope;
      x = AlongReturn(r, dlam);
      errPrev = err;
      err = ConsistencyError(x, r.M2);
      if (err <= 1e-3) break;
    }
    if (it == kMaxIterations) {
      exhausted = true;
      if (err > errPrev && Diag().on()) Diag().Line("DIVERGENCE IN CAMCLE");
    }
  }
  // A return that needs a negative multiplier (or broke down) is discarded.
  if (dlam < 0.0 || !std::isfinite(x.p) || !std::isfinite(x.q) || !std::isfinite(x.pc)) {
    dlam = 0.0;
    x = Point{tr.p, tr.q, r.pc0};
  }

  call.sigC = Rebuild(tr.s, x.q / (tr.q + 1e-12), x.p);
  call.pms.pc = x.pc;

  call.tauMax = 0.5 * std::max(0.5 * M * x.p, prop[35] / 100.0);
  if (exhausted) call.tauMax = 1e-6;

  if (std::abs(x.q - M * x.p) < call.tauMax * call.tol) {
    call.iArea = 1;  // critical state line
    call.capFlag = false;
  }
  if (x.pc < r.pc0) {
    call.iArea = 3;  // softening (dry) side
    call.capFlag = false;
  }

  if (!call.referenceStress) return;
  const PQ eq = Invariants(call.sigEQ);
  if (Yield(Point{eq.p, eq.q, r.pc0}, r.M2) <= 0.0) call.iArea = -call.iArea;
}

}  // namespace soilcal::models::soft_soil
