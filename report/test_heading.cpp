#include "report/test_heading.hpp"

#include <cmath>

#include "report/html_report.hpp"

namespace soilcal::report {
namespace {

using input::TestKind;

// The radial component of a test whose axial one is `axial` (0..2).
int Radial(int axial) { return axial == 0 ? 1 : 0; }

bool Same(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b)); }

}  // namespace

std::string TestName(const TestSummary& t) {
  const std::size_t dot = t.file.rfind('.');
  return dot == std::string::npos || dot == 0 ? t.file : t.file.substr(0, dot);
}

std::vector<NamedStress> InitialStresses(const TestSummary& t) {
  if (!t.initialStress) return {};
  const std::array<double, 6>& s = *t.initialStress;
  const int axial = t.type.axial >= 0 && t.type.axial <= 2 ? t.type.axial : 1;
  // The files sign tension positive; a laboratory gives compression.
  const double a = -s[static_cast<std::size_t>(axial)] + 0.0;
  const double r = -s[static_cast<std::size_t>(Radial(axial))] + 0.0;
  switch (t.type.kind) {
    case TestKind::kTriaxialCompression:
    case TestKind::kTriaxialExtension: {
      const bool compression = t.type.kind == TestKind::kTriaxialCompression;
      std::vector<NamedStress> out{{compression ? "σ′3" : "σ′r", "cell pressure", r}};
      if (!Same(a, r)) out.push_back({"σ′a0", "initial axial stress", a});
      return out;
    }
    case TestKind::kOedometer:
    case TestKind::kDirectSimpleShear: {
      std::vector<NamedStress> out{{"σ′v0", "initial vertical stress", a}};
      if (!Same(a, r)) out.push_back({"σ′h0", "initial horizontal stress", r});
      return out;
    }
    case TestKind::kCyclicDirectSimpleShear:
      return {{"σ′v0", "initial vertical stress", a}};
    case TestKind::kCyclicTriaxial:
      return {{"σ′3", "cell pressure", r}};
    default:
      return {{"p′0", "initial mean stress", -(s[0] + s[1] + s[2]) / 3.0 + 0.0}};
  }
}

std::string InitialStressText(const TestSummary& t, const QuantityUnits& units) {
  std::string out;
  for (const NamedStress& n : InitialStresses(t)) {
    out += (out.empty() ? "" : ", ") + n.symbol + " = " + ShortNumber(n.value) +
           (units.stress.empty() ? "" : " " + units.stress);
  }
  return out;
}

std::string TestHeading(const TestSummary& t, const QuantityUnits& units) {
  std::string out = TestName(t) + " · " + input::TestTypeText(t.type);
  const std::string stresses = InitialStressText(t, units);
  if (!stresses.empty()) out += " · " + stresses;
  if (!t.initialStress) return out;  // the file was never read: drainage unknown
  return out + " · " + (t.undrained ? "undrained" : "drained");
}

}  // namespace soilcal::report
