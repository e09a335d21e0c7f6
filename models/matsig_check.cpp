#include <cmath>
#include <cstdlib>

#include "models/matsig_parts.hpp"
#include "models/udsm/link.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"

namespace soilcal::models::matsig {
namespace {

using services::Diag;

// Weight of an elastic point from the second iteration on: it keeps the
// relative error of a mostly elastic step from being set by one plastic point.
constexpr double kElasticWeight = 1e-5;

bool IsCapModel(int model) {
  return model == 4 || model == 5 || model == 6 || model == 8 || model == 19;
}

// The first inaccurate Hoek-Brown point of a call sequence.
void DumpFirstInaccurateHoekBrown(const StressCall& call) {
  Vec6 d{};
  for (int i = 0; i < 6; ++i) d[i] = call.sigC[i] - call.sigEQ[i];
  Diag().Line("SigC : ", std::span<const double>(call.sigC));
  Diag().Line("SigEq: ", std::span<const double>(call.sigEQ));
  Diag().Line("dif  : ", std::span<const double>(d));
  Diag().Line("TauMax  :", call.tauMax);
}

}  // namespace

bool HasEffectiveStiffness(int model) {
  switch (model) {
    case 1: case 2: case 4: case 5: case 6: case 8: case 9: case 10: case 12: case 13:
    case 15: case 16: case 17: case 18: case 19: case 31: case 32: case 33: case 34:
    case 35: case 111:
      return true;
    default:
      return udsm::IsUserModel(model);
  }
}

void DefaultCase(int model, MatSigOutput& out) {
  if (Diag().on()) Diag().Line("Default case in getsig !!!???", model);
  services::ShowMessageBox("TrkW3D", " Sorry, this version has a limitation on the material models");
  out.iAbort = 246;
}

void CountOutcome(const StressCall& call, MatSigCounters& counters) {
  const int area = std::abs(call.iArea);
  if (call.iArea != 0) ++counters.plastic;
  if (call.iArea < 0) ++counters.negative;
  if (call.tension) ++counters.tension;
  if (call.apex) ++counters.apex;
  if ((area == 3 && IsCapModel(call.model)) || call.capFlag) ++counters.cap;
  if ((area == 4 || area == 5) && (call.model == 6 || call.model == 19)) ++counters.hardening;
}

void CheckAccuracy(const MatSigInput& in, StressCall& call, MatSigCounters& counters) {
  const double w = in.weight;
  if (call.iArea == 0 && call.model != 8) {
    if (in.iter > 1) counters.sumWt += kElasticWeight * w;
    return;
  }
  double d2 = 0.0;
  for (int i = 0; i < 6; ++i) {
    const double d = call.sigC[i] - call.sigEQ[i];
    d2 += d * d;
  }
  const double tauMax = call.tauMax;
  const double err = 0.5 * std::sqrt(d2) / tauMax;
  counters.sumErr += err * w;
  counters.sumWt += w;
  if (tauMax <= 0.0 && Diag().on()) {
    Diag().Line("TauMax IS WRONG: ", tauMax);
    Diag().Line("in IntGlo: ", call.intGlo);
  }
  const double bound = in.tol * tauMax;
  if (d2 > 4.0 * bound * bound) {
    ++counters.inaccurate;
    if (call.tension) ++counters.inaccurateTension;
    if (call.apex) ++counters.inaccurateApex;
    call.iArea = call.iArea < 0 ? call.iArea - 10 : call.iArea + 10;
    if (call.model == 15 && counters.inaccurate == 1 && in.debug && Diag().on()) {
      DumpFirstInaccurateHoekBrown(call);
    }
    if (in.debug && Diag().on()) {
      Diag().Line("Inaccurate, dum  :", std::sqrt(d2));
      Diag().Line("Inaccurate, error:", err);
    }
  }
}

void DumpElasticTestPoint(const StressCall& call, const Vec6& dEps, const Vec6& dsigE) {
  Diag().Line("IntGlo : ", call.intGlo);
  Diag().Line("G      : ", call.G);
  Diag().Line("nu     : ", call.nu);
  Diag().Line("SPhi   : ", call.SPhi);
  Diag().Line("SPsi   : ", call.SPsi);
  Diag().Line("CoheSi : ", call.CoheSi);
  Diag().Line("Tens   : ", call.Tens);
  Diag().Line("deps : ", std::span<const double>(dEps));
  Diag().Line("dsigE: ", std::span<const double>(dsigE));
  Diag().Line("SigE : ", std::span<const double>(call.sigE));
  Diag().Line("SigC : ", std::span<const double>(call.sigC));
  Diag().Line("SigEQ: ", std::span<const double>(call.sigEQ));
  Vec6 d{};
  for (int i = 0; i < 6; ++i) d[i] = call.sigC[i] - call.sigEQ[i];
  Diag().Line("d: ", std::span<const double>(d));
}

void DumpStresses(const StressCall& call) {
  Diag().Line("Sig0:  ", std::span<const double>(call.sig0));
  Diag().Line("SigC:  ", std::span<const double>(call.sigC));
  Diag().Line("SigEQ: ", std::span<const double>(call.sigEQ));
}

}  // namespace soilcal::models::matsig
