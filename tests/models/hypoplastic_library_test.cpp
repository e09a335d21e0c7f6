// The hypoplastic sand library through its C entry, as the program calls it:
// the answers of the set-up tasks, the refusals, and the stiffness of a step
// against central differences of the stress answer (engineering shear
// strains, column-major D).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "services/library.hpp"
#include "soilcal/user_model.h"

namespace soilcal::testing {
namespace {

// Karlsruhe fine sand as published, e0 = 0.8 (user parameters 1..17).
std::array<double, SOILCAL_UDSM_NPROPS> Props(bool intergranular) {
  std::array<double, SOILCAL_UDSM_NPROPS> p{};
  const double values[] = {33.1, 4.0e6, 0.27, 0.677, 1.054, 1.212, 0.14, 2.5,
                           intergranular ? 2.2 : 0.0, 1.1, 1e-4, 0.1, 5.5, 0.8, 0.0, 0.0, 1e-6};
  std::copy(std::begin(values), std::end(values), p.begin());
  return p;
}

struct Call {
  int task = 0;
  std::array<double, SOILCAL_UDSM_NPROPS> props{};
  std::array<double, SOILCAL_UDSM_NSIG0> sig0{};
  std::vector<double> stVar0 = std::vector<double>(14, 0.0);
  std::array<double, SOILCAL_UDSM_NDEPS> dEps{};
  std::array<double, 36> D{};
  std::array<double, 6> sig{};
  std::vector<double> stVar = std::vector<double>(14, 0.0);
  int32_t nStat = 0, nonSym = 0, strsDep = 0, timeDep = 0, tang = 0, ipl = 0, iAbort = 0;
};

class HypoplasticLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib_.LoadPath(std::string(SOILCAL_BINARY_DIR) + "/libhypoplastic_sand64.so"))
        << lib_.error();
    entry_ = reinterpret_cast<SoilcalUserModFunc*>(lib_.Symbol("User_Mod"));
    ASSERT_NE(entry_, nullptr);
  }

  void Run(Call& c) {
    int32_t task = c.task, iMod = 1, undr = 0, step = 1, iter = 0, el = 1, pt = 1, r1 = 0, r2 = 0;
    double x = 0, y = 0, z = 0, t0 = 0, dt = 0, swp0 = 0, bulkW = 0, swp = 0;
    entry_(&task, &iMod, &undr, &step, &iter, &el, &pt, &x, &y, &z, &t0, &dt, c.props.data(),
           c.sig0.data(), &swp0, c.stVar0.data(), c.dEps.data(), c.D.data(), &bulkW,
           c.sig.data(), &swp, c.stVar.data(), &c.ipl, &c.nStat, &c.nonSym, &c.strsDep,
           &c.timeDep, &c.tang, &r1, &r2, &c.iAbort);
  }

  // Stresses after the increment dEps from a start state.
  std::array<double, 6> Stress(const Call& start, const std::array<double, 6>& dEps) {
    Call c = start;
    c.task = SOILCAL_UDSM_STRESS;
    std::copy(dEps.begin(), dEps.end(), c.dEps.begin());
    c.stVar = c.stVar0;
    Run(c);
    EXPECT_EQ(c.iAbort, 0);
    return c.sig;
  }

  services::SharedLibrary lib_;
  SoilcalUserModFunc* entry_ = nullptr;
};

TEST_F(HypoplasticLibrary, SetUpTasksAnswerTheModelsShape) {
  Call c;
  c.props = Props(true);
  c.task = SOILCAL_UDSM_STATE_COUNT;
  Run(c);
  EXPECT_EQ(c.nStat, 14);
  c.task = SOILCAL_UDSM_ATTRIBUTES;
  Run(c);
  EXPECT_EQ((std::array{c.nonSym, c.strsDep, c.timeDep, c.tang}), (std::array{1, 1, 0, 1}));
  c.task = SOILCAL_UDSM_INITIALISE;
  c.sig0 = {-100, -100, -100};
  c.stVar0.assign(14, -7.0);
  Run(c);
  EXPECT_EQ(c.iAbort, 0);
  EXPECT_EQ(c.stVar0[0], 0.8);  // e from e0
  EXPECT_EQ(*std::max_element(c.stVar0.begin() + 1, c.stVar0.end()), 0.0);
  // The void ratio from the porosity when e0 is 0: n0 = 0.4 gives e = 2/3.
  c.props[13] = 0.0;
  c.props[14] = 0.4;
  Run(c);
  EXPECT_NEAR(c.stVar0[0], 2.0 / 3.0, 1e-15);
}

TEST_F(HypoplasticLibrary, RefusesWhatItCannotComputeWithItsAbortCodes) {
  Call c;
  c.props = Props(true);
  c.task = SOILCAL_UDSM_INITIALISE;
  Run(c);  // zero stress: no compressive mean stress
  EXPECT_EQ(c.iAbort, 3);
  c.props[15] = 1.0;  // p_t = 1 kPa shifts it inside
  Run(c);
  EXPECT_EQ(c.iAbort, 0);
  Call bad = c;
  bad.props[3] = 1.1;  // ed0 above ec0
  bad.task = SOILCAL_UDSM_STRESS;
  Run(bad);
  EXPECT_EQ(bad.iAbort, 2);
  // An extension that takes the point out of compression.
  Call pull = c;
  pull.props[15] = 0.0;
  pull.sig0 = {-1, -1, -1};
  pull.stVar0[0] = 0.8;
  pull.dEps = {0.01, 0.01, 0.01};
  pull.task = SOILCAL_UDSM_STRESS;
  Run(pull);
  EXPECT_EQ(pull.iAbort, 4);
  Call other = c;
  other.task = SOILCAL_UDSM_STATE_COUNT;
  int32_t iMod = 2;  // no model 2 in the library
  int32_t task = other.task, z = 0;
  double d = 0;
  entry_(&task, &iMod, &z, &z, &z, &z, &z, &d, &d, &d, &d, &d, other.props.data(), other.sig0.data(),
         &d, other.stVar0.data(), other.dEps.data(), other.D.data(), &d, other.sig.data(), &d,
         other.stVar.data(), &other.ipl, &other.nStat, &z, &z, &z, &z, &z, &z, &other.iAbort);
  EXPECT_EQ(other.iAbort, 1);
}

TEST_F(HypoplasticLibrary, StiffnessOfAStepMatchesCentralDifferencesOfTheStress) {
  // A first step in a general direction (shear included) leaves the state
  // and the direction; the stiffness of the next step is the tangent in
  // that direction. Central differences of the stress answer around a tiny
  // increment along it (1e-8, so the state barely moves; h = 1e-10, so the
  // rounding of stresses near 100 kPa stays near 1e-4 kPa per unit strain)
  // must give the same matrix within 1e-4 of its largest entry.
  const std::array<double, 6> first = {-1e-5, -3e-5, -2e-5, 1e-5, -4e-6, 6e-6};
  for (bool intergranular : {false, true}) {
    SCOPED_TRACE(intergranular);
    Call start;
    start.props = Props(intergranular);
    start.sig0 = {-120, -100, -80, 5, -3, 2};
    start.task = SOILCAL_UDSM_INITIALISE;
    Run(start);
    ASSERT_EQ(start.iAbort, 0);
    Call step = start;
    step.task = SOILCAL_UDSM_STRESS;
    std::copy(first.begin(), first.end(), step.dEps.begin());
    Run(step);
    ASSERT_EQ(step.iAbort, 0);
    Call next = start;
    std::copy(step.sig.begin(), step.sig.end(), next.sig0.begin());
    next.stVar0 = step.stVar;
    next.task = SOILCAL_UDSM_STIFFNESS;
    Run(next);
    ASSERT_EQ(next.iAbort, 0);

    const double scale = 1e-8 / 3e-5, h = 1e-10;
    double largest = 0.0;
    for (double v : next.D) largest = std::max(largest, std::abs(v));
    for (int j = 0; j < 6; ++j) {
      std::array<double, 6> plus, minus;
      for (int k = 0; k < 6; ++k) plus[k] = minus[k] = scale * first[k];
      plus[j] += h;
      minus[j] -= h;
      const auto sp = Stress(next, plus), sm = Stress(next, minus);
      for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(next.D[i + 6 * j], (sp[i] - sm[i]) / (2 * h), 1e-4 * largest)
            << "D(" << i << "," << j << ")";
      }
    }
  }
}

}  // namespace
}  // namespace soilcal::testing
