// What the dispatcher MatSig hands to a model's stress routine, and what the
// routine hands back. One struct carries everything any model needs, so a new
// model family adds a routine, not a new signature.
#pragma once

#include "models/material.hpp"
#include "models/tensor.hpp"
#include "services/errors.hpp"

namespace soilcal::models {

struct StressCall {
  // Tag of the constructor that leaves D unset, for a caller that fills it
  // before the call (MatSig): the matrix is the largest member and zeroing it
  // on every stress-point call is measurable.
  struct StiffnessFilledLater {};

  StressCall() : D{} {}
  explicit StressCall(StiffnessFilledLater) {}

  // --- inputs ---------------------------------------------------------------
  int model = 0;            // reduced model number
  int modelCode = 0;        // raw code of the set (drainage type * 100 + model)
  int iSet = 1;             // material set number
  int intGlo = 1;           // global stress-point number (messages)
  const PropSoil* prop = nullptr;
  const ModelConstants* k = nullptr;
  Vec6 sigE{};              // elastic trial stress
  Vec6 sig0{};              // stress at the start of the step
  Vec6 sigEQ{};             // reference stress of MatSig's accuracy check
  // False when only the diagnostics would read what sigEQ tells (the sign
  // of iArea, the accuracy counters): sigEQ is then sigE and a routine may
  // skip its test of the reference stress.
  bool referenceStress = true;
  Vec6 dEps{};              // strain increment of the step
  Mat6 D;                   // effective elastic matrix used for sigE (zero by default)
  double SPhi = 0.0, SPsi = 0.0, CoheSi = 0.0, Tens = 0.0;
  double G = 0.0, nu = 0.0;
  double epsV = 0.0;        // volumetric strain since the start of the test
  double voidRatio = 0.0;   // current void ratio e of the point
  double time = 0.0;        // time at the start of the step
  double dTime = 0.0;       // time increment of the step (seconds * factor of the file unit)
  int step = 0;             // load-step number in the test (1-based)
  int iter = 0;             // equilibrium iteration number (1-based)
  double tol = 0.0;         // tolerated relative error
  bool dilatancyCutOff = false;  // models 6 and 19
  double capAlpha = 0.0;    // models 6 and 19: slot 31
  double ksKc = 0.0;        // model 6: max(1, slot 32); model 19: slot 32
  bool debug = false;
  // State: PointMatState at start (read) and end (written); the model's own
  // state variables start at kModelStateOffset of the vectors.
  PointMatState pms0;       // record as loaded from the start-of-step vector
  PointMatState pms;        // record to be written to the end-of-step vector
  const double* stVar0 = nullptr;
  double* stVar = nullptr;
  int nStat = 0;            // number of the model's own state variables

  // --- outputs --------------------------------------------------------------
  Vec6 sigC{};              // returned stress (starts as sigE)
  int iArea = 0;
  bool tension = false;
  bool apex = false;
  bool capFlag = false;
  double tauMax = 1.0;
  int iAbort = 0;
  double swp = 0.0;         // pore pressure at the end (user models may change it)
  double swp0 = 0.0;
  // Extra message texts of an abort (kernel error 247); may be null.
  services::KernelMessageTexts* texts = nullptr;
};

}  // namespace soilcal::models
