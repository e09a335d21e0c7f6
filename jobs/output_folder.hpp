// Where a job's outputs are, from the argument a user gives a program.
#pragma once

#include <string>

namespace soilcal::jobs {

// The folder of the outputs of the job `argument` names, with a trailing
// separator: a folder as it is, a TOML job's PATH/JOB.out/, else the folder
// of the optimisation file.
std::string OutputFolderOf(const std::string& argument);

}  // namespace soilcal::jobs
