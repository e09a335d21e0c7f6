// Labelled dump of a user-model call on the diagnostic channel.
#pragma once

#include "models/udsm/modusr3d.hpp"

namespace soilcal::models::udsm {

// Writes every input of the call, one labelled line each, and with
// `withResults` also ipl, Sig, Swp and StVar. Nothing when unit 2 is off.
void DumpUserArgs(const UserArgs& args, bool withResults);

}  // namespace soilcal::models::udsm
