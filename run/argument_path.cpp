#include "run/argument_path.hpp"

#include <sys/stat.h>

#include <algorithm>

#include "services/paths.hpp"

namespace soilcal::run {
namespace {

// The path as written (separators turned to '/'), without any case folding.
std::string AsWritten(const std::string& path) {
  std::string unixPath = services::TrimRight(path);
  std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
  return unixPath;
}

bool IsFileAsWritten(const std::string& path) {
  struct stat st {};
  return ::stat(AsWritten(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsFolderAsWritten(const std::string& folder) {
  if (folder.empty()) return true;
  struct stat st {};
  return ::stat(AsWritten(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ChooseArgumentSpelling(const std::string& given) {
  const std::string upper = services::ToUpperCase(given);
  if (IsFileAsWritten(given)) return given;
  if (IsFileAsWritten(upper)) return upper;
  if (services::FileExists(upper)) return upper;
  if (!IsFolderAsWritten(services::FolderOf(upper)) &&
      IsFolderAsWritten(services::FolderOf(given))) {
    return given;
  }
  return upper;
}

}  // namespace soilcal::run
