#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

thread_local RunServices* boundServices = nullptr;
thread_local DiagChannel* redirectedDiag = nullptr;

// For threads that never bind a run: the tools, the tests, and programs
// that run one job at a time.
RunServices& ProcessDefault() {
  static RunServices services;
  return services;
}

}  // namespace

RunServices::~RunServices() {
  diag.Detach();
  std::lock_guard lock(units.mutex);
  for (auto& [unit, file] : units.files) std::fclose(file);
  units.files.clear();
}

RunServices& CurrentServices() {
  return boundServices != nullptr ? *boundServices : ProcessDefault();
}

ServicesBinding::ServicesBinding(RunServices& services) : previous_(boundServices) {
  boundServices = &services;
}

ServicesBinding::~ServicesBinding() { boundServices = previous_; }

DiagRedirect::DiagRedirect(DiagChannel& channel) : previous_(redirectedDiag) {
  redirectedDiag = &channel;
}

DiagRedirect::~DiagRedirect() { redirectedDiag = previous_; }

DiagChannel& Diag() {
  return redirectedDiag != nullptr ? *redirectedDiag : CurrentServices().diag;
}

}  // namespace soilcal::services
