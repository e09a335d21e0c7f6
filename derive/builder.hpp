// The list of a model's start values as the model rules build it: each value
// checked against the model's parameter table, free ones with their bounds.
#pragma once

#include <string>
#include <string_view>

#include "derive/analysis.hpp"
#include "derive/bounds.hpp"
#include "derive/derivation.hpp"
#include "models/parameter_table.hpp"

namespace soilcal::derive {

class Builder {
 public:
  Builder(std::string_view model, const DeriveOptions& options);

  // A value read off the tests; free with bounds from the spread [low, high].
  // `margin`: kIdentity where the rule is an identity of this model.
  void Free(std::string_view name, double value, double low, double high, std::string note,
            Margin margin = Margin::kRule);
  // A value read off the tests that stays fixed (it follows from others).
  void Derived(std::string_view name, double value, std::string note);
  // A documented default no test here determines.
  void Default(std::string_view name, double value, std::string note);

  const DeriveOptions& options() const { return options_; }
  std::string Stress(double v) const { return Number(v) + " " + options_.stressUnit; }
  void Skip(std::string reason) { out_.skipped.push_back(std::move(reason)); }
  Derivation Done(std::vector<std::string> skipped);

 private:
  void Add(std::string_view name, double value, bool fromData, bool free, double low, double high,
           std::string note, Margin margin = Margin::kRule);
  const models::params::Model* table_;
  DeriveOptions options_;
  Derivation out_;
};

// The models, one function each (derive/models_*.cpp).
void DeriveMohrCoulomb(const Analysis& a, Builder& b);
void DeriveHardeningSoil(const Analysis& a, Builder& b, bool smallStrain);
void DeriveSoftSoil(const Analysis& a, Builder& b, int model);
void DeriveHoekBrown(const Analysis& a, Builder& b);
void DeriveNgiAdp(const Analysis& a, Builder& b);
void DeriveUbc3d(const Analysis& a, Builder& b);

// Shared pieces of the sand models.
struct FrictionStart {
  double phi = 30.0;
  double c = 0.0;
  bool fromData = false;
};
// φ′ and c′ from the drained peaks, else from the undrained stress paths.
// With `perfectlyPlastic` (a model without hardening or softening): from the
// plateaus of elastic, perfectly plastic fits instead of the peaks, and a
// line whose intercept is within its scatter gives c′ = 0 and φ′ through the
// origin, the model's c′ being read from those plateaus alone. Without it
// the line's c′ stays: a hardening model's stiffness depends on
// σ′3 + c′ cot φ′, so that the curves carry c′ too.
FrictionStart AddStrength(const Analysis& a, Builder& b, double defaultPhi,
                          bool perfectlyPlastic = false);
// ψ from the volumetric curves, else 0 with the reason.
void AddDilatancy(const Analysis& a, Builder& b, double phi);

}  // namespace soilcal::derive
