// Fuzz target: the optimisation input file.
#include "fuzz_support.hpp"
#include "input/readers.hpp"
#include "input/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  const std::string path = fuzz::ScratchFolder() + "OPTIM.TXT";
  fuzz::WriteBytes(path, data, size);
  fuzz::Guarded([&] {
    input::Job job;
    input::ReadOptimisationInput(path, job);
    const auto& s = job.settings;
    // A job that was accepted has consistent arrays, valid slots, ordered
    // bounds and a positive tolerance.
    if (s.index.size() != static_cast<std::size_t>(s.nParams) || s.lower.size() != s.index.size() ||
        !(s.tolerance > 0.0)) {
      __builtin_trap();
    }
    for (std::size_t j = 0; j < s.index.size(); ++j) {
      if (s.index[j] < 1 || s.index[j] > 255 || s.upper[j] < s.lower[j]) __builtin_trap();
    }
  });
  return 0;
}
