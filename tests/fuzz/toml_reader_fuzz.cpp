// Fuzz target: one TOML job file, read and checked as `soilcal JOB.toml`
// does (each model of a comparison of [[models]] alike), then turned into the
// text of its native files. Beside it lies a CSV
// file "data.csv" with a column for every common quantity and a phase
// column, so that jobs naming it reach the curve reader and the choice of
// codes. A job either raises a run error or gives a native job whose curves
// fit their tests.
#include "fuzz_support.hpp"
#include "jobfile/model_list.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"

namespace {

const char* kData =
    "phase,axial_strain,volumetric_strain,deviator_stress,mean_effective_stress,axial_stress,"
    "radial_stress,vertical_stress,excess_pore_pressure,shear_strain,shear_stress,time\n"
    "1,0.001,0.0005,10,100,110,100,110,0,0,0,0.1\n"
    "1,0.002,0.001,20,103,120,100,120,0,0,0,0.2\n"
    "2,0.003,0.0015,25,105,125,100,125,0,0,0,0.3\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  static const bool written = [] {
    fuzz::WriteBytes(fuzz::ScratchFolder() + "data.csv",
                     reinterpret_cast<const std::uint8_t*>(kData), std::strlen(kData));
    return true;
  }();
  (void)written;
  const std::string path = fuzz::ScratchFolder() + "job.toml";
  fuzz::WriteBytes(path, data, size);
  // A native job whose curves fit their tests.
  const auto check = [](const jobfile::NativeJob& job) {
    const input::Job& native = job.job;
    if (native.settings.index.size() != native.settings.lower.size() ||
        job.language.parameters.size() != native.settings.index.size() ||
        job.language.curves.size() != native.tests.size()) {
      __builtin_trap();
    }
    std::size_t bytes = jobfile::OptimisationFileText(native).size();
    for (std::size_t t = 0; t < native.tests.size(); ++t) {
      const input::LabTest& test = native.tests[t];
      bytes += jobfile::LabTestFileText(test, native.material, job.titles[t]).size();
      for (const input::Curve& c : test.curves) {
        long long sum = 0;
        for (int n : c.segmentSizes) sum += n;
        if (c.nSegments != test.nPhases || sum != c.nPoints || c.swapped ||
            c.x.size() != static_cast<std::size_t>(c.nPoints) || c.y.size() != c.x.size()) {
          __builtin_trap();
        }
        bytes += jobfile::CurveFileText(c).size();
      }
    }
    if (bytes == 0) __builtin_trap();
  };
  fuzz::Guarded([&] {
    // A comparison of several models: each model's job.
    if (jobfile::HasModelList(path)) {
      for (const jobfile::ModelJob& model : jobfile::ReadModelList(path)) check(model.job);
      return;
    }
    check(jobfile::ReadTomlJob(path));
  });
  return 0;
}
