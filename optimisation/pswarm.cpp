// Placeholder so the tree links; replaced by the swarm.
#include "optimisation/pswarm.hpp"

namespace soilcal::optimisation {
float UniformRandom::Next() { return 0.0f; }
SwarmResult PSwarm(const SwarmOptions&, Problem&) { return {}; }
}  // namespace soilcal::optimisation
