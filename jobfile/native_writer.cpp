#include "jobfile/native_writer.hpp"

#include <filesystem>
#include <fstream>
#include <utility>

#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/file_identity.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

namespace fs = std::filesystem;

std::string Real(double v) { return services::FormatReal(v); }

template <typename T>
std::string Six(const std::array<T, 6>& v) {
  std::string line;
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0) line += ' ';
    if constexpr (std::is_same_v<T, int>) {
      line += std::to_string(v[i]);
    } else {
      line += Real(v[i]);
    }
  }
  return line;
}

// A native file never replaces a file the job was read from.
void RefuseInputs(const std::vector<fs::path>& files, const std::vector<std::string>& inputs) {
  std::vector<std::string> outputs;
  outputs.reserve(files.size());
  for (const fs::path& file : files) outputs.push_back(file.string());
  if (const auto clash = services::FindOutputOntoInput(outputs, inputs)) {
    throw services::RunError(kJobFileUnreadable,
                             "the native job would replace " + outputs[clash->output] +
                                 ", a file of the job itself; write it into another folder");
  }
}

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    throw services::RunError(kJobFileUnreadable,
                             "the native job file " + file.string() + " cannot be written");
  }
}

}  // namespace

bool NeedsExtendedModels(int baseModel) { return baseModel == 31 || baseModel == 32; }

std::string OptimisationFileText(const input::Job& job) {
  const input::OptimisationSettings& s = job.settings;
  std::string t;
  t += std::to_string(s.index.size()) + "\n";
  t += std::to_string(s.intensity) + "\n";
  t += Real(s.tolerance) + "\n";
  for (int slot : s.index) t += std::to_string(slot) + "\n";
  for (std::size_t j = 0; j < s.index.size(); ++j) {
    t += Real(s.lower[j]) + " " + Real(s.upper[j]) + "\n";
  }
  t += std::to_string(job.tests.size()) + "\n";
  for (const input::LabTest& test : job.tests) {
    t += services::BareName(test.testFile) + " " + std::to_string(test.curveFiles.size()) + "\n";
    for (const std::string& curve : test.curveFiles) t += services::BareName(curve) + "\n";
  }
  return t;
}

std::string LabTestFileText(const input::LabTest& test, const input::MaterialInput& material,
                            const std::string& title) {
  const int base = material.baseModel;
  const int variant = (test.modelNumber - base) / 100 - 1;
  std::string t;
  t += title + "\n6\nunits: force, length, time\n";
  t += material.forceUnit + "\n" + material.lengthUnit + "\n" + material.timeUnit + "\n";
  t += "\n10\n\n\n";
  t += "Material\n" + std::to_string(base) + "\n" + material.name + "\n";
  for (int i = 0; i < 7; ++i) t += "\n";
  for (int slot = 1; slot <= 200; ++slot) {
    t += Real(material.params[static_cast<std::size_t>(slot)]) + "\n";
  }
  t += "Test\n";
  t += std::to_string(test.testType) + "\n";
  t += std::to_string(variant) + "\n";
  t += Real(test.tolerance) + "\n";
  t += Real(test.realSettings[0]) + "\n";
  t += std::to_string(test.maxIterations) + "\n";
  t += std::to_string(test.accelerationFlag) + "\n";
  t += Real(test.realSettings[1]) + "\n";
  t += Real(test.step10Value) + "\n";
  t += Six(test.initialStress) + "\n";
  t += std::to_string(test.nPhases) + "\n";
  for (std::size_t p = 0; p < static_cast<std::size_t>(test.nPhases); ++p) {
    t += std::to_string(test.loadSteps[p]) + "\n";
    t += Real(test.timeIncrement[p]) + "\n";
    t += Six(test.prescribedStrain[p]) + "\n";
    t += Six(test.prescribedStress[p]) + "\n";
    t += Six(test.phaseFlags[p]) + "\n";
  }
  return t;
}

std::string CurveFileText(const input::Curve& curve) {
  const bool swap = curve.swapped;
  std::string t = std::to_string(swap ? curve.yCode : curve.xCode) + " " +
                  std::to_string(swap ? curve.xCode : curve.yCode) + "\n";
  t += std::to_string(curve.nSegments) + "\n";
  t += std::string(curve.multiSegment ? "1" : "0") + "\n";
  for (int size : curve.segmentSizes) t += std::to_string(size) + "\n";
  for (std::size_t i = 0; i < curve.x.size(); ++i) {
    const double first = swap ? curve.y[i] : curve.x[i];
    const double second = swap ? curve.x[i] : curve.y[i];
    t += Real(first) + " " + Real(second) + "\n";
  }
  return t;
}

void WriteNativeJob(const NativeJob& native, const std::string& folder) {
  const fs::path dir(services::ResolvePath(folder.empty() ? "." : folder));
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir)) {
    throw services::RunError(kJobFileUnreadable,
                             "the folder " + dir.string() + " for the native job cannot be made");
  }
  const input::Job& job = native.job;
  // The flag files are written or removed: either way never an input.
  std::vector<fs::path> files{dir / kOptimisationFileName, dir / input::kJobLanguageFile,
                              dir / kThoroughSearchFlag, dir / kExtendedModelsFlag};
  for (const input::LabTest& test : job.tests) {
    files.push_back(dir / services::BareName(test.testFile));
    for (const std::string& curve : test.curveFiles) files.push_back(dir / services::BareName(curve));
  }
  RefuseInputs(files, native.inputFiles);
  WriteText(dir / kOptimisationFileName, OptimisationFileText(job));
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    const std::string title = t < native.titles.size() ? native.titles[t] : "";
    WriteText(dir / services::BareName(test.testFile), LabTestFileText(test, job.material, title));
    for (std::size_t c = 0; c < test.curves.size() && c < test.curveFiles.size(); ++c) {
      WriteText(dir / services::BareName(test.curveFiles[c]), CurveFileText(test.curves[c]));
    }
  }
  WriteText(dir / input::kJobLanguageFile, input::JobLanguageJson(native.language));
  // Flag files are written when asked for and removed when not, so that a
  // folder used by an earlier job says nothing of its own.
  const std::pair<const char*, bool> flags[] = {{kThoroughSearchFlag, native.thorough},
                                                {kExtendedModelsFlag, native.extendedModels}};
  for (const auto& [name, wanted] : flags) {
    if (wanted) {
      WriteText(dir / name, "");
    } else {
      fs::remove(dir / name, ec);
    }
  }
}

}  // namespace soilcal::jobfile
