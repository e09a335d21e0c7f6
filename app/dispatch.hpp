// The program's front door: what `soilcal ...` does with its arguments.
//
//   soilcal [OPTIONS] PATH/OPTIM.TXT        the native job, as a host runs it
//   soilcal [OPTIONS] PATH/JOB.toml         the TOML job: its native job is
//                                           written into PATH/JOB.out/ and run
//                                           there by the same run sequence
//   soilcal [OPTIONS] JOB1 JOB2 ...         a batch: each job a run of its own
//   soilcal [OPTIONS] --jobs-from FILE      (app/batch_command.hpp)
//   soilcal --write-native DIR JOB.toml     writes the native job, no run
//   soilcal --write-toml OUT.toml OPTIM.TXT writes a native job as a TOML job
//   soilcal new MODEL FILE... [-o JOB.toml]  writes a job with start values
//                                           read off the tests (app/new_command.hpp)
//   soilcal serve [FOLDER] [--port N] ...   the workbench in the browser (web/)
#pragma once

namespace soilcal::app {

int Dispatch(int argc, char** argv);

}  // namespace soilcal::app
