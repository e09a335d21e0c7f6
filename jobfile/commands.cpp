#include "jobfile/commands.hpp"

#include "input/readers.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "jobfile/toml_writer.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {

std::string NativeFolderOf(const std::string& tomlPath) {
  const std::string bare = services::BareName(tomlPath);
  const std::string stem = bare.size() > 5 ? bare.substr(0, bare.size() - 5) : bare;
  return services::FolderOf(tomlPath) + stem + ".out/";
}

std::string WriteNativeFromToml(const std::string& tomlPath, const std::string& folder) {
  const NativeJob job = ReadTomlJob(tomlPath);
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  WriteNativeJob(job, dir);
  return dir + kOptimisationFileName;
}

void WriteTomlFromNative(const std::string& optimisationFile, const std::string& tomlPath) {
  input::Job job;
  input::ReadOptimisationInput(optimisationFile, job);
  input::LabTest current;
  for (input::LabTest& test : job.tests) {
    input::ReadLabTestInput(test, current);
    if (current.testType == 6) {
      throw services::RunError(services::kErrorInVlcParameter,
                               services::BareName(test.testFile) +
                                   ": test type 6 (a cavity test) cannot be simulated");
    }
  }
  job.material = current.material;
  job.modelNumber = current.modelNumber;
  input::ReadMeasuredCurves(job);
  const bool thorough = services::FileExists(job.projectFolder + kThoroughSearchFlag);
  WriteTomlJob(NativeToToml(job, thorough, services::BareName(optimisationFile)), tomlPath);
}

}  // namespace soilcal::jobfile
