// Sentences and numbers of the uncertainty estimate for the summary.
#include "report/uncertainty_text.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "input/job_language.hpp"
#include "models/parameter_table.hpp"
#include "optimisation/rule_slots.hpp"

namespace soilcal::report {
namespace {

namespace opt = optimisation;
namespace params = models::params;

std::optional<double> Finite(double v) {
  return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

double Degrees(double sine) {
  return std::asin(std::clamp(sine, -1.0, 1.0)) * 180.0 / std::numbers::pi;
}

// What an engineer can do about a parameter the curves do not determine. A
// slot the completion overwrites or ignores is helped by no test.
std::string Remedy(const ParameterDisplay& d, const opt::ParameterUncertainty& p) {
  for (const opt::UncertaintyFlag& f : p.flags) {
    if (f.kind == opt::FlagKind::kDerived) return "fix it";
  }
  if (d.symbol == "ψ") return "fix it or add a volumetric curve";
  return "fix it or add a test whose curves depend on it";
}

struct Context {
  const opt::UncertaintyResult& result;
  const Summary& summary;
  const input::Job& job;
  std::vector<ParameterDisplay> display;
  double Lower(std::size_t j) const { return summary.parameters[j].lower; }
  double Upper(std::size_t j) const { return summary.parameters[j].upper; }
};

std::string NotIdentifiable(const Context& c, std::size_t j, const opt::UncertaintyFlag& f) {
  const ParameterDisplay& d = c.display[j];
  const opt::ParameterUncertainty& p = c.result.parameters[j];
  const std::string range = DisplayRange(d, c.Lower(j), c.Upper(j));
  if (!f.fromProfile) {
    return d.symbol + " cannot be determined from these curves: its 95 % interval covers the "
           "whole range " + range + "; " + Remedy(d, p) + ".";
  }
  if (f.lowOpen && f.highOpen) {
    return d.symbol + " cannot be determined from these curves: its profile does not close "
           "within " + range + "; " + Remedy(d, p) + ".";
  }
  const bool up = f.highOpen;
  const auto& closed = up ? p.profile->low.limit : p.profile->high.limit;
  const std::string from = closed ? DisplayValue(d, *closed) : DisplayValue(d, p.value);
  return d.symbol + " cannot be determined from these curves " + (up ? "above " : "below ") +
         from + ": its profile does not close towards the " + (up ? "upper" : "lower") +
         " bound " + DisplayValue(d, up ? c.Upper(j) : c.Lower(j)) + "; " + Remedy(d, p) + ".";
}

// The parameters behind a wall: the other slots its rule reads, the fixed
// ones first with their values, then the calibrated ones; and what to do.
std::string Wall(const Context& c, std::size_t j, const opt::UncertaintyFlag& f) {
  const ParameterDisplay& d = c.display[j];
  const opt::ParameterUncertainty& p = c.result.parameters[j];
  const int model = c.job.modelNumber % 100;
  const int walled = j < c.job.settings.index.size() ? c.job.settings.index[j] : -1;
  const auto name = [&](int slot) {
    const auto shown = params::DisplayOfSlot(model, slot);
    return shown ? shown->symbol : "slot " + std::to_string(slot);
  };
  std::vector<std::string> fixed, calibrated;
  std::string remedy;
  const auto& material = c.job.material.params;
  for (const opt::RuleSlot& s : opt::SlotsOfRule(f.text)) {
    if (s.slot == walled || !opt::RuleReads(s, material)) continue;
    std::optional<std::size_t> free;
    for (std::size_t k = 0; k < c.job.settings.index.size() && k < c.display.size(); ++k) {
      if (c.job.settings.index[k] == s.slot) free = k;
    }
    if (free) {
      calibrated.push_back(c.display[*free].symbol + " = " +
                           DisplayValue(c.display[*free], c.result.parameters[*free].value));
      continue;
    }
    if (fixed.size() == 2 || s.slot < 0 || static_cast<std::size_t>(s.slot) >= material.size()) continue;
    ParameterDisplay shown;
    shown.symbol = name(s.slot);
    if (const auto slotShown = params::DisplayOfSlot(model, s.slot)) {
      shown.sine = slotShown->sine;
      shown.unit = params::UnitText(slotShown->quantity, c.job.material.forceUnit,
                                    c.job.material.lengthUnit, c.job.material.timeUnit);
    }
    fixed.push_back(shown.symbol + " fixed at " +
                    DisplayValue(shown, material[static_cast<std::size_t>(s.slot)]));
    if (remedy.empty()) {
      const int way = opt::WideningDirection(f.text, walled, s.slot, f.upper);
      remedy = "free " + shown.symbol +
               (way > 0 ? " or raise it" : way < 0 ? " or lower it" : " or change it");
    }
  }
  const auto list = [](const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
      out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return out;
  };
  std::string behind;
  if (!fixed.empty()) behind = "; it is set there by " + list(fixed);
  if (!calibrated.empty()) {
    behind += (fixed.empty() ? "; it is set there by the calibrated " : " with the calibrated ") +
              list(calibrated);
  }
  if (fixed.empty() && calibrated.empty()) {
    behind = "; the rule reads " + d.symbol + " alone, so it is a limit of the parameter itself";
  }
  if (remedy.empty()) {
    remedy = !calibrated.empty() ? "fix one of the parameters the rule trades off"
                                 : "move the bound of " + d.symbol + " to it";
  }
  const std::string rule = "\u201c" + f.text + "\u201d";
  return d.symbol + " is held by a model rule, not by the curves: " + (f.upper ? "above " : "below ") +
         DisplayValue(d, f.value) + " the rule " + rule + " rejects every value" + behind +
         (f.atWall ? "; the calibrated value " + DisplayValue(d, p.value) + " lies at it" : "") +
         ". " + static_cast<char>(std::toupper(static_cast<unsigned char>(remedy[0]))) +
         remedy.substr(1) + " rather than reading " + d.symbol + " as calibrated.";
}

std::string IllConditioned(const Context& c, const opt::UncertaintyFlag& f) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < c.result.parameters.size(); ++k) {
    for (const opt::UncertaintyFlag& g : c.result.parameters[k].flags) {
      if (g.kind == opt::FlagKind::kIllConditioned) names.push_back(c.display[k].symbol);
    }
  }
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  const std::string number = std::isfinite(f.value) ? Significant(f.value, 2) : "infinite";
  const std::string start = "The fit is ill-conditioned: the condition number of the Jacobian "
                            "scaled to the bounds is " + number + " (above " +
                            Significant(opt::kConditionLimit, 2) + "), and ";
  if (names.size() == 1) {
    return start + list + " hardly changes the curves; fix it or add a test whose curves depend "
           "on it.";
  }
  return start + list + " move the curves together in a direction they hardly change; fix one "
         "of them or add tests that separate them.";
}

std::string Sentence(const Context& c, std::size_t j, const opt::UncertaintyFlag& f) {
  const ParameterDisplay& d = c.display[j];
  const opt::ParameterUncertainty& p = c.result.parameters[j];
  switch (f.kind) {
    case opt::FlagKind::kNearBound:
      return d.symbol + " = " + DisplayValue(d, p.value) + " lies at its " +
             (f.upper ? "upper" : "lower") + " bound " +
             DisplayValue(d, f.upper ? c.Upper(j) : c.Lower(j)) +
             ": the best value may lie beyond it; widen the bound.";
    case opt::FlagKind::kInsensitive:
      return d.symbol + " has no effect on these curves: " + Remedy(d, p) + ".";
    case opt::FlagKind::kCorrelated: {
      // The pair in the order of the parameters, so both read the same.
      const auto k = static_cast<std::size_t>(f.other);
      const std::size_t a = std::min(j, k), b = std::max(j, k);
      char rho[16];
      std::snprintf(rho, sizeof rho, "%.2f", std::abs(f.value));
      return c.display[a].symbol + " and " + c.display[b].symbol +
             " are strongly correlated (ρ = " + (f.value < 0.0 ? "−" : "") + rho +
             "): the curves fix a combination of them "
             "rather than each; fix one of them or add a test that separates them.";
    }
    case opt::FlagKind::kIllConditioned:
      return IllConditioned(c, f);
    case opt::FlagKind::kDerived:
      return f.text + ".";
    case opt::FlagKind::kNotIdentifiable:
      return NotIdentifiable(c, j, f);
    case opt::FlagKind::kNoDerivative:
      return d.symbol + ": the tests cannot be simulated on either side of the calibrated value, "
             "so no interval can be given.";
    case opt::FlagKind::kWall:
      return Wall(c, j, f);
    case opt::FlagKind::kClipped: {
      const std::string side = f.upper ? "upper" : "lower";
      const std::string limit = f.physical ? "the " + side + " end of its physical range"
                                           : "its " + side + " bound";
      return "The linearised 95 % interval of " + d.symbol + " reaches " +
             DisplayValue(d, f.value) + ", beyond " + limit + " " + DisplayValue(d, f.limit) +
             ": it is cut there, and the linear estimate is poor there; the profile interval " +
             (c.result.profilesRun ? "tells more." : "(--search=thorough) tells more.");
    }
    case opt::FlagKind::kSearchShort: {
      // One sentence for all profiles that met a better fit: the least.
      double least = f.value;
      for (const opt::ParameterUncertainty& q : c.result.parameters) {
        for (const opt::UncertaintyFlag& g : q.flags) {
          if (g.kind == opt::FlagKind::kSearchShort) least = std::min(least, g.value);
        }
      }
      const std::string met = "The profiles met a better fit than the search (objective " +
                              Significant(least, 4) + " below " +
                              Significant(c.result.objective, 4) + ")";
      if (c.summary.searchMode == "thorough") {
        // The thorough search went on from such points as often as it may.
        const int k = c.summary.continuations;
        return met + (k == 0 ? ", and the search could not go on from it"
                             : ", after the search had gone on from better points " +
                                   (k == 1 ? std::string("once") : std::to_string(k) + " times")) +
               ": the valley is long and flat along the parameters flagged here, and the "
               "intervals are those of the last point; fix one of them or add a test that "
               "determines it.";
      }
      return met + ": the search stopped above the best fit, and the intervals are those of "
             "the point it found; run it again with --search=thorough.";
    }
  }
  return "";
}

// The numbers of a TOML job's parameter in its own units: every conversion
// is monotonic, so the ends of an interval convert as they are (an interval
// of a falling one is turned round), and the standard error by the slope of
// the conversion at the calibrated value.
void InJobUnits(const input::ParameterLanguage& language, double value,
                ParameterUncertaintySummary& out) {
  auto convert = [&](double v) { return input::ToJobValue(language, v); };
  if (out.standardError) {
    const double h = std::max(1e-7 * std::abs(value), 1e-12);
    const double slope = (convert(value + h) - convert(value - h)) / (2.0 * h);
    out.standardError = std::isfinite(slope) ? std::optional<double>(std::abs(slope) * *out.standardError)
                                             : std::nullopt;
  }
  if (out.interval95) {
    const double a = convert(out.interval95->first), b = convert(out.interval95->second);
    out.interval95 = std::make_pair(std::min(a, b), std::max(a, b));
  }
  if (out.profile) {
    if (out.profile->low) out.profile->low = convert(*out.profile->low);
    if (out.profile->high) out.profile->high = convert(*out.profile->high);
  }
}

ParameterUncertaintySummary ParameterSummaryOf(const Context& c, std::size_t j) {
  const opt::ParameterUncertainty& p = c.result.parameters[j];
  ParameterUncertaintySummary out;
  out.standardError = Finite(p.standardError);
  if (out.standardError && std::isfinite(p.low95) && std::isfinite(p.high95)) {
    out.interval95 = std::make_pair(p.low95, p.high95);
  }
  // A profile stopped by an abort says nothing about where it would close.
  const bool stopped = p.profile && (p.profile->low.end == opt::ProfileEnd::kAborted ||
                                     p.profile->high.end == opt::ProfileEnd::kAborted);
  if (p.profile && !stopped) out.profile = ProfileSummary{p.profile->low.limit, p.profile->high.limit};
  for (const opt::UncertaintyFlag& f : p.flags) {
    out.flags.push_back({opt::FlagKey(f.kind), Sentence(c, j, f)});
  }
  return out;
}

}  // namespace

std::string Significant(double value, int digits) {
  if (!std::isfinite(value)) return "–";
  char buffer[48];
  const double magnitude = std::abs(value);
  if (value == 0.0 || (magnitude >= 1e-4 && magnitude < 1e7)) {
    const int exponent = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(magnitude)));
    const int decimals = std::max(0, digits - 1 - exponent);
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    // Trailing zeros say nothing a reader needs: 17° rather than 17.0°.
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
  } else {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
  }
  return buffer;
}

ParameterDisplay DisplayOf(const ParameterSummary& p, std::optional<int> modelNumber,
                           const UncertaintySummary& u) {
  if (p.display) return *p.display;
  ParameterDisplay d;
  d.symbol = p.name;
  if (const auto shown = params::DisplayOfSlot(modelNumber.value_or(0) % 100, p.slot)) {
    d.symbol = shown->symbol;
    d.words = shown->words;
    d.sine = shown->sine;
    d.unit = params::UnitText(shown->quantity, u.forceUnit, u.lengthUnit, u.timeUnit);
  }
  return d;
}

std::string DisplayValue(const ParameterDisplay& d, double stored, int digits) {
  const std::string number = Significant(d.sine ? Degrees(stored) : stored, digits);
  if (d.unit.empty()) return number;
  return d.unit == "°" ? number + d.unit : number + " " + d.unit;
}

std::string DisplayRange(const ParameterDisplay& d, double low, double high, int digits) {
  const std::string a = Significant(d.sine ? Degrees(low) : low, digits);
  const std::string b = Significant(d.sine ? Degrees(high) : high, digits);
  if (d.unit.empty()) return a + "–" + b;
  return a + "–" + b + (d.unit == "°" ? d.unit : " " + d.unit);
}

void DescribeUncertainty(const optimisation::UncertaintyResult& result, const input::Job& job,
                         Summary& summary) {
  UncertaintySummary u;
  u.computed = result.computed;
  u.note = result.whyNot;
  u.step = result.step;
  u.evaluations = result.jacobianEvaluations + result.profileEvaluations;
  u.profileEvaluations = result.profileEvaluations;
  if (result.aborted) u.note = "the profiles were stopped by an abort";
  u.forceUnit = job.material.forceUnit;
  u.lengthUnit = job.material.lengthUnit;
  u.timeUnit = job.material.timeUnit;
  if (!result.computed || result.parameters.size() != summary.parameters.size()) {
    if (u.note.empty()) u.note = "the estimate does not match the free parameters";
    u.computed = false;
    summary.uncertainty = std::move(u);
    return;
  }
  // The estimate is in the slots' own values; a TOML job shows its
  // parameters in its own units. The sentences are made on the parameters
  // as stored (angles in degrees from their sines), the numbers converted
  // after.
  Summary stored = summary;
  for (std::size_t j = 0; j < stored.parameters.size(); ++j) {
    ParameterSummary& p = stored.parameters[j];
    if (!p.jobUnits) continue;
    p.jobUnits = false;
    p.display.reset();
    p.lower = job.settings.lower[j];
    p.upper = job.settings.upper[j];
    p.best = p.slotBest;
  }
  Context c{result, stored, job, {}};
  for (const ParameterSummary& p : stored.parameters) {
    c.display.push_back(DisplayOf(p, job.modelNumber, u));
  }
  for (const ParameterSummary& p : summary.parameters) u.order.push_back(p.name);
  u.residualCount = result.residualCount;
  u.degreesOfFreedom = result.degreesOfFreedom;
  u.residualVariance = Finite(result.residualVariance);
  u.tQuantile = Finite(result.tQuantile);
  if (result.profilesRun) u.profileThreshold = Finite(result.profileThreshold);
  u.conditionNumber = Finite(result.conditionNumber);
  for (const auto& row : result.correlation) {
    std::vector<std::optional<double>> r;
    for (double v : row) r.push_back(Finite(v));
    u.correlation.push_back(std::move(r));
  }
  for (std::size_t j = 0; j < summary.parameters.size(); ++j) {
    ParameterUncertaintySummary out = ParameterSummaryOf(c, j);
    if (summary.parameters[j].jobUnits && job.language && j < job.language->parameters.size()) {
      InJobUnits(job.language->parameters[j], result.parameters[j].value, out);
    }
    summary.parameters[j].uncertainty = std::move(out);
  }
  summary.uncertainty = std::move(u);
}

}  // namespace soilcal::report
