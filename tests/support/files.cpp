#include "support/files.hpp"

#include <fstream>
#include <random>
#include <sstream>

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

void CopyExample(const std::string& name, const std::filesystem::path& to) {
  CopyFolder(SourcePath("examples/" + name), to);
}

std::string BuildPath(const std::string& name) { return std::string(SOILCAL_BINARY_DIR) + "/" + name; }
std::string FixturePath(const std::string& name) {
  return std::string(SOILCAL_FIXTURE_DIR) + "/" + name;
}
std::string SourcePath(const std::string& relative) {
  return std::string(SOILCAL_SOURCE_DIR) + "/" + relative;
}

}  // namespace soilcal::testing
