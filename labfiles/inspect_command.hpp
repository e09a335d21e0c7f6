// soilcal inspect FILE [--stage N | --specimen LOCATION:DEPTH:REF]
// [--group G] [--csv]: what the program reads in a laboratory's file (GDS
// export, AGS4 file, tidy table), or with --csv the selected test's readings
// as CSV in the job's quantity names.
#pragma once

namespace soilcal::labfiles {

bool IsInspectCommand(int argc, char** argv);
// Prints to standard output; returns 0, 2 for a wrong command line, or 11 for
// a file that cannot be read (one sentence on standard error).
int RunInspectCommand(int argc, char** argv);

}  // namespace soilcal::labfiles
