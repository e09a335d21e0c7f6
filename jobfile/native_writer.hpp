// Writes a native job into a folder: OPTIM.TXT, one lab-test file (version
// 6) per test, one curve file per measured curve, the job's language
// (job_language.json), the flag file of the thorough search when the job
// asks for it and that of the extended models when its model is one. Every number is written with the fewest digits that read back
// to the same double, so the files hold exactly the job's values.
#pragma once

#include <string>

#include "jobfile/native_job.hpp"

namespace soilcal::jobfile {

inline constexpr const char* kOptimisationFileName = "OPTIM.TXT";
// The flag file the run looks for in the job folder (run/search_choice.hpp).
inline constexpr const char* kThoroughSearchFlag = "thorough_search";
// The flag file that serves the extended models (Sekiguchi-Ohta) in the lab
// tests of the job folder (labtest/extended_models.hpp).
inline constexpr const char* kExtendedModelsFlag = "extended_models";

// What the readers of laboratory files chose for the job's `from` tests.
inline constexpr const char* kSourcesFile = "sources.txt";

// The models the lab tests simulate only with kExtendedModelsFlag.
bool NeedsExtendedModels(int baseModel);

// Writes `job` into `folder` (made when missing). Throws services::RunError
// (exit code 12) naming the file that cannot be written.
void WriteNativeJob(const NativeJob& job, const std::string& folder);

// The text of the optimisation file, a lab-test file and a curve file.
std::string OptimisationFileText(const input::Job& job);
std::string LabTestFileText(const input::LabTest& test, const input::MaterialInput& material,
                            const std::string& title);
std::string CurveFileText(const input::Curve& curve);

}  // namespace soilcal::jobfile
