// Writes a native job into a folder: OPTIM.TXT, one lab-test file (version
// 6) per test, one curve file per measured curve, the job's language
// (job_language.json) and the flag file of the thorough search when the job
// asks for it. Every number is written with the fewest digits that read back
// to the same double, so the files hold exactly the job's values.
#pragma once

#include <string>

#include "jobfile/native_job.hpp"

namespace soilcal::jobfile {

inline constexpr const char* kOptimisationFileName = "OPTIM.TXT";
// The flag file the run looks for in the job folder (run/search_choice.hpp).
inline constexpr const char* kThoroughSearchFlag = "thorough_search";

// Writes `job` into `folder` (made when missing). Throws services::RunError
// (exit code 12) naming the file that cannot be written.
void WriteNativeJob(const NativeJob& job, const std::string& folder);

// The text of the optimisation file, a lab-test file and a curve file.
std::string OptimisationFileText(const input::Job& job);
std::string LabTestFileText(const input::LabTest& test, const input::MaterialInput& material,
                            const std::string& title);
std::string CurveFileText(const input::Curve& curve);

}  // namespace soilcal::jobfile
