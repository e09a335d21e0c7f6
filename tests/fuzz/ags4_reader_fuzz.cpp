// Fuzz target: one AGS4 file listed as inspect lists it, and read as a
// `from` test of its only specimen, of specimen BH1 at 2 m, from a start
// below the first increment, and as the cyclic test (CTRD) numbered 1. A
// file either is refused with a sentence or gives a test whose readings are
// finite and one per phase entry, an oedometer one phase per level.
#include <cmath>

#include "fuzz_support.hpp"
#include "labfiles/lab_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int pass = 0; pass < 5; ++pass) {
    labfiles::Selection sel;
    if (pass == 2 || pass == 3) sel.specimen = labfiles::SpecimenKey{"BH1", 2.0, ""};
    if (pass == 3) sel.initialVerticalStress = 10.0;
    if (pass == 4) sel.group = "CTRD", sel.stage = 1;
    try {
      const labfiles::LabFile f = labfiles::ReadAgs4(text, "fuzz.ags", sel, pass != 0);
      if (f.test) {
        for (const labfiles::Column& c : f.test->columns) {
          if (c.values.size() != f.test->phase.size()) __builtin_trap();
        }
        if (f.test->kind == "oedometer" && f.test->levels.size() + 1 != f.test->phase.size()) {
          __builtin_trap();
        }
        for (const labfiles::Column& c : f.test->columns) {
          for (double v : c.values) {
            if (!std::isfinite(v)) __builtin_trap();
          }
        }
      }
      if (labfiles::InspectText(f).empty()) __builtin_trap();
    } catch (const labfiles::LabFileError&) {
    }
  }
  return 0;
}
