// [[tests]] tables written back as a person wrote them: keys in the order of
// the file they came from, numbers in their shortest exact form, curves as
// [[tests.curves]] below their test.
#pragma once

#include <string>

#include <toml++/toml.h>

namespace soilcal::jobfile {

std::string TestsText(const toml::array& tests);

}  // namespace soilcal::jobfile
