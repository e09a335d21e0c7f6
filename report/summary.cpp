// What the summary says in a few words: the headline of a run and the
// values of its parameters as a person reads them.
#include <cmath>
#include <numbers>

#include "models/parameter_table.hpp"
#include "models/udsm/link.hpp"
#include "report/html_report.hpp"
#include "report/summary.hpp"
#include "services/errors.hpp"

namespace soilcal::report {

std::optional<double> ShownValue(const ParameterSummary& p, double stored) {
  if (!p.display || !p.display->sine) return stored;
  if (!(std::abs(stored) <= 1.0)) return std::nullopt;
  return std::asin(stored) * 180.0 / std::numbers::pi;
}

std::string DisplayName(const ParameterSummary& p) {
  if (!p.display) return p.name;
  return p.display->words.empty() ? p.display->symbol : p.display->symbol + " (" + p.display->words + ")";
}

std::string ValueText(const ParameterSummary& p, double stored) {
  const std::optional<double> shown = ShownValue(p, stored);
  if (!shown) return ShortNumber(stored) + ", not a sine";
  const std::string unit = p.display ? p.display->unit : "";
  if (unit.empty()) return ShortNumber(*shown);
  return ShortNumber(*shown) + (unit == "°" ? unit : " " + unit);
}

std::string ModelName(int modelNumber, const std::string& materialName) {
  const int base = modelNumber % 100;
  if (const auto* model = models::params::FindModel(base)) return std::string(model->display);
  if (models::udsm::IsUserModel(base)) {
    if (materialName.empty()) return "user-defined model";
    // A library that describes its models gives the words.
    const auto* described = models::params::FindUserModel(materialName, base);
    const std::string words = described ? std::string(described->display) : "user-defined model";
    return words + " (" + materialName + ")";
  }
  return "";
}

std::string OutcomeText(const Summary& s) {
  if (!s.exitCode) {
    return "Ended by a kernel error: " + s.kernelError + " (the result file is empty)";
  }
  const int code = *s.exitCode;
  const std::string exit = "exit code " + std::to_string(code);
  if (code == 0) return (s.warnings.empty() ? "calibrated" : "calibrated, with warnings") + (" (" + exit + ")");
  if (code == services::kUserAbort && !s.stoppedAfterSearch.empty()) {
    return "stopped after the search: " + s.stoppedAfterSearch + " (" + exit + ", " + s.exitName +
           ")";
  }
  if (code == services::kUserAbort) {
    return "stopped before the end: the best point found so far (" + exit + ", " + s.exitName + ")";
  }
  return "not calibrated: " + s.exitName + " (" + exit + ")";
}

}  // namespace soilcal::report
