// The ranking of the compared models and the verdict in plain words.
#include <algorithm>
#include <cmath>

#include "optimisation/objective.hpp"
#include "report/comparison.hpp"
#include "report/html_report.hpp"
#include "services/errors.hpp"

namespace soilcal::report {
namespace {

using services::kUserAbort;

// The points the fit compared: the residual terms of the uncertainty step,
// else the measured points inside the simulated range.
int PointsCompared(const Summary& s) {
  if (s.uncertainty && s.uncertainty->computed && s.uncertainty->residualCount > 0) {
    return s.uncertainty->residualCount;
  }
  int m = 0;
  for (const TestSummary& t : s.tests) {
    for (const CurveSummary& c : t.curves) m += c.best ? c.best->nValid : 0;
  }
  return m;
}

// Why a model has no fit to compare, or "" when it has one.
std::string NoFitNote(const std::optional<Summary>& s) {
  if (!s) return "its run left no calibration_summary.json";
  if (!s->exitCode) return "its run ended with a kernel error: " + s->kernelError;
  if (*s->exitCode != 0 && *s->exitCode != kUserAbort) {
    return "not calibrated: " + s->exitName + " (exit code " + std::to_string(*s->exitCode) + ")";
  }
  if (!s->best) return "its search was stopped before it had a usable point";
  // The objective's penalties: no point of the search could be simulated
  // over the measured curves.
  if (!(s->best->objective < optimisation::kPenaltyInadmissible)) {
    return "its best point cannot be simulated over the measured curves (objective " +
           ShortNumber(s->best->objective, 3) + ")";
  }
  return "";
}

void Measure(ComparedModel& m) {
  // A note given by the caller (a model never run) says more than ours.
  if (const std::string why = NoFitNote(m.summary); !why.empty()) {
    if (m.note.empty()) m.note = why;
    return;
  }
  m.freeParameters = static_cast<int>(m.summary->parameters.size());
  m.points = PointsCompared(*m.summary);
  if (m.points <= 0) {
    m.note = "no measured point lies inside its simulated curves";
    return;
  }
  m.fitted = true;
  m.objective = m.summary->best->objective;
  m.meanError = m.summary->best->meanError;
  m.criteria = InformationCriteria(*m.objective, m.points, m.freeParameters);
  if (*m.summary->exitCode == kUserAbort) m.note = "its search was stopped before the end";
}

std::string Number(double v) { return ShortNumber(v, 3); }

std::string Parameters(int n) {
  return std::to_string(n) + (n == 1 ? " free parameter" : " free parameters");
}

// "A", "A and B", "A, B and C".
std::string List(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  return out;
}

double Bic(const ComparedModel& m) { return m.criteria->bic; }

// What the best model's free parameters cost against the simpler models:
// "; its extra parameter is justified by BIC (45.2 lower than Mohr-Coulomb)".
std::string SimplerClause(const ComparedModel& best, const std::vector<const ComparedModel*>& fitted) {
  std::vector<const ComparedModel*> simpler;
  for (const ComparedModel* m : fitted) {
    if (m->freeParameters < best.freeParameters) simpler.push_back(m);
  }
  if (simpler.empty()) return "";
  std::vector<std::string> gaps;
  for (const ComparedModel* m : simpler) gaps.push_back(Number(Bic(*m) - Bic(best)) + " lower than " + m->name);
  const int extra = best.freeParameters - simpler.front()->freeParameters;
  const bool alike = std::all_of(simpler.begin(), simpler.end(), [&](const ComparedModel* m) {
    return best.freeParameters - m->freeParameters == extra;
  });
  const std::string which = !alike    ? "its extra parameters are"
                            : extra == 1 ? "its extra parameter is"
                                         : "its " + std::to_string(extra) + " extra parameters are";
  return "; " + which + " justified by BIC (" + List(gaps) + ")";
}

// Models within 2 of the best BIC: they cannot be told apart.
std::string TiedVerdict(const Comparison& c, const std::vector<const ComparedModel*>& fitted) {
  const auto tied = fitted.begin() + static_cast<long>(c.indistinguishable.size());
  std::string objectives;
  for (auto m = fitted.begin(); m != tied; ++m) {
    objectives += (m != fitted.begin() ? ", " : "") + Number(*(*m)->objective);
  }
  std::string out = List(c.indistinguishable) +
                    " cannot be told apart on these tests: their BIC differ by less than " +
                    Number(kIndistinguishableBic) + " (objective " + objectives + ").";
  const auto simplest = std::min_element(fitted.begin(), tied, [](const auto* a, const auto* b) {
    return a->freeParameters < b->freeParameters;
  });
  const bool same = std::all_of(fitted.begin(), tied, [&](const ComparedModel* m) {
    return m->freeParameters == (*simplest)->freeParameters;
  });
  out += same ? " With as many free parameters each, " + fitted[0]->name + " has the lowest BIC."
              : " " + (*simplest)->name + ", with " + Parameters((*simplest)->freeParameters) +
                    ", is the simpler choice.";
  for (auto m = tied; m != fitted.end(); ++m) {
    out += " " + (*m)->name + " fits worse: objective " + Number(*(*m)->objective) + ", BIC " +
           Number(Bic(**m) - Bic(*fitted[0])) + " higher.";
  }
  return out;
}

// "extra parameter", "2 extra parameters".
std::string Extra(int extra) {
  return extra == 1 ? "extra parameter" : std::to_string(extra) + " extra parameters";
}

// One model ranks first: what it fits against the others, and what their
// extra parameters bring.
std::string BestVerdict(const std::vector<const ComparedModel*>& fitted) {
  const ComparedModel& best = *fitted[0];
  std::string out = best.name + " fits these tests best: objective " + Number(*best.objective) +
                    " against ";
  for (std::size_t i = 1; i < fitted.size(); ++i) {
    if (i > 1) out += i + 1 == fitted.size() ? " and " : ", ";
    out += Number(*fitted[i]->objective) + " for " + fitted[i]->name;
  }
  out += SimplerClause(best, fitted) + ".";
  for (std::size_t i = 1; i < fitted.size(); ++i) {
    const ComparedModel& m = *fitted[i];
    const int extra = m.freeParameters - best.freeParameters;
    const std::string gap = Number(Bic(m) - Bic(best));
    if (*m.objective < *best.objective) {
      // A closer fit that its parameters do not pay for.
      out += " " + m.name + " comes closer (objective " + Number(*m.objective) + "), but " +
             (extra > 0 ? "its " + Extra(extra) + (extra == 1 ? " is" : " are")
                        : std::string("its fit is")) +
             " not justified by BIC (" + gap + " higher).";
    } else if (extra > 0) {
      out += " " + m.name + " fits no closer with its " + Extra(extra) + " (BIC " + gap + " higher).";
    }
  }
  return out;
}

// Why a model's search did not reach its optimum, or "" when it did: a
// profile met a better point, or the search stopped on its budget.
std::string SearchShortOf(const ComparedModel& m) {
  if (!m.summary) return "";
  for (const ParameterSummary& p : m.summary->parameters) {
    if (!p.uncertainty) continue;
    for (const UncertaintyFlagSummary& f : p.uncertainty->flags) {
      if (f.kind == "search_short") return "its profiles met a better fit than its search";
    }
  }
  if (m.summary->stopReason == "iteration_limit") return "its search stopped on its iteration limit";
  if (m.summary->stopReason == "evaluation_budget") return "its search used up its evaluations";
  return "";
}

// Where a model's fit is decided: the two curves with the largest share of
// its objective (which BIC ranks by), or, without the shares, the two with
// the largest mean relative error.
std::string WorstCurves(const ComparedModel& m) {
  const double total = m.summary->best ? m.summary->best->objective : 0.0;
  bool shares = total > 0.0;
  for (const TestSummary& t : m.summary->tests) {
    for (const CurveSummary& c : t.curves) {
      if (!c.best || !std::isfinite(c.best->objective) || !(c.best->objective > 0.0)) shares = false;
    }
  }
  std::vector<std::pair<double, std::string>> curves;
  for (const TestSummary& t : m.summary->tests) {
    for (const CurveSummary& c : t.curves) {
      if (!c.best) continue;
      const double v = shares ? 100.0 * c.best->objective / total : c.best->error;
      if (std::isfinite(v)) curves.emplace_back(v, t.file + " / " + CurveName(c));
    }
  }
  std::sort(curves.begin(), curves.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < curves.size() && i < 2; ++i) {
    names.push_back(curves[i].second + " (" + Number(curves[i].first) +
                    (shares ? " % of its objective)" : " %)"));
  }
  return List(names);
}

// BIC ranks by the squared relative deviations, which a few points near
// zero can decide; the mean relative error weighs every point alike. Where
// the two disagree about the first model, say so and where.
std::string ErrorDisagrees(const std::vector<const ComparedModel*>& fitted) {
  const ComparedModel& first = *fitted[0];
  if (!first.meanError) return "";
  std::string out;
  for (std::size_t i = 1; i < fitted.size(); ++i) {
    const ComparedModel& m = *fitted[i];
    if (!m.meanError || !(*m.meanError < *first.meanError)) continue;
    out += " By the mean relative error " + m.name + " fits closer (" + Number(*m.meanError) +
           " % against " + Number(*first.meanError) + " % for " + first.name +
           "): BIC weighs the squared relative deviations, which a few points near zero can "
           "decide; " + first.name + " is decided by " + WorstCurves(first) + ", " + m.name +
           " by " + WorstCurves(m) + ". Compare these curves before choosing.";
  }
  return out;
}

std::string Verdict(const Comparison& c) {
  std::vector<const ComparedModel*> fitted, failed;
  for (const ComparedModel& m : c.models) (m.fitted ? fitted : failed).push_back(&m);
  std::string out;
  if (fitted.empty()) {
    out = "No model could be compared on these tests.";
  } else if (fitted.size() == 1) {
    out = "Only " + fitted[0]->name + " was calibrated (objective " +
          Number(*fitted[0]->objective) + "): there is nothing to compare it with.";
  } else {
    out = c.indistinguishable.size() >= 2 ? TiedVerdict(c, fitted) : BestVerdict(fitted);
  }
  if (fitted.size() >= 2) out += ErrorDisagrees(fitted);
  for (const ComparedModel* m : fitted) {
    const std::string why = SearchShortOf(*m);
    if (why.empty()) continue;
    out += " " + m->name + " did not reach its optimum: " + why + ", so its figures may still " +
           "improve" + (m == fitted[0] && fitted.size() >= 2 ? " and its first rank is not settled"
                                                            : "") +
           "; run it again with --search=thorough.";
  }
  if (c.pointsDiffer) {
    std::vector<std::string> counts;
    for (const ComparedModel* m : fitted) counts.push_back(m->name + " " + std::to_string(m->points));
    out += " The simulated curves cover different numbers of measured points (" +
           List(counts) + "), so the criteria weigh fits over different points.";
  }
  for (const ComparedModel* m : fitted) {
    if (!m->note.empty()) out += " " + m->name + ": " + m->note + ", its best point so far is compared.";
  }
  for (const ComparedModel* m : failed) out += " " + m->name + " is not compared: " + m->note + ".";
  return out;
}

}  // namespace

Criteria InformationCriteria(double objective, int points, int freeParameters) {
  const double m = static_cast<double>(points);
  const double k = static_cast<double>(freeParameters);
  const double fit = m * std::log(std::max(objective / m, kVarianceFloor));
  return {fit + 2.0 * k, fit + k * std::log(m)};
}

std::optional<double> TestError(const TestSummary& test) {
  if (test.curves.empty()) return std::nullopt;
  double sum = 0.0;
  for (const CurveSummary& c : test.curves) {
    if (!c.best) return std::nullopt;
    sum += c.best->error;
  }
  return sum / static_cast<double>(test.curves.size());
}

Comparison CompareModels(std::string title, std::vector<ComparedModel> models) {
  for (ComparedModel& m : models) Measure(m);
  // By BIC; equal ones by the objective, then by fewer parameters; models
  // without a fit last, in the order given.
  std::stable_sort(models.begin(), models.end(), [](const ComparedModel& a, const ComparedModel& b) {
    if (a.fitted != b.fitted) return a.fitted;
    if (!a.fitted) return false;
    if (Bic(a) != Bic(b)) return Bic(a) < Bic(b);
    if (*a.objective != *b.objective) return *a.objective < *b.objective;
    return a.freeParameters < b.freeParameters;
  });
  std::vector<std::size_t> byObjective;
  for (std::size_t i = 0; i < models.size(); ++i) {
    models[i].rank = static_cast<int>(i) + 1;
    if (models[i].fitted) byObjective.push_back(i);
  }
  std::stable_sort(byObjective.begin(), byObjective.end(), [&](std::size_t a, std::size_t b) {
    return *models[a].objective < *models[b].objective;
  });
  for (std::size_t r = 0; r < byObjective.size(); ++r) {
    models[byObjective[r]].objectiveRank = static_cast<int>(r) + 1;
  }

  Comparison c;
  c.title = std::move(title);
  c.models = std::move(models);
  for (const ComparedModel& m : c.models) {
    if (!m.fitted) continue;
    if (Bic(m) - Bic(c.models.front()) < kIndistinguishableBic) c.indistinguishable.push_back(m.name);
    if (m.points != c.models.front().points) c.pointsDiffer = true;
  }
  if (c.indistinguishable.size() < 2) c.indistinguishable.clear();
  c.verdict = Verdict(c);
  return c;
}

}  // namespace soilcal::report
