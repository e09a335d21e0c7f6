#include "jobfile/commands.hpp"

#include "input/readers.hpp"
#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "jobfile/toml_writer.hpp"
#include "services/errors.hpp"
#include "services/file_identity.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

// The files a native job was read from: the optimisation file, its lab-test
// and curve files and the flag files beside it.
std::vector<std::string> NativeInputs(const input::Job& job, const std::string& optimisationFile) {
  std::vector<std::string> inputs{optimisationFile};
  for (const input::LabTest& test : job.tests) {
    inputs.push_back(test.testFile);
    for (const std::string& curve : test.curveFiles) inputs.push_back(curve);
  }
  for (const char* flag : {kThoroughSearchFlag, kExtendedModelsFlag, input::kJobLanguageFile}) {
    inputs.push_back(job.projectFolder + flag);
  }
  return inputs;
}

// The TOML job and its CSV files never replace a file they are written from.
void RefuseTomlOntoInputs(const TomlJobText& text, const std::string& tomlPath,
                          const std::vector<std::string>& inputs) {
  std::vector<std::string> outputs{tomlPath};
  const std::string folder = services::FolderOf(tomlPath);
  for (const TomlJobText::Csv& csv : text.csv) outputs.push_back(folder + csv.name);
  const auto clash = services::FindOutputOntoInput(outputs, inputs);
  if (!clash) return;
  throw services::RunError(kJobFileUnreadable,
                           "the TOML job would replace " + inputs[clash->input] +
                               ", a file of the native job it is written from, with " +
                               outputs[clash->output] +
                               "; nothing was written: give the TOML job another name or folder");
}

}  // namespace

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
  const TomlJobText text = NativeToToml(job, thorough, services::BareName(optimisationFile));
  RefuseTomlOntoInputs(text, tomlPath, NativeInputs(job, optimisationFile));
  WriteTomlJob(text, tomlPath);
}

}  // namespace soilcal::jobfile
