// `soilcal serve [FOLDER] [--port N] [--open] [--listen ADDRESS]
// [--max-upload MB]`: the workbench of FOLDER's jobs in the browser, until
// Ctrl-C, which interrupts its runs (each ends as an interrupted run does)
// before the program ends.
#pragma once

#include "web/serve_options.hpp"

namespace soilcal::web {

int RunServeCommand(int argc, char** argv);

}  // namespace soilcal::web
