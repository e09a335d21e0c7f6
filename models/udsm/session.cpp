#include "models/udsm/session.hpp"

#include "services/clock.hpp"

namespace soilcal::models::udsm {

std::shared_ptr<Session> MakeSession() {
  auto session = std::make_shared<Session>();
  // Calls into a user library stay on one thread at a time unless the user
  // declares the libraries thread-safe with this toggle.
  session->parallelCalls = services::CheckToggle("USE_PARALLEL_UDSM_STRESS_INTEGRATION");
  return session;
}

}  // namespace soilcal::models::udsm
