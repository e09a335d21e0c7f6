// What the rules read off each kind of test, gathered once for all models.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "derive/derivation.hpp"
#include "derive/rules.hpp"

namespace soilcal::derive {

struct DrainedShear {
  std::string name;
  double sigma3 = 0.0;
  bool extension = false;
  Peak peak;
  std::optional<double> E50;
  std::optional<double> plateau;  // of an elastic, perfectly plastic fit with E50
  std::optional<Hyperbola> hyperbola;
  std::optional<Dilatancy> dilatancy;
  std::optional<double> nu;
  std::optional<double> Eur;   // from an unloading branch of q(ε1)
};

struct UndrainedShear {
  std::string name;
  TestKind kind = TestKind::kTriaxialCompression;
  double sigma3 = 0.0;         // σ′3 (triaxial) or σ′v (simple shear) at the start
  double strength = 0.0;       // su
  double strainAtFailure = 0.0;  // γ at failure (triaxial: 1.5 ε1), a fraction
  std::optional<double> Eu;    // initial tangent q/ε1 (below 5 % of qf)
  std::optional<double> Gu;    // simple shear: initial tangent τ/γ
  std::optional<double> etaMax;  // stress ratio at failure (the failure line's mean η)
  std::optional<double> porePressure;  // Δu at failure
};

struct CompressionRecord {
  std::string name;
  TestKind kind = TestKind::kOedometer;
  double initialStress = 0.0;
  Series curve;                // σ′ against strain
  Compression slopes;
  std::optional<double> casagrande;
  std::optional<double> becker;
};

// A stage of constant effective stress in a test's strain-time record.
struct CreepStage {
  std::string name;
  double stress = 0.0;   // σ′ held during the stage (0 when the test gives none)
  CreepRate rate;
};

struct Analysis {
  std::vector<DrainedShear> drained;
  std::vector<UndrainedShear> undrained;
  std::vector<CompressionRecord> compression;
  std::vector<CreepStage> creep;
  std::optional<Strength> strength;   // from the drained peaks
  std::optional<Strength> plateauStrength;  // from the perfectly plastic plateaus
  std::vector<std::string> skipped;
};

Analysis Analyse(std::span<const MeasuredTest> tests);

// "21 480", "0.523", "38.2": three significant digits, no exponent for the
// numbers of soil mechanics.
std::string Number(double v);

}  // namespace soilcal::derive
