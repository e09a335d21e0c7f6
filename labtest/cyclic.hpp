// Cyclic tests and their liquefaction. A test is cyclic when one of its
// stress-prescribed components turns the sign of its increment at least
// twice from phase to phase (load, unload, reload), as the cyclic simple
// shear and triaxial tests of input/cyclic_tests.hpp do; an oedometer that
// is loaded and unloaded once is not.
//
// A cyclic test has liquefied by the usual laboratory definitions when,
// after an accepted step, the excess pore pressure ratio r_u = du / sigma'_ref
// has reached 0.98, or the single-amplitude shear strain eps_1 - eps_3 has
// reached 3 %. sigma'_ref is the initial effective stress of the
// stress-prescribed normal components (the vertical stress of simple shear,
// the cell pressure of a triaxial test: the smallest when several), or p'0
// when no normal component is stress-prescribed. The test goes on to its
// last step unless it is asked to stop at liquefaction; both criteria are
// reported with the time (the cycle) where each was first met. Tests that
// are not cyclic are not watched.
#pragma once

#include "input/records.hpp"
#include "models/tensor.hpp"

namespace soilcal::labtest {

inline constexpr double kLiquefiedPorePressureRatio = 0.98;
inline constexpr double kLiquefiedShearStrain = 0.03;

bool IsCyclicTest(const input::LabTest& test);

// Mean effective stress (compression positive) of a stress vector.
inline double MeanEffectiveStress(const Vec6& sig) { return -(sig[0] + sig[1] + sig[2]) / 3.0; }

// sigma'_ref of the test's r_u (compression positive, at least 1e-12).
double PorePressureReference(const input::LabTest& test);

// Maximum shear strain eps_1 - eps_3 of a strain vector whose shear
// components are engineering strains.
double MaximumShearStrain(const Vec6& eps);

// What a cyclic test reached: the largest r_u and shear strain seen, and
// the first point and time at which each criterion was met (point 0 and
// time -1 while it was not).
struct LiquefactionWatch {
  double reference = 1.0;
  double maxRu = 0.0, maxShearStrain = 0.0;
  int pointByRu = 0, pointByStrain = 0;
  double timeByRu = -1.0, timeByStrain = -1.0;

  bool Liquefied() const { return pointByRu > 0 || pointByStrain > 0; }
  // The first point at which either criterion held (0 when none did).
  int Point() const;
  double Time() const;
  // Takes an accepted step's state; true when this step is the first that
  // meets a criterion.
  bool Observe(int point, double time, const Vec6& strain, double swp);
};

}  // namespace soilcal::labtest
