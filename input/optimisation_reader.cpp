// The optimisation input file: free parameters with their bounds, the search
// settings and the list of tests with their curve files.
//
// Content that cannot be read (text where a number is due, a file that ends
// before the list does) stops the run with error 12, the error of a missing
// optimisation file: to the host both mean that no usable job was given. A
// diagnostic line on unit 2 names the file and the line.
//
// No array is sized by a count from the file before the values are there:
// the parameter arrays hold at most 255 entries (one per slot), and the test
// and curve lists grow as their lines are read.
#include <new>
#include <stdexcept>

#include "input/free_format.hpp"
#include "input/readers.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::input {
namespace {

using services::StopWithError;

constexpr int kMaxFreeParameters = 255;
constexpr std::size_t kTestNameLength = 255;
constexpr std::size_t kCurveNameLength = 80;

// Every file of the job lies in the project folder, whatever folder its
// listed name gives. The field limits (255 for test files, 80 for curve
// files) apply to the listed name only: the folder in front of it is as long
// as the user's folders are, and no path is ever cut.
std::string InProjectFolder(const std::string& folder, const std::string& name,
                            std::size_t nameLimit) {
  return folder + services::BareName(name).substr(0, nameLimit);
}

class OptimisationFile {
 public:
  explicit OptimisationFile(LineReader& lines) : lines_(lines) {}

  void Read(std::initializer_list<ReadItem> items, const char* what) {
    const ReadStatus status = ReadStatement(lines_, items);
    if (status != ReadStatus::kOk) {
      StopUnreadable(services::kNoOptimizationInputFile, lines_, what, status);
    }
  }
  [[noreturn]] void Stop(int code, const std::string& what) { StopMalformed(code, lines_, what); }
  // Line of the record read last.
  int line() const { return lines_.lineNumber(); }
  // "OPTIM.TXT line 11" for the record read last.
  std::string Where() const {
    return services::BareName(lines_.fileName()) + " line " + std::to_string(line());
  }

 private:
  LineReader& lines_;
};

void ReadFreeParameters(OptimisationFile& file, OptimisationSettings& s, SettingLines& lines) {
  int n = 0;
  file.Read({&n}, "number of free parameters");
  file.Read({&s.intensity}, "search intensity");
  lines.intensity = file.line();
  file.Read({&s.tolerance}, "convergence tolerance");
  // Without a positive tolerance the convergence test never holds and the
  // search runs to its iteration limit.
  if (!(s.tolerance > 0.0)) {
    file.Stop(services::kNoOptimizationInputFile,
              "convergence tolerance " + services::FormatReal(s.tolerance) +
                  " is not a positive number");
  }
  if (n > kMaxFreeParameters) {
    services::Diag().Line("number of free parameters above 255:", n);
    StopWithError(services::kCouldNotAllocateMemory,
                  std::to_string(n) + " free parameters: at most 255 (one per slot)");
  }
  s.nParams = std::max(n, 0);
  s.index.assign(static_cast<std::size_t>(s.nParams), 0);
  s.lower.assign(static_cast<std::size_t>(s.nParams), 0.0);
  s.upper.assign(static_cast<std::size_t>(s.nParams), 0.0);
  lines.index.assign(static_cast<std::size_t>(s.nParams), 0);
  for (std::size_t j = 0; j < s.index.size(); ++j) {
    int& index = s.index[j];
    file.Read({&index}, "parameter index");
    lines.index[j] = file.line();
    if (index < 1 || index > 255) {
      file.Stop(services::kMatParamIndexOutsideRange,
                "parameter index " + std::to_string(index) + " outside 1..255");
    }
    // Two free parameters in one slot: the search would move one value
    // while the other is overwritten, and report both.
    for (std::size_t k = 0; k < j; ++k) {
      if (s.index[k] != index) continue;
      file.Stop(services::kMatParamIndexOutsideRange,
                "slot " + std::to_string(index) + " is freed twice, as free parameters " +
                    std::to_string(k + 1) + " (line " + std::to_string(lines.index[k]) +
                    ") and " + std::to_string(j + 1) + "; free each slot once");
    }
  }
  for (std::size_t j = 0; j < s.lower.size(); ++j) {
    file.Read({&s.lower[j], &s.upper[j]}, "parameter bounds");
    if (s.upper[j] < s.lower[j]) {
      file.Stop(services::kMatPrmUpperBoundAboveLower,
                "upper bound " + services::FormatReal(s.upper[j]) + " below lower bound " +
                    services::FormatReal(s.lower[j]) + " of free parameter " +
                    std::to_string(j + 1));
    }
  }
}

// A curve file name longer than its field is cut, as the host's field cuts
// it; the user hears of it with the whole name and the one that is read.
void WarnIfCut(const OptimisationFile& file, const std::string& listed) {
  const std::string bare = services::BareName(listed);
  if (bare.size() <= kCurveNameLength) return;
  services::Warn(file.Where() + ": the curve file name " + bare + " has " +
                 std::to_string(bare.size()) + " characters and is cut to its first " +
                 std::to_string(kCurveNameLength) + ", so the file read is " +
                 bare.substr(0, kCurveNameLength));
}

void ReadTestList(OptimisationFile& file, Job& job) {
  int nTests = 0;
  file.Read({&nTests}, "number of tests");
  job.settingLines.tests = file.line();
  for (int t = 0; t < nTests; ++t) {
    std::string name;
    int nCurves = 0;
    file.Read({&name, &nCurves}, "test file name and number of curves");
    LabTest test;
    test.testFile = InProjectFolder(job.projectFolder, name, kTestNameLength);
    test.listed = ListedName{name, file.line()};
    test.nCurves = std::max(nCurves, 0);
    for (int c = 0; c < test.nCurves; ++c) {
      std::string curve;
      file.Read({&curve}, "curve file name");
      WarnIfCut(file, curve);
      test.curveFiles.push_back(InProjectFolder(job.projectFolder, curve, kCurveNameLength));
      test.listedCurves.push_back(ListedName{curve, file.line()});
    }
    job.tests.push_back(std::move(test));
  }
}

}  // namespace

std::string ListedAt(const std::string& optimisationFile, const ListedName& listed,
                     const std::string& used) {
  if (listed.line <= 0 || optimisationFile.empty()) return {};
  std::string text = "; it is listed in " + services::BareName(optimisationFile) + " line " +
                     std::to_string(listed.line);
  const std::string whole = services::BareName(listed.name);
  if (whole != services::BareName(used)) {
    text += " as " + whole + " (" + std::to_string(whole.size()) +
            " characters, cut to the first " + std::to_string(services::BareName(used).size()) +
            ")";
  }
  return text;
}

void ReadOptimisationInput(const std::string& argument, Job& job) {
  job.argument = argument;
  const std::string folder = services::FolderOf(argument);
  const std::string where = folder.empty() ? "the current folder" : folder;
  if (!services::FileExists(argument)) {
    StopWithError(services::kNoOptimizationInputFile,
                  "optimisation input file " + services::BareName(argument) + " not found in " +
                      where);
  }
  job.projectFolder = folder;
  if (job.projectFolder.empty()) job.projectFolder = "./";

  InputFile file(argument);
  if (!file.opened()) {
    StopWithError(services::kNoOptimizationInputFile,
                  "optimisation input file " + services::BareName(argument) + " in " + where +
                      " cannot be opened" + services::KindInParentheses(argument));
  }
  OptimisationFile reader(file.lines());
  try {
    ReadFreeParameters(reader, job.settings, job.settingLines);
    ReadTestList(reader, job);
  } catch (const std::bad_alloc&) {
    StopWithError(services::kCouldNotAllocateMemory, "not enough memory for the test list");
  } catch (const std::length_error&) {
    StopWithError(services::kCouldNotAllocateMemory, "not enough memory for the test list");
  }
  job.language = ReadJobLanguage(job);
}

}  // namespace soilcal::input
