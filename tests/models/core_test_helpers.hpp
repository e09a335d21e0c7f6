// Helpers of the constitutive-core tests: capture of the diagnostic channel,
// rotations, and a one-point MatSig harness.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "models/matsig.hpp"
#include "models/mohr_coulomb/mc_return.hpp"
#include "models/principal.hpp"
#include "services/diag.hpp"
#include "services/library.hpp"
#include "test_support.hpp"

namespace soilcal::models::testing {

// Binds unit 2 to a temporary file for the lifetime of the object.
class DiagCapture {
 public:
  DiagCapture() : file_(std::tmpfile()) { services::Diag().Attach(file_, false); }
  ~DiagCapture() {
    services::Diag().Detach();
    std::fclose(file_);
  }
  DiagCapture(const DiagCapture&) = delete;
  DiagCapture& operator=(const DiagCapture&) = delete;
  std::string Text() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text.append(buf, n);
    return text;
  }

 private:
  std::FILE* file_;
};

// The cap-parameter library of the Hardening Soil models, from the build
// folder; `res.capItr` stays null when it cannot be loaded.
struct CapLibrary {
  services::SharedLibrary lib;
  ModelResources res;
  CapLibrary() {
    if (lib.LoadPath(soilcal::testing::BuildPath("libzarirude.so"))) {
      res.capItr = reinterpret_cast<HsCapItrFn>(lib.Symbol("HS_CapItr"));
    }
  }
};

// Orthonormal frame (rows) from three angles: rotations about z, y and x.
inline Mat3 Rotation(double a, double b, double c) {
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  const double cc = std::cos(c), sc = std::sin(c);
  return {{{ca * cb, ca * sb * sc - sa * cc, ca * sb * cc + sa * sc},
           {sa * cb, sa * sb * sc + ca * cc, sa * sb * cc - ca * sc},
           {-sb, cb * sc, cb * cc}}};
}

// One material point with its state vectors, ready for MatSig.
struct PointHarness {
  MaterialSet set;
  ModelConstants k;
  std::vector<double> stVar0 = std::vector<double>(kStateCapacity, 0.0);
  std::vector<double> stVar = std::vector<double>(kStateCapacity, 0.0);
  MatSigInput in;
  ModelResources res;
  MatSigCounters counters;
  services::KernelMessageTexts texts;

  // Mohr-Coulomb (or elastic) set with the record filled as GenMat would.
  PointHarness(int modelCode, double G, double nu, double sinPhi, double sinPsi, double c,
               double tens) {
    set.modelCode = modelCode;
    const std::pair<int, double> propSlots[] = {
        {1, G}, {2, nu}, {3, sinPhi}, {4, c}, {5, sinPsi}, {16, tens}};
    for (const auto& [slot, value] : propSlots) set.prop[slot] = value;
    const double cCosPhi = c * std::sqrt(1.0 - sinPhi * sinPhi);
    PointMatState pms{.G = G, .SPhi = sinPhi, .CoheSi = cCosPhi,
                      .CCotPhi = sinPhi > 0 ? cCosPhi / sinPhi : 1e10};
    pms.Store(stVar0.data());
    pms.Store(stVar.data());
    in.model = modelCode % 100;
    in.set = &set;
    in.k = &k;
    in.D = IsotropicElasticMatrix(G, nu);
    in.stVar0 = stVar0.data();
    in.stVar = stVar.data();
  }

  MatSigOutput Run() {
    MatSigOutput out;
    MatSig(in, res, out, counters, texts);
    return out;
  }
};

// A Mohr-Coulomb stress call with the trial stress `trial` and the reference
// stress `reference` of the elastic step.
inline StressCall CallFor(const mohr_coulomb::McParams& m, const Vec6& trial, const Vec6& reference) {
  StressCall call;
  call.SPhi = m.s;
  call.SPsi = m.d;
  call.CoheSi = m.cc;
  call.Tens = m.T;
  call.G = m.G;
  call.nu = m.nu;
  call.sigE = trial;
  call.sigC = trial;
  call.sigEQ = reference;
  return call;
}

}  // namespace soilcal::models::testing
