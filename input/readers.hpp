// Readers of a calibration job: the optimisation input file, the lab-test
// files and the measured curves. Job errors are raised with StopWithError.
#pragma once

#include <array>
#include <string>

#include "input/records.hpp"

namespace soilcal::input {

// Reads the optimisation input file named by `argument` (already upper-cased):
// fills job.settings, job.projectFolder and the test list (test file, number
// of curves, curve file names). Raises run errors 12, 13, 14 and 6.
void ReadOptimisationInput(const std::string& argument, Job& job);

// Reads the lab-test file of `record` (its testFile is set). `current` is the
// current-test state carried from one call to the next (it starts as a
// default LabTest): the file is read into it, so whatever a truncated file
// does not reach keeps the previous file's values, and as the last step the
// description and material are copied into `record`. Raises run errors 15
// and 16; a missing file's message names the line of `optimisationFile`
// (the optimisation file's path) that lists it.
void ReadLabTestInput(LabTest& record, LabTest& current,
                      const std::string& optimisationFile = {});

// True when the quantity |code| is prescribed by a test with these control
// flags (1 stress, 0 strain prescribed) and test type: such a quantity is the
// independent axis of a curve, and the curve reader exchanges the columns of
// a file whose second quantity is prescribed and whose first is not.
bool IsPrescribed(int code, const std::array<int, 6>& flag, int testType);

// Reads every curve file of every test, in list order. Raises run errors 10,
// 11 and 6.
void ReadMeasuredCurves(Job& job);

// "; it is listed in OPTIM.TXT line 10" for a file of the job that the
// optimisation file `optimisationFile` lists as `listed`; when the name used
// (`used`, a path) was cut from a longer listed name, the whole name follows
// with a note of the cut.
std::string ListedAt(const std::string& optimisationFile, const ListedName& listed,
                     const std::string& used);

}  // namespace soilcal::input
