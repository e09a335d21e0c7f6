// Material sets, the per-point model record and the counters of a model call.
#pragma once

#include <array>
#include <string>

#include "models/tensor.hpp"

namespace soilcal::models {

// Highest slot number of a parameter vector.
inline constexpr int kNumSlots = 255;

// Parameter vector of one material set, 1-based slots 1..255 (slot 0 unused).
// Slot names: Gref 1, nu 2, sin(phi) 3, Cref 4, sin(psi) 5, ... (see the
// README's parameter table).
struct PropSoil {
  std::array<double, kNumSlots + 1> slot{};
  double& operator[](int k) { return slot[static_cast<std::size_t>(k)]; }
  double operator[](int k) const { return slot[static_cast<std::size_t>(k)]; }
};

// One material set: model code, parameters, elastic matrix, water stiffness.
struct MaterialSet {
  int modelCode = 0;    // drainage type * 100 + model number (drainage 2 = undrained)
  PropSoil prop;
  Mat6 D{};             // the set's elastic matrix
  double BUW = 0.0;     // bulk stiffness of the pore water over porosity (undrained sets)
  std::string name;     // material name; library name of user-defined models
  int DrainageType() const { return modelCode / 100; }
};

// Reduces a model number: modulo 100; a remainder above 50 is lowered by 50
// and written back into `code`; then modulo 100 again.
int ReduceModelNumber(int& code);

// The nine-value record every model keeps per stress point, stored at a
// caller-given position of the state-variable vectors.
struct PointMatState {
  double G = 0.0;          // 0 current elastic shear modulus
  double waterBulk = 0.0;  // 1 water bulk value for undrained variants
  double SPhi = 0.0;       // 2 sine of the mobilised friction angle
  double CoheSi = 0.0;     // 3 c cos(phi)
  double CCotPhi = 1e10;   // 4 c cot(phi), 1e10 when sin(phi) is 0
  double v5 = 0.0;         // 5 model value (gamma_p of the Hardening Soil family)
  double pc = 0.0;         // 6 preconsolidation pressure
  double v7 = 0.0;         // 7 model value
  double v8 = 0.0;         // 8 model value

  static constexpr int kSize = 9;
  void Load(const double* v) {
    G = v[0]; waterBulk = v[1]; SPhi = v[2]; CoheSi = v[3]; CCotPhi = v[4];
    v5 = v[5]; pc = v[6]; v7 = v[7]; v8 = v[8];
  }
  void Store(double* v) const {
    v[0] = G; v[1] = waterBulk; v[2] = SPhi; v[3] = CoheSi; v[4] = CCotPhi;
    v[5] = v5; v[6] = pc; v[7] = v7; v[8] = v8;
  }
};

// Layout of the state-variable vectors of a point (1000 doubles each):
// PointMatState at [0, 9), the model's own state from kModelStateOffset on.
inline constexpr int kStateCapacity = 1000;
inline constexpr int kPointMatStatePos = 0;
inline constexpr int kModelStateOffset = PointMatState::kSize;

// Counters of model calls; owned by the caller, only incremented by MatSig.
struct MatSigCounters {
  int plastic = 0;          // iArea != 0
  int negative = 0;         // iArea < 0 (newly plastic)
  int tension = 0;
  int apex = 0;
  int inaccurate = 0;
  int inaccurateTension = 0;
  int inaccurateApex = 0;
  int cap = 0;              // iArea magnitude 3 in models 4, 5, 6, 8, 19
  int hardening = 0;        // iArea magnitude 4 or 5 in models 6, 19
  int subSteps = 0;         // models 14, 18
  int maxSubSteps = 0;
  int subSteppedPoints = 0;
  double sumErr = 0.0;      // weighted relative errors
  double sumWt = 0.0;       // weights

  void Add(const MatSigCounters& o) {
    plastic += o.plastic; negative += o.negative; tension += o.tension; apex += o.apex;
    inaccurate += o.inaccurate; inaccurateTension += o.inaccurateTension;
    inaccurateApex += o.inaccurateApex; cap += o.cap; hardening += o.hardening;
    subSteps += o.subSteps; maxSubSteps = maxSubSteps > o.maxSubSteps ? maxSubSteps : o.maxSubSteps;
    subSteppedPoints += o.subSteppedPoints; sumErr += o.sumErr; sumWt += o.sumWt;
  }
};

// Run-wide values the models read; fixed once the input is read.
struct ModelConstants {
  double refPressure = 100.0;   // 100 kPa in the job's units
  double stressFloor = 1.0;     // one hundredth of it
  double timeFactor = 1.0;      // seconds per time unit of the test file
};

}  // namespace soilcal::models
