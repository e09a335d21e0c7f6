// Fuzz target: one measured-curve file. The first byte picks the test's
// number of phases (0..3) and control flags, so the segment check and both
// column orders are reached.
#include "fuzz_support.hpp"
#include "input/readers.hpp"
#include "input/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  if (size < 1) return 0;
  const std::string path = fuzz::ScratchFolder() + "CURVE.TXT";
  fuzz::WriteBytes(path, data + 1, size - 1);
  fuzz::Guarded([&] {
    input::Job job;
    input::LabTest test;
    test.nPhases = data[0] & 3;
    for (int i = 0; i < 6; ++i)
      test.controlFlags[static_cast<std::size_t>(i)] = (data[0] >> (2 + i % 6)) & 1;
    test.curveFiles.push_back(path);
    job.tests.push_back(test);
    input::ReadMeasuredCurves(job);
    const input::Curve& c = job.tests.front().curves.front();
    long long sum = 0;
    for (int n : c.segmentSizes) sum += n;
    if (c.nSegments != test.nPhases || sum != c.nPoints ||
        c.x.size() != static_cast<std::size_t>(c.nPoints) || c.y.size() != c.x.size()) {
      __builtin_trap();
    }
  });
  return 0;
}
