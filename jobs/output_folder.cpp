#include "jobs/output_folder.hpp"

#include <filesystem>
#include <system_error>

#include "jobfile/commands.hpp"
#include "jobfile/toml_job.hpp"
#include "services/paths.hpp"

namespace soilcal::jobs {

std::string OutputFolderOf(const std::string& argument) {
  std::error_code ec;
  if (std::filesystem::is_directory(services::ResolvePath(argument), ec)) {
    return argument.empty() || argument.back() == '/' ? argument : argument + "/";
  }
  if (jobfile::IsTomlJob(argument)) return jobfile::NativeFolderOf(argument);
  return services::FolderOf(argument);
}

}  // namespace soilcal::jobs
