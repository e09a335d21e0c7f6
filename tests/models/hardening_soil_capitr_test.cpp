// The cap-parameter library against the two conditions it is built on, and
// the per-test completion that calls it.
#include <gtest/gtest.h>


#include "core_test_helpers.hpp"
#include "hardening_soil_point.hpp"

namespace soilcal::models::testing {
namespace {

struct CapResult {
  double alpha = -1.0, ksKc = -1.0, giRef = -1.0, extra = -1.0, work = -1.0;
  int status = -999;
};

CapResult Call(HsCapItrFn fn, const PropSoil& p, double k0, double eoed) {
  CapResult r;
  const double eur = 2.0 * p[1] * (1.0 + p[2]);
  fn(p[40], eur, p[2], &r.work, p[35], p[37], p[34], k0, eoed, &r.alpha, &r.ksKc, &r.giRef,
     &r.extra, &r.work, &r.status);
  return r;
}

TEST(HardeningSoilCapLibrary, RefusesWhatNoCapCanReproduceAndWritesNothing) {
  CapLibrary cap;
  const HsCapItrFn fn = cap.res.capItr;
  ASSERT_NE(fn, nullptr);
  const PropSoil p = SandProps();
  // Eur/((1 + 2 K0)(1 - 2 nu)) at the K0nc state is the stiffest oedometer
  // the elastic part allows: 60000 * 0.5^0.5 / (2 * 0.6) = 35355.
  const CapResult tooStiff = Call(fn, p, 0.5, 36000.0);
  EXPECT_NE(tooStiff.status, 0);
  EXPECT_EQ((std::array{tooStiff.alpha, tooStiff.ksKc, tooStiff.giRef}),
            (std::array{-1.0, -1.0, -1.0}));
  // The lateral condition needs a positive 1/alpha^2: 1/Eoed above the
  // vertical minus lateral strain rates of the elastic and shear parts,
  // (1 - K0)(1 + nu)/Eur + 3/4 l_s = 1/31400 here; between the two limits the
  // cap would have to pull the lateral stress the wrong way.
  EXPECT_NE(Call(fn, p, 0.5, 33000.0).status, 0);
  EXPECT_EQ(Call(fn, p, 0.5, 30000.0).status, 0);
  EXPECT_NE(Call(fn, p, 1.0, 20000.0).status, 0);   // isotropic line: no cap shape
  EXPECT_NE(Call(fn, p, 0.5, -1.0).status, 0);      // no oedometric stiffness
}

// A stand-in for the library that records its arguments.
struct Recorded {
  int calls = 0;
  std::array<double, 9> args{};
  std::array<double, 6> placesBefore{};
  int statusBefore = 0;
  int statusToReturn = 0;
};
Recorded& Record() {
  static Recorded r;
  return r;
}
void FakeCapItr(double e50, double eur, double nu, double* work, double pref, double rf, double m,
                double k0, double eoed, double* alpha, double* ksKc, double* gi, double* extra,
                double* work2, int* status) {
  Recorded& r = Record();
  ++r.calls;
  r.args = {e50, eur, nu, pref, rf, m, k0, eoed, work == work2 ? 1.0 : 0.0};
  r.placesBefore = {*work, *alpha, *ksKc, *gi, *extra, *work2};
  r.statusBefore = *status;
  *status = r.statusToReturn;
  if (r.statusToReturn == 0) {
    *alpha = 1.5;
    *ksKc = 2.5;
    *gi = 1234.0;
  } else {
    *alpha = 99.0;  // a failing routine may scribble: nothing may be taken
  }
}

TEST(HardeningSoilCompletion, HandsTheFifteenArgumentsAndTakesThreeResults) {
  Record() = Recorded{};
  PropSoil p = SandProps();
  ModelResources res;
  res.capItr = &FakeCapItr;
  ASSERT_EQ(hs::PerTestCompletion(p, ModelConstants{}, res), 0);
  const Recorded& r = Record();
  EXPECT_EQ(r.calls, 1);
  // E50ref, Eur,ref = 2 Gref (1 + nu), nu, pref, Rf, m, K0nc = 1 - sin(phi)
  // for a negative slot, Eoed,ref; arguments 4 and 14 are one cell.
  const double expected[9] = {20000.0, 60000.0, 0.2, 100.0, 0.9, 0.5, 0.5, 20000.0, 1.0};
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(r.args[i], expected[i]) << "argument " << i;
  for (double v : r.placesBefore) EXPECT_EQ(v, -1.0);
  EXPECT_EQ(r.statusBefore, -999);
  EXPECT_EQ((std::array{p[31], p[32], p[36]}), (std::array{1.5, 2.5, 1234.0}));
  EXPECT_DOUBLE_EQ(p[39], 0.5);                  // the K0nc used is written back

  // A failing routine leaves every slot as it was and stops the test (2).
  Record().statusToReturn = 3;
  PropSoil q = SandProps();
  const PropSoil before = q;
  EXPECT_EQ(hs::PerTestCompletion(q, ModelConstants{}, res), 2);
  EXPECT_EQ(q.slot, before.slot);
  // Without a loaded routine a frictional set cannot be completed.
  EXPECT_EQ(hs::PerTestCompletion(q, ModelConstants{}, ModelResources{}), 2);
  EXPECT_EQ(q.slot, before.slot);
}

}  // namespace
}  // namespace soilcal::models::testing
