// The optimiser's only view of the calibration: evaluate a vector, ask
// whether a vector is admissible. It knows nothing of soils.
#pragma once

#include <memory>
#include <span>

namespace soilcal::optimisation {

struct Evaluation {
  double objective = 0.0;  // minimised
  double error = 0.0;      // mean relative error in percent (reported)
  int status = 0;          // 0 usable, 1 not admissible, else a failed test run
  // Why a point failed (status != 0), in words: a static text, nullptr when
  // unknown. Only reported, never compared.
  const char* reason = nullptr;
};

// How a problem evaluates. kExact gives the figures the program reports;
// kFast costs less and may differ from them within the accuracy the
// problem guarantees anyway (for a calibration: a step solver that meets
// the same equilibrium tolerance another way).
enum class Precision { kExact, kFast };

class Problem {
 public:
  virtual ~Problem() = default;
  virtual Evaluation Evaluate(std::span<const double> x) = 0;
  virtual bool IsAdmissible(std::span<const double> x) = 0;
  // An independent problem for another thread (its own simulation state),
  // giving results identical to this one; nullptr when evaluations must stay
  // on one thread.
  virtual std::unique_ptr<Problem> Clone() const { return nullptr; }
  // Evaluates with `precision` from now on (clones made later too); false
  // when the problem has only its exact evaluation.
  virtual bool SetPrecision(Precision /*precision*/) { return false; }
};

}  // namespace soilcal::optimisation
