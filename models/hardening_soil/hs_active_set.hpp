// Trying active sets for a return: one set in the general mode and on an
// edge, or the first admissible set of a list.
#pragma once

#include <initializer_list>
#include <span>

#include "models/hardening_soil/hs_return.hpp"

namespace soilcal::models::hs {

ActiveSet MakeSet(std::initializer_list<Mech> list);
// A diagnostic label on unit 2 (nothing is formatted when the channel is off).
void Label(const char* text);

// The elastic trial of one call and what every return of it shares.
struct CallContext {
  const P3& trial;
  const Material& m;
  const Hardening& start;
};

struct SetOptions {
  std::array<double, 4> guess{};  // starting multipliers
  const char* edgeLabel = "";     // label when the return moves to an edge
  bool shearFollows = false;      // corners of the fallback: the hardening surface follows
  int forcedEdge = 0;             // try this edge only
};

struct SetOutcome {
  ReturnResult r;                 // last converged solution (seeds the next set)
  ActiveSet used;
  int mode = kModeGeneral;
  int lostEdge = kModeGeneral;    // edge the general result fell to
};

// The return input of a mode: the trial projected on the edge, and the
// gamma_p bookkeeping of the mode.
ReturnInput ModeInput(const CallContext& c, int mode);
// The edge a stress has passed over (order lost), or the general mode.
int ModeOfOrder(const P3& s);
// The edge a trial stress lies on (within rounding), or 0.
int EdgeOfTrial(const P3& t, const Material& m);

// One active set: in the general mode and, for a set with the shear or cap
// mechanism, once more on an edge (the edge the general result fell to, or,
// when the general form has no solution, the edge of the nearer trial
// pair). A trial already on an edge starts there. True when the result is
// admissible.
bool SetReturn(const CallContext& c, const ActiveSet& set, const SetOptions& opt,
               SetOutcome& out);
// The first set of `sets` whose return is admissible; shear and cap
// multipliers start from lamS and lamC.
bool FirstAdmissible(const CallContext& c, std::span<const ActiveSet> sets, double lamS,
                     double lamC, const char* label, bool shearFollows, SetOutcome& out);
// Every set of one to three of the six failure and tension planes, smallest
// first, with the cap in front when asked.
std::span<const ActiveSet> PlaneSubsets(bool withCap);

}  // namespace soilcal::models::hs
