#include "support/files.hpp"

#include <fnmatch.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "support/process.hpp"

namespace soilcal::testing {

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("soilcal_test_" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
  auto p = path_ / name;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << text;
  return p.string();
}

std::string TempDir::Read(const std::string& name) const { return ReadFile(path_ / name); }

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  for (const auto& entry : std::filesystem::directory_iterator(from)) {
    if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), to / entry.path().filename());
  }
}

namespace {

namespace fs = std::filesystem;

// git from the search path, "" when there is none.
std::string FindGit() {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path git = fs::path(dir.empty() ? "." : dir) / "git";
    std::error_code ec;
    if (fs::is_regular_file(git, ec) && ::access(git.c_str(), X_OK) == 0) return git.string();
  }
  return "";
}

// Files of `folder` that git tracks; nullopt when git cannot tell.
std::optional<std::vector<fs::path>> TrackedFiles(const fs::path& folder) {
  const std::string git = FindGit();
  if (git.empty()) return std::nullopt;
  const ProcessRun run = RunProcess(git, {"ls-files", "-z", "--", "."}, folder);
  if (run.exitStatus != 0 || run.out.empty()) return std::nullopt;
  std::vector<fs::path> files;
  std::istringstream names(run.out);
  for (std::string name; std::getline(names, name, '\0');) {
    // A tracked file deleted from the work tree is no file of the job now.
    if (!name.empty() && name.find('/') == std::string::npos && fs::is_regular_file(folder / name)) {
      files.push_back(folder / name);
    }
  }
  return files;
}

bool Ignored(const std::string& name, const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    if (fnmatch(p.c_str(), name.c_str(), 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<std::filesystem::path> JobFiles(const std::filesystem::path& folder) {
  if (auto tracked = TrackedFiles(folder)) return *tracked;
  // The folder's .gitignore and those above it, as git reads them.
  std::vector<std::string> patterns;
  for (fs::path dir = fs::absolute(folder); !dir.empty(); dir = dir.parent_path()) {
    for (const std::string& line : SplitLines(ReadFile(dir / ".gitignore"))) {
      if (!line.empty() && line[0] != '#') patterns.push_back(line);
    }
    if (dir == dir.root_path()) break;
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && !Ignored(entry.path().filename().string(), patterns)) {
      files.push_back(entry.path());
    }
  }
  return files;
}

void CopyJobFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  for (const fs::path& file : JobFiles(from)) {
    std::filesystem::copy_file(file, to / file.filename());
  }
}

void CopyExample(const std::string& name, const std::filesystem::path& to) {
  CopyJobFiles(SourcePath("examples/" + name), to);
}

std::string BuildPath(const std::string& name) { return std::string(SOILCAL_BINARY_DIR) + "/" + name; }
std::string FixturePath(const std::string& name) {
  return std::string(SOILCAL_FIXTURE_DIR) + "/" + name;
}
std::string SourcePath(const std::string& relative) {
  return std::string(SOILCAL_SOURCE_DIR) + "/" + relative;
}

}  // namespace soilcal::testing
