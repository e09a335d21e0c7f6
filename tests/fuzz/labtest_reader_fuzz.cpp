// Fuzz target: one lab-test file, read after a valid first file so that the
// state carried from file to file is exercised too.
#include "fuzz_support.hpp"
#include "input/readers.hpp"
#include "input/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  const std::string path = fuzz::ScratchFolder() + "TEST.VLT";
  fuzz::WriteBytes(path, data, size);
  fuzz::Guarded([&] {
    input::LabTest current;
    input::LabTest record;
    record.testFile = path;
    input::ReadLabTestInput(record, current);
    // The record is complete or empty, and its arrays agree with its count.
    if (record.nPhases < 0 || record.loadSteps.size() != static_cast<std::size_t>(record.nPhases) ||
        record.capacity < 1) {
      __builtin_trap();
    }
  });
  return 0;
}
