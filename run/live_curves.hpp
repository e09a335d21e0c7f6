// The fit drawn while a search runs: after each progress report that names
// a new best point, that point is simulated once more, in a simulation
// context of its own (the search's contexts, its random numbers and its
// counts are not touched), and its curves are handed over as one line of
// JSON for a front end that draws them:
//   {"measured_curves":{"model":M,"tests":[{"file","curves":[{"name","columns","x","y"}]}]}}
//     once, before the first best curves;
//   {"best_curves":{"model":M,"iteration":I,"evaluations":E,"best_error":B,
//                   "tests":[{"curves":[{"x":[...],"y":[...]}]}]}}
// Curves are in the measured file's column order, later phases shifted as
// the objective compared them (a null point between phases).
#pragma once

#include <functional>
#include <string>

#include "input/records.hpp"
#include "models/family.hpp"
#include "models/material.hpp"
#include "optimisation/progress.hpp"

namespace soilcal::run {

class LiveCurves {
 public:
  using Sink = std::function<void(const std::string&)>;
  // `job`, `resources` and `set1` must outlive the object.
  LiveCurves(const input::Job& job, const models::ModelResources& resources,
             const models::MaterialSet& set1, Sink sink, std::string model);

  // Sends the curves of p.best when its objective is below the last one sent.
  void Note(const optimisation::SearchProgress& p);

 private:
  const input::Job& job_;
  const models::ModelResources& resources_;
  const models::MaterialSet& set1_;
  Sink sink_;
  std::string model_;
  double lastObjective_ = -1.0;
  bool measuredSent_ = false;
};

// The two lines, for the tests.
std::string MeasuredCurvesLine(const input::Job& job, const std::string& model);

}  // namespace soilcal::run
