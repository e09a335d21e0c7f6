#include "models/hoek_brown/hb_sig.hpp"

#include <algorithm>

#include "models/hoek_brown/hb_return.hpp"
#include "models/principal.hpp"
#include "services/diag.hpp"

namespace soilcal::models::hoek_brown {
namespace {

using services::Diag;

Vec3 Compressive(const Vec3& s) { return {-s[0], -s[1], -s[2]}; }

bool ReferenceElastic(const Vec6& sigEQ, const HbParams& m) {
  const Vec3 c = Compressive(PrincipalStressDirections(sigEQ).s);
  return HbYield(c[0], c[2], m) <= 1e-10 * m.sci && c[2] >= -m.tension;
}

}  // namespace

void HB_Sig(StressCall& call) {
  call.tension = false;
  call.apex = false;
  const HbParams m = MakeHbParams(*call.prop, call.G);
  const Principal tr = PrincipalStressDirections(call.sigC);
  const HbReturn r = ReturnHoekBrown(Compressive(tr.s), m);
  if (r.area == 0) {
    call.iArea = 0;
    return;
  }
  call.iArea = ReferenceElastic(call.sigEQ, m) ? -r.area : r.area;
  call.tension = r.tension;
  call.apex = r.apex;
  call.sigC = RebuildStress({-r.c[0], -r.c[1], -r.c[2]}, tr.dir);
  const double floor = call.k ? call.k->stressFloor : ModelConstants{}.stressFloor;
  call.tauMax = std::max(0.5 * (r.c[0] - r.c[2]), 0.5 * floor);
  if (!r.converged && Diag().on()) Diag().Line("HB return not converged, IntGlo:", call.intGlo);
}

}  // namespace soilcal::models::hoek_brown
