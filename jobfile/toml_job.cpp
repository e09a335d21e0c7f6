// Reading a TOML job: the sections in the order the native job needs them
// (units and model before the parameters, parameters before the bounds that
// convert with them, the tests last).
#include "jobfile/toml_job.hpp"

#include <filesystem>
#include <system_error>

#include "jobfile/native_writer.hpp"
#include "jobfile/reader_parts.hpp"
#include "jobfile/toml_bounds.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::jobfile {

bool IsTomlJob(const std::string& path) {
  if (path.size() < 5) return false;
  std::string ending = path.substr(path.size() - 5);
  for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ending == ".toml";
}

namespace reader {

std::string ReadJobFileText(const std::string& path) {
  const std::string kind = services::NotARegularFile(services::ResolvePath(path));
  if (!kind.empty()) {
    throw services::RunError(kJobFileUnreadable,
                             "job file " + path + " " + kind + ": name the job's .toml file");
  }
  if (!services::FileExists(path)) {
    const std::string folder = services::FolderOf(path);
    throw services::RunError(kJobFileUnreadable,
                             "job file " + services::BareName(path) + " not found in " +
                                 (folder.empty() ? "the current folder" : folder));
  }
  const std::string resolved = services::ResolvePath(path);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(resolved, ec);
  if (!ec) CheckTomlSize(size, path);
  std::string text;
  std::string why;
  if (!services::ReadRegularFile(resolved, text, &why)) {
    throw services::RunError(kJobFileUnreadable, "job file " + path + " " + why);
  }
  return text;
}

toml::table ParseTomlText(const std::string& text, const std::string& path) {
  CheckTomlBounds(text, path);
  try {
    return toml::parse(text, path);
  } catch (const toml::parse_error& e) {
    TomlFile(services::BareName(path))
        .Fail(kJobFileUnreadable, e.source(), std::string(e.description()) + " (TOML syntax)");
  }
}

NativeJob ReadJobTable(const toml::table& root, const std::string& path) {
  State s(TomlFile(services::BareName(path)), services::FolderOf(path));
  s.file.CheckKeys(root, {"title", "units", "model", "parameters", "calibrate", "tests"},
                   "the job file");
  NativeJob out;
  input::MaterialInput& material = out.job.material;
  material.version = 6;
  ReadUnits(s, root, material);
  ReadModel(s, root, material);
  ReadParameters(s, root, material);
  ReadCalibration(s, root, out);
  const std::optional<std::string> title = s.file.String(root, "title");
  ReadTests(s, root, out);
  if (title) {
    if (title->find_first_of("\r\n") != std::string::npos) {
      s.file.Fail(kJobFileUnreadable, *root.get("title"), "the title must be one line");
    }
    // A test without a title of its own carries the job's.
    const toml::array& tests = *root["tests"].as_array();
    for (std::size_t t = 0; t < out.titles.size(); ++t) {
      if (!tests[t].as_table()->contains("title")) out.titles[t] = *title;
    }
  }
  ReadDerivedStart(s, root, out);
  for (input::LabTest& test : out.job.tests) test.material = material;
  out.extendedModels = NeedsExtendedModels(material.baseModel);
  out.job.modelNumber = out.job.tests.back().modelNumber;
  out.language.jobFile = services::BareName(path);
  out.inputFiles.push_back(services::ResolvePath(path));
  return out;
}

}  // namespace reader

NativeJob ReadTomlText(const std::string& text, const std::string& path) {
  const toml::table root = reader::ParseTomlText(text, path);
  if (const toml::node* models = root.get("models")) {
    TomlFile(services::BareName(path))
        .Fail(kJobFileUnreadable, *models,
              "a job of several [[models]] is a comparison: run it as soilcal JOB.toml, which "
              "calibrates each model into JOB.out/<model>/ and compares them");
  }
  return reader::ReadJobTable(root, path);
}

NativeJob ReadTomlJob(const std::string& path) {
  return ReadTomlText(reader::ReadJobFileText(path), path);
}

}  // namespace soilcal::jobfile
