// Names of the quantity codes 1..35. Stresses are effective unless the pore
// pressure is added (codes 31 to 34); tension is positive.
#include "report/quantities.hpp"

#include <array>
#include <cstdlib>

namespace soilcal::report {

namespace {

struct Name {
  const char* symbol;
  const char* words;
};

constexpr std::array<Name, 36> kNames{{
    {"", ""},
    {"ε1", "major principal strain"},
    {"σ′1", "major principal stress"},
    {"σ′2", "intermediate principal stress"},
    {"σ′3", "minor principal stress"},
    {"|σ′1 − σ′3|", "principal stress difference"},
    {"εv", "volumetric strain"},
    {"pw", "pore pressure"},
    {"p′", "mean effective stress"},
    {"q", "deviator stress"},
    {"t", "time"},
    {"", ""},
    {"", ""},
    {"εxx", "normal strain xx"},
    {"εyy", "normal strain yy"},
    {"εzz", "normal strain zz"},
    {"γxy", "shear strain xy"},
    {"γyz", "shear strain yz"},
    {"γzx", "shear strain zx"},
    {"σ′xx", "normal stress xx"},
    {"σ′yy", "normal stress yy"},
    {"σ′zz", "normal stress zz"},
    {"σxy", "shear stress xy"},
    {"σyz", "shear stress yz"},
    {"σzx", "shear stress zx"},
    {"(σ′1 + σ′3)/2", "centre of Mohr's circle"},
    {"(σ′1 − σ′3)/2", "radius of Mohr's circle"},
    {"ε2", "intermediate principal strain"},
    {"ε3", "minor principal strain"},
    {"−(σ′xx − σ′yy)/2", "half normal stress difference"},
    {"γs", "shear strain invariant"},
    {"σxx", "total stress xx"},
    {"σyy", "total stress yy"},
    {"σzz", "total stress zz"},
    {"p", "total mean stress"},
    {"(σ′xx + σ′yy)/2", "mean in-plane stress"},
}};

const Name* Find(int code) {
  // In 64 bits: a code read from a damaged file may be the most negative int.
  const long long k = std::llabs(static_cast<long long>(code));
  if (k < 1 || k >= static_cast<long long>(kNames.size()) ||
      kNames[static_cast<std::size_t>(k)].symbol[0] == '\0') {
    return nullptr;
  }
  return &kNames[static_cast<std::size_t>(k)];
}

}  // namespace

std::string QuantitySymbol(int code) {
  const Name* name = Find(code);
  if (name == nullptr) return "code " + std::to_string(code);
  return (code < 0 ? std::string("−") : std::string()) + name->symbol;
}

std::string QuantityLabel(int code) {
  const Name* name = Find(code);
  if (name == nullptr) return QuantitySymbol(code);
  // The sign of a negated code shows in the symbol ("−εyy").
  return QuantitySymbol(code) + ", " + name->words;
}

}  // namespace soilcal::report
