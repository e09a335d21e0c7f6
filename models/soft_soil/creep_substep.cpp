// CrpSubStep: implicit integration of the creep strain over one time
// increment, with splitting of increments that do not converge.
#include <algorithm>
#include <cmath>

#include "models/soft_soil/creep.hpp"
#include "models/soft_soil/invariants.hpp"
#include "services/diag.hpp"

namespace soilcal::models::soft_soil {
namespace {

using services::Diag;

constexpr int kMaxRounds = 25;
constexpr int kMaxLevels = 9;
constexpr double kMaxX = 1e15;

// Stress state of the step for a given volumetric creep strain lambda.
struct AtLambda {
  double p1 = 0.0, q1 = 0.0, peq = 0.0;
  double dqDl = 0.0;  // dq1/dlambda
};

// q1: root of q^3 - qe q^2 - (M^2 p1 + 6 G lambda) p1 q + M^2 p1^2 qe = 0 in
// [0, min(qe, M p1)] (h > 0 at 0, h <= 0 at the upper end), by Newton's
// method kept inside the bracket.
double SolveDeviator(const CreepParams& cp, double qe, double p1, double lambda,
                     double& dhDq) {
  const double M2 = cp.M * cp.M;
  const double c1 = (M2 * p1 + 6.0 * cp.G * lambda) * p1;
  const double c0 = M2 * p1 * p1 * qe;
  double lo = 0.0, hi = std::min(qe, cp.M * p1);
  double q = std::min(qe, 0.99 * cp.M * p1);
  const double tol = 1e-10 * std::max(qe, cp.floor);
  dhDq = 0.0;
  for (int round = 1; round <= 10; ++round) {
    const double h = ((q - qe) * q - c1) * q + c0;
    dhDq = (3.0 * q - 2.0 * qe) * q - c1;
    if (h > 0.0) lo = q; else hi = q;
    double next = dhDq != 0.0 ? q - h / dhDq : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    const double step = next - q;
    q = next;
    if (round > 7 && cp.debug && Diag().on()) Diag().Line("q1 Newton round, step:", step);
    if (std::abs(step) <= tol) return q;
  }
  if (Diag().on()) Diag().Line("CrpSubStep: q1 not converged in 10 rounds, q1 =", q);
  return q;
}

AtLambda StateAt(const CreepParams& cp, const PQ& e, double lambda) {
  AtLambda s;
  const double M2 = cp.M * cp.M;
  s.p1 = std::max(e.p - cp.K * lambda, 1e-6);
  double dh = 0.0;
  s.q1 = e.q > 0.0 ? SolveDeviator(cp, e.q, s.p1, lambda, dh) : 0.0;
  s.peq = EquivalentPressure(s.p1, s.q1, cp.M, cp.shift, 1e-6);
  if (e.q > 0.0 && dh != 0.0) {
    // Implicit derivative of the cubic with dp1/dlambda = -K.
    const double dhDp = -(2.0 * M2 * s.p1 + 6.0 * cp.G * lambda) * s.q1 + 2.0 * M2 * s.p1 * e.q;
    const double dhDl = -6.0 * cp.G * s.p1 * s.q1;
    s.dqDl = -(dhDp * -cp.K + dhDl) / dh;
  }
  return s;
}

// X = (dt/t)(p_eq/pc)^beta, the power's exponent bounded to +-100 and X to 1e15.
double CreepX(const CreepParams& cp, double dT, double peq, double pp, bool& capped) {
  const double ex = cp.beta * std::log(peq / pp);
  capped = ex < -100.0 || ex > 100.0;
  const double power = ex < -100.0 ? 0.0 : (ex > 100.0 ? 1e44 : std::exp(ex));
  double X = dT / cp.tau * power;
  if (X > kMaxX) {
    X = kMaxX;
    capped = true;
  }
  return X;
}

bool SplitStep(const CreepParams& cp, const Vec6& sigStart, const Vec6& dEps, double dT,
               double pcStart, int level, CreepResult& out) {
  if (level >= kMaxLevels) {
    if (Diag().on()) {
      Diag().Line("No (more) chopping !!");
      Diag().Error("convergence problem SSC model");
    }
    return false;
  }
  static constexpr double kParts[3] = {0.1, 0.3, 0.6};
  Vec6 sig = sigStart;
  double pc = pcStart, lambda = 0.0;
  int rounds = out.rounds;
  for (double f : kParts) {
    Vec6 part{};
    for (int i = 0; i < 6; ++i) part[i] = f * dEps[i];
    CreepResult sub;
    const bool ok = CrpSubStep(cp, sig, part, f * dT, pc, level + 1, sub);
    rounds += sub.rounds;
    sig = sub.sig;
    pc = sub.pc;
    lambda += sub.lambda;
    out = sub;
    if (!ok) {
      out.lambda = lambda;
      out.rounds = rounds;
      return false;
    }
  }
  out.lambda = lambda;
  out.rounds = rounds;
  return true;
}

}  // namespace

bool CrpSubStep(const CreepParams& cp, const Vec6& sigStart, const Vec6& dEps, double dT,
                double pcStart, int level, CreepResult& out) {
  // Elastic trial stress of the sub-step.
  const double ev = dEps[0] + dEps[1] + dEps[2];
  const Vec6 trial = ElasticTrial(sigStart, dEps, cp.K, cp.G);

  const PQ e = Invariants(trial);
  out.sig = trial;
  out.pc = pcStart;
  out.lambda = 0.0;
  out.rounds = 0;
  out.peq = EquivalentPressure(e.p, e.q, cp.M, cp.shift, 1e-6);
  if (e.p < 0.0) {
    if (cp.debug && Diag().on()) Diag().Line("CRP pe      :", e.p);
    return true;
  }

  const double evc = std::max(-ev, 1e-10);  // compressive volumetric strain of the sub-step
  double lambda = 0.0;                       // first guess: no creep
  const double lambdaMax = 0.8 * e.p / cp.K;
  if (lambda > lambdaMax) {
    lambda = lambdaMax;
    if (cp.debug && Diag().on()) Diag().Line(" xLam1 changed to:", lambda);
  }

  AtLambda s = StateAt(cp, e, lambda);
  // The residual target(lambda) - lambda falls monotonically from a
  // non-negative value at 0 to a negative one where p1 vanishes; Newton's
  // steps are kept inside that bracket (bisection otherwise).
  double lo = 0.0, hi = e.p / cp.K;
  bool converged = false;
  int round = 1;
  for (; round <= kMaxRounds; ++round) {
    bool capped = false;
    const double X = CreepX(cp, dT, s.peq, pcStart, capped);
    const double target = cp.mu * std::log1p(X);
    double dTdl = 0.0;
    if (!capped && s.peq > 0.0) {
      const double dpeq = (1.0 - s.q1 * s.q1 / (cp.M * cp.M * (s.p1 + cp.shift) * (s.p1 + cp.shift))) *
                              -cp.K +
                          2.0 * s.q1 / (cp.M * cp.M * (s.p1 + cp.shift)) * s.dqDl;
      dTdl = cp.mu * X / (1.0 + X) * cp.beta * dpeq / s.peq;
    }
    if (target > lambda) lo = std::max(lo, lambda); else hi = std::min(hi, lambda);
    double D = 1.0 - dTdl;
    if (round >= 6) D *= 1.25;
    double next = std::max(0.0, lambda + (target - lambda) / D);
    if (!(next >= lo && next <= hi)) next = 0.5 * (lo + hi);
    const double step = next - lambda;
    const AtLambda sn = StateAt(cp, e, next);

    converged = std::abs(step) / (0.005 * (target + next) + 1e-5 * evc + 1e-20) < 0.001;
    if (2.0 * std::abs(next - target) / (target + next + 0.001 * evc + 1e-20) > 1.0)
      converged = false;
    if (std::abs(sn.peq - s.peq) > 0.001 * (std::abs(s.peq) + std::abs(sn.peq)) + 1e-20)
      converged = false;
    lambda = next;
    s = sn;
    if (converged || !std::isfinite(lambda)) break;
  }

  if (converged) {
    out.sig = Rebuild(e.s, s.q1 / std::max(e.q, 1e-20), s.p1);
    out.pc = pcStart * std::exp(std::min(100.0, std::max(0.0, lambda) / cp.lk));
    out.peq = s.peq;
    out.lambda = lambda;
    out.rounds = std::min(round, kMaxRounds);
    return true;
  }
  // Last iterate, kept when the splitting is exhausted.
  if (std::isfinite(lambda) && std::isfinite(s.q1)) {
    out.sig = Rebuild(e.s, s.q1 / std::max(e.q, 1e-20), s.p1);
    out.pc = pcStart * std::exp(std::min(100.0, std::max(0.0, lambda) / cp.lk));
    out.peq = s.peq;
    out.lambda = lambda;
  }
  out.rounds = kMaxRounds;
  return SplitStep(cp, sigStart, dEps, dT, pcStart, level, out);
}

}  // namespace soilcal::models::soft_soil
