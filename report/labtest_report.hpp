// The report of one simulated laboratory test: the plots of its type
// (triaxial, oedometer, isotropic, simple shear, cyclic), and the control of
// each phase.
#pragma once

#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::report {

// The page for the first nPoints recorded points of `test`; `title` names the
// test file.
std::string RenderLabTestReport(const input::LabTest& test, const labtest::Recording& rec,
                                int nPoints, int status, const std::string& title);

}  // namespace soilcal::report
