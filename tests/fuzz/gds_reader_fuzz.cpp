// Fuzz target: one GDS triaxial export read as a `from` test takes it (the
// default stage, then stage 3 named), and listed as inspect lists it. A
// file either is refused with a sentence or gives a test whose readings are
// finite and one per phase entry.
#include "fuzz_support.hpp"
#include "labfiles/lab_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int pass = 0; pass < 3; ++pass) {
    labfiles::Selection sel;
    if (pass == 1) sel.stage = 3;
    try {
      const labfiles::LabFile f = labfiles::ReadGds(text, "fuzz.gds", sel, pass != 2);
      if (f.test) {
        for (const labfiles::Column& c : f.test->columns) {
          if (c.values.size() != f.test->phase.size()) __builtin_trap();
        }
        if (labfiles::CurvesCsv(*f.test).empty()) __builtin_trap();
      }
      if (labfiles::InspectText(f).empty()) __builtin_trap();
    } catch (const labfiles::LabFileError&) {
    }
  }
  return 0;
}
