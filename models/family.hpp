// A model family is one table of routines: its checks and derivations, its
// per-test completion, its shear modulus at test start, its point
// initialisation, its stress routine and, where it has one, its own elastic
// stiffness. The generic routines (CopySoilProp, GenMat, MatSig, ELEMBoth,
// the objective's admissibility check) look the family up by reduced model
// number and call what it provides; a model number without a family ends in
// the dispatcher's default case.
#pragma once

#include <span>

#include "models/material.hpp"
#include "models/stress_call.hpp"
#include "services/errors.hpp"

namespace soilcal::models {

// Contract of the cap-parameter routine HS_CapItr (see the caplib README):
// values by value, places by pointer, status 0 on success.
using HsCapItrFn = void (*)(double e50ref, double eurref, double nu, double* work, double pref,
                            double rf, double m, double k0nc, double eoedref, double* alpha,
                            double* ksKc, double* giref, double* extra, double* work2,
                            int* status);

namespace udsm {
struct Session;  // per-evaluation state of the user-model libraries
}

// Run resources a simulation may use; owned outside the immutable job.
struct ModelResources {
  HsCapItrFn capItr = nullptr;       // resolved at start-up for models 6 and 19
  udsm::Session* udsm = nullptr;     // user-model links of this evaluation
  // Extra message texts of the evaluation (the simulation context's), which
  // kernel error 247 shows; user-model failures write them here.
  services::KernelMessageTexts* texts = nullptr;
};

// Shear modulus and strength values of a point at the start of a test (and
// before every step for stress-dependent models).
struct GenMatCall {
  const PropSoil* prop = nullptr;
  const ModelConstants* k = nullptr;
  int model = 0;
  Vec6 stress{};            // initial stress (or current stress when refreshed)
  double y = 0.0;           // vertical coordinate of the point (0 in the lab)
  bool meanStressForm = false;
  double epsV = 0.0;        // volumetric strain since the start (update mode)
  bool updateMode = false;
  // Current void ratio of the point when the caller tracks it (negative:
  // unknown). The update mode of model 5 takes K = (1 + e) p / kappa from it,
  // which keeps the elastic stiffness on the same volume as the void-ratio
  // update of the stress-point loop; without it e follows from epsV.
  double voidRatio = -1.0;
};

// Start values of a point's model state.
struct PointInitCall {
  const PropSoil* prop = nullptr;
  const ModelConstants* k = nullptr;
  int model = 0;
  int modelCode = 0;
  int iSet = 1;
  Vec6 initialStress{};
  double preconsolidation = 0.0;  // smallest principal stress of the OCR/POP state (compression negative)
  PointMatState* pms = nullptr;
  double* stVar = nullptr;        // model state from kModelStateOffset
  int nStat = 0;
  ModelResources* resources = nullptr;
  // The simulation set (user-defined models link their library from its
  // name when ModelFamily::setUp has not run).
  MaterialSet* set = nullptr;
};

// Set-up of a family's models before a test, after the per-test completion:
// the user-defined models link their library here and learn from it the
// number of state variables and the matrix attributes of the run. Failures
// raise their kernel error.
struct ModelSetUpCall {
  MaterialSet* set = nullptr;       // the simulation set (slot 30 receives nStat)
  const ModelConstants* k = nullptr;
  int iSet = 1;
  int model = 0;
  ModelResources* resources = nullptr;
  // outputs
  int nStat = 0;                    // model state variables beyond PointMatState
  int nonSym = 0;                   // run-wide matrix attributes (0 or 1)
  int stressDependent = 0;
  int timeDependent = 0;
  int tangent = 0;
};

// Elastic stiffness of a point for the step solver.
struct ElasticCall {
  const MaterialSet* set = nullptr;
  const ModelConstants* k = nullptr;
  int model = 0;
  int mode = 3;                   // 3 iteration matrix, 6 after an accepted step
  int checkWord = 805;            // user models: 805 from ELEMBoth, 804 from MatSig
  const PointMatState* pms = nullptr;
  const double* stVar0 = nullptr;
  int nStat = 0;
  Vec6 sig0{};                    // stress at the start of the step
  Vec6 eps{};                     // total strain
  double swp0 = 0.0;
  double time = 0.0, dTime = 0.0;
  int step = 0, iter = 0;
  ModelResources* resources = nullptr;
  // outputs
  Mat6 D{};
  double waterBulk = 0.0;         // user models may return one
  int iAbort = 0;
  double G = 0.0;                 // shear modulus to take over (models 19, 34, 36)
  double nu = -1.0;               // Poisson's ratio to take over (model 34); < 0: the set's
};

struct ModelFamily {
  const char* name = "";
  std::span<const int> models{};  // reduced model numbers served
  int minStateVars = 1;           // minimum number of state variables
  bool stressDependent = false;   // GenMat before every load step
  bool timeDependent = false;

  // Checks and derivations of CopySoilProp for one set (may report and stop).
  void (*copySoilProp)(int iSet, PropSoil& prop, const ModelConstants& k) = nullptr;
  // Per-test completion; returns 0, or the test-run status to stop with (2).
  int (*perTestCompletion)(PropSoil& prop, const ModelConstants& k,
                           const ModelResources& res) = nullptr;
  // Shear modulus of GenMat for this family.
  double (*genMatShearModulus)(const GenMatCall& call) = nullptr;
  // Stress-point initialisation; returns an error count.
  int (*initPoint)(PointInitCall& call) = nullptr;
  // Stress routine with its follow-up (elastic update) for one point.
  void (*stress)(StressCall& call, ModelResources& res) = nullptr;
  // Own elastic stiffness; nullptr means the isotropic matrix of G and nu.
  void (*elasticMatrix)(ElasticCall& call) = nullptr;
  // Set-up before a test (state-variable count, matrix attributes); nullptr
  // for families without one.
  void (*setUp)(ModelSetUpCall& call) = nullptr;

  // Families that serve several models whose checks differ (the soft-soil
  // family: 4, 5 and 8 have their own messages and derived slots) give these
  // forms, which also receive the reduced model number. When one is set the
  // generic code calls it instead of the form without the model above.
  void (*copySoilPropForModel)(int model, int iSet, PropSoil& prop,
                               const ModelConstants& k) = nullptr;
  int (*perTestCompletionForModel)(int model, PropSoil& prop, const ModelConstants& k,
                                   const ModelResources& res) = nullptr;
};

// Calls the family's CopySoilProp hook for reduced model `model` (the
// model-aware form when the family has one); no-op without a hook.
inline void CallFamilyCopySoilProp(const ModelFamily& f, int model, int iSet, PropSoil& prop,
                                   const ModelConstants& k) {
  if (f.copySoilPropForModel) {
    f.copySoilPropForModel(model, iSet, prop, k);
  } else if (f.copySoilProp) {
    f.copySoilProp(iSet, prop, k);
  }
}

// Calls the family's per-test completion for reduced model `model`; 0
// without a hook.
inline int CallFamilyPerTestCompletion(const ModelFamily& f, int model, PropSoil& prop,
                                       const ModelConstants& k, const ModelResources& res) {
  if (f.perTestCompletionForModel) return f.perTestCompletionForModel(model, prop, k, res);
  if (f.perTestCompletion) return f.perTestCompletion(prop, k, res);
  return 0;
}

// Family serving reduced model `model`, or nullptr.
const ModelFamily* FindModelFamily(int model);

}  // namespace soilcal::models

namespace soilcal::models {
// The families of the program, each defined in its own folder.
const ModelFamily& ElasticFamily();        // models/elastic: model 1
const ModelFamily& MohrCoulombFamily();    // models/mohr_coulomb: model 2
const ModelFamily& HardeningSoilFamily();  // models/hardening_soil: models 6, 19
const ModelFamily& SoftSoilFamily();       // models/soft_soil: models 4, 5, 8
const ModelFamily& UserModelFamily();      // models/udsm: models 21..30
const ModelFamily& HoekBrownFamily();      // models/hoek_brown: model 15
const ModelFamily& SekiguchiOhtaFamily();  // models/sekiguchi_ohta: models 31, 32
const ModelFamily& NgiAdpFamily();         // models/ngi_adp: models 12, 35
const ModelFamily& UbcSandFamily();        // models/ubc3d: model 34
}  // namespace soilcal::models
