// Linking a material set to its user-model library before a test, and the
// start state of the user-model points.
#pragma once

#include <string>

#include "models/material.hpp"
#include "models/udsm/session.hpp"
#include "services/errors.hpp"

namespace soilcal::models::udsm {

struct LinkResult {
  int maxNStat = 0;  // largest state-variable count of the linked sets
  int iAbort = 0;    // abort code of the first failing library call
};

// Loads the library of set `iSet` (once per set), resolves its entry point
// (or the bridge) and asks for the extra information. Load failures raise
// kernel error 26; a set outside 1..1000 raises "Limitation: material set
// <1 or >1000"; a missing bridge stops with "unable to load UqUsrMod.dll".
void LoadUserModelLibrary(Session& session, int iSet, const NameRecord& record,
                          const MaterialSet& set, services::KernelMessageTexts& texts);

// Links set `iSet` (one active cluster with a user model), then asks the
// library for its number of state variables (task 4, stored in slot 30 of
// the set) and its matrix attributes (task 5). Sets that are not user models
// are skipped.
LinkResult LinkUserModels(Session& session, int iSet, MaterialSet& set,
                          services::KernelMessageTexts& texts);

// Start state of one user-model point: the usage codes of its state
// variables, then task 1 with the point's stress and state variables, which
// the library may change in place. Returns the abort code.
struct PointStart {
  int iSet = 1;
  int iEl = 1, intPt = 1;
  double x = 0.0, y = 0.0, z = 0.0;
  Vec6 sig0{};          // in: initial stress; out: as the library returned it
  double swp0 = 0.0;
  double* stVar0 = nullptr;  // the point's state variables (nStat values)
};
int InitUsrStat(Session& session, const MaterialSet& set, PointStart& point,
                services::KernelMessageTexts& texts);

// True for the reduced model numbers of user-defined models.
constexpr bool IsUserModel(int model) { return model >= 21 && model <= 30; }

}  // namespace soilcal::models::udsm
