// Helpers shared by the tests: temporary project folders, file reading and
// writing, and the folders of the build and the source tree.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace soilcal::testing {

// A fresh temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  // Writes `text` to `name` inside the folder and returns the full path.
  std::string Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The whole file as bytes; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// Writes `text` to `file` as bytes, replacing what was there.
void WriteFile(const std::filesystem::path& file, const std::string& text);
// The lines of `text` without their line ends.
std::vector<std::string> SplitLines(const std::string& text);
// Copies every file of `from` into the folder `to`, made if missing.
void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to);
// The files that make up the job in `folder` (no sub-folders): the ones git
// tracks when the folder lies in a git work tree, else every file the
// .gitignore files of the folder and above it (the lists of what a run
// writes) leave out. Outputs a run left
// there are never among them.
std::vector<std::filesystem::path> JobFiles(const std::filesystem::path& folder);
// Copies JobFiles(`from`) into the folder `to`, made if missing.
void CopyJobFiles(const std::filesystem::path& from, const std::filesystem::path& to);
// Copies the shipped example job examples/`name` (its own files only) into `to`.
void CopyExample(const std::string& name, const std::filesystem::path& to);

// Path of a built program or library in the build folder.
std::string BuildPath(const std::string& name);
// Path of a test fixture library in its own folder of the build.
std::string FixturePath(const std::string& name);
// Path below the source tree.
std::string SourcePath(const std::string& relative);

}  // namespace soilcal::testing
