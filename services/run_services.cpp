#include "services/run_services.hpp"

namespace soilcal::services {

namespace detail {
constinit thread_local DiagChannel* threadDiag = nullptr;
}  // namespace detail

namespace {

thread_local RunServices* boundServices = nullptr;
thread_local DiagChannel* redirectedDiag = nullptr;

// Diag() reads one pointer: the redirect, else the bound run's channel.
void RefreshThreadDiag() {
  detail::threadDiag = redirectedDiag != nullptr ? redirectedDiag
                       : boundServices != nullptr ? &boundServices->diag
                                                  : nullptr;
}

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
  RefreshThreadDiag();
}

ServicesBinding::~ServicesBinding() {
  boundServices = previous_;
  RefreshThreadDiag();
}

DiagRedirect::DiagRedirect(DiagChannel& channel) : previous_(redirectedDiag) {
  redirectedDiag = &channel;
  RefreshThreadDiag();
}

DiagRedirect::~DiagRedirect() {
  redirectedDiag = previous_;
  RefreshThreadDiag();
}

DiagChannel& detail::DefaultDiag() { return ProcessDefault().diag; }

}  // namespace soilcal::services
