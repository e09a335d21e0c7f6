// The lab-test input file: header with units, material block with 200
// parameters, test block with the loading phases.
//
// The file is read into `current`, the current-test state that lives from
// one file to the next. End of file or a value that cannot be read ends the
// reading: what was read stands in the state, the rest keeps the previous
// file's values, and the record does not get the state (its description
// stays empty, so the check of its curves reports the error). A file whose
// last phase is complete counts as read even without the free lines that
// newer versions put after each phase. One line on standard error names the
// file and the line where the reading ended.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <span>
#include <string_view>

#include "input/free_format.hpp"
#include "input/readers.hpp"
#include "input/units.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::input {
namespace {

using services::Diag;

constexpr long long kLoadStepsWarning = 100000;
constexpr long long kMaxLoadSteps = 5000000;

// Record by record access to the lab-test file. Every value record is read
// as from an internal file: a record short of values is a read error.
class TestFile {
 public:
  explicit TestFile(LineReader& lines) : lines_(lines) {}

  bool Free() { return lines_.Next(line_); }
  bool Skip(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Free()) return false;
    }
    return true;
  }
  // Reads the items from the record read last; a value that cannot be read
  // marks the reading as ended by a bad value.
  bool Parse(std::initializer_list<ReadItem> items) {
    if (ReadFromRecord(line_, items) != ReadStatus::kOk) {
      badValue_ = true;
      return false;
    }
    CheckDecimalComma(lines_, line_, items.size());
    return true;
  }
  bool Values(std::initializer_list<ReadItem> items) { return Free() && Parse(items); }
  bool Real(double& value) {
    double v = value;
    if (!Values({&v})) return false;
    value = v;
    return true;
  }
  bool Reals6(std::array<double, 6>& out) {
    std::array<double, 6> v = out;
    if (!Values({&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]})) return false;
    out = v;
    return true;
  }
  bool Integers6(std::array<int, 6>& out) {
    std::array<int, 6> v = out;
    if (!Values({&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]})) return false;
    out = v;
    return true;
  }
  const std::string& line() const { return line_; }
  LineReader& lines() { return lines_; }
  bool badValue() const { return badValue_; }
  // What the reader is at, for the message when the reading ends early.
  std::string stage = "the header";

 private:
  LineReader& lines_;
  std::string line_;
  bool badValue_ = false;
};

// The first value of a unit line ("" when there is none).
std::string FirstWord(std::string_view line) {
  SplitRecord split = SplitValues(line);
  if (split.values.empty() || split.values.front().null) return {};
  return std::string(TrimRight(split.values.front().text));
}

bool ReadHeader(TestFile& file, MaterialInput& m) {
  if (!file.Free()) return false;  // line 0
  const std::string echo = " Header line " + file.line() + "\n";
  services::ConsoleWrite(services::ConsoleStream::kOut, echo);
  m.header = std::string(TrimRight(file.line()));

  int version = m.version;
  if (!file.Values({&version})) return false;  // line 1
  m.version = version;
  if (!file.Free()) return false;  // line 2

  if (!file.Free()) return false;  // line 3: force unit
  ApplyForceUnit(FirstWord(file.line()), m);
  if (!file.Free()) return false;  // line 4: length unit
  ApplyLengthUnit(FirstWord(file.line()), m);
  if (!file.Free()) return false;  // line 5: time unit
  ApplyTimeUnit(FirstWord(file.line()), m);
  if (!file.Free()) return false;  // line 6

  if (!file.Free()) return false;  // line 7: header value of newer files
  if (m.version > 8) {
    double value = m.headerValue;
    if (!file.Parse({&value})) return false;
    m.headerValue = value;
  } else {
    m.headerValue = 10.0;
  }
  return file.Skip(2);  // lines 8, 9
}

// The material name: the line without trailing blanks, ending before its
// last tab when it holds one.
std::string MaterialName(std::string_view line) {
  line = TrimRight(line);
  const std::size_t tab = line.rfind('\t');
  if (tab != std::string_view::npos) line = line.substr(0, tab);
  return std::string(line);
}

bool ReadMaterialBlock(TestFile& file, LabTest& s) {
  file.stage = "the material block";
  MaterialInput& m = s.material;
  if (!file.Free()) return false;  // line 0
  int base = m.baseModel;
  if (!file.Values({&base})) return false;  // line 1
  m.baseModel = base;
  s.modelNumber = base;
  if (!file.Free()) return false;  // line 2
  m.name = MaterialName(file.line());
  if (!file.Skip(7)) return false;  // lines 3..9
  file.stage = "the 200 material parameters";
  for (int i = 1; i <= 200; ++i) {
    if (!file.Real(m.params[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

// Parameters of a user-defined model from "udsmparm" in the current folder:
// records "i value", parameter i of the user model going to slot 30 + i,
// until an index outside 1..200 (or the end of the file). A record that
// cannot be read as "i value" ends the list too, with a warning that names
// it and the test file it is read for, so that no parameter is dropped
// without a word.
void ReadUserModelParameters(MaterialInput& m, const std::string& testFile) {
  const std::string name = "udsmparm";
  if (!services::FileExists(name)) return;
  InputFile file(name);
  if (!file.opened()) return;
  LineReader& lines = file.lines();
  for (;;) {
    int i = 0;
    double value = 0.0;
    const ReadStatus status = ReadStatement(lines, {&i, &value});
    if (status == ReadStatus::kBadValue) {
      std::string found = FirstNonNumber(lines.lastRecord());
      if (found.empty()) found = services::Quoted(lines.lastRecord());
      services::Warn(name + " line " + std::to_string(lines.lineNumber()) + " (read for " +
                     services::BareName(testFile) + "): " + found +
                     " is not an index and a value; the user-model parameters end before this "
                     "line");
    }
    if (status != ReadStatus::kOk) return;
    if (i < 1 || i > 200) return;
    m.params[static_cast<std::size_t>(30 + i)] = value;
  }
}

// "TEST.VLT line 23: material parameter 3 (sin phi) = 30" for the slot of
// the offending sine (3 when both are), read just after the 200th parameter.
std::string SineText(const LineReader& lines, const MaterialInput& m, bool slot3) {
  const int slot = slot3 ? 3 : 5;
  return services::BareName(lines.fileName()) + " line " +
         std::to_string(lines.lineNumber() - (200 - slot)) + ": material parameter " +
         (slot3 ? "3 (sin phi) = " : "5 (sin psi) = ") + services::FormatReal(m.params[slot]);
}

void CompleteMaterial(MaterialInput& m, const LineReader& lines) {
  auto& p = m.params;
  p[7] = 0.0;
  p[19] = 0.0;
  if (p[3] > 1.0 || p[5] > 1.0) {
    services::StopWithError(services::kErrorInVlcParameter,
                            SineText(lines, m, p[3] > 1.0) +
                                " is above 1 (give the sine of the angle, not degrees)");
  }
  if (p[3] < -1.0 || p[5] < -1.0) {
    services::Warn(SineText(lines, m, p[3] < -1.0) +
                   " is below -1; slots 3 and 5 hold the sine of the angle");
  }
  if (p[20] < 1e-20) p[20] = 0.01;
  if (models::udsm::IsUserModel(m.baseModel)) ReadUserModelParameters(m, lines.fileName());
  if (m.baseModel == 18) throw services::KernelAbort(0, "rIroVuzu3", "Still need fill_proprj_2d");
}

// Steps 1 to 15 of the test block, up to the number of phases.
bool ReadTestSettings(TestFile& file, LabTest& s, int& nPhases, std::array<int, 6>& oldFlags) {
  const int version = s.material.version;
  const int base = s.material.baseModel;
  file.stage = "the test block";
  if (version > 8 && !file.Skip(5)) return false;
  if (!file.Free()) return false;  // step 1
  double value = 0.0;
  if (!file.Real(value)) return false;  // step 2
  s.testType = RoundHalfAway(value);
  s.testTypeLine = file.lines().lineNumber();
  if (!file.Real(value)) return false;  // step 3
  // In 64 bits: a model number beyond the int range is held at its end,
  // which names no model.
  const long long modelNumber = base + 100LL * (RoundHalfAway(value) + 1LL);
  s.modelNumber = static_cast<int>(std::clamp<long long>(modelNumber, INT_MIN, INT_MAX));
  if (version > 8) {  // step 4
    if (!file.Real(s.step4Value) || !file.Free()) return false;
  }
  if (!file.Real(value)) return false;  // step 5
  if (value < 1e-10) value = 0.01;
  s.tolerance = std::min(value, 0.0025);
  if (!file.Real(value)) return false;  // step 6
  s.realSettings[0] = value < 1e-10 ? 1.0 : value;
  if (!file.Real(value)) return false;  // step 7
  s.maxIterations = std::max(RoundHalfAway(value), 200);
  if (!file.Real(value)) return false;  // step 8
  s.accelerationFlag = RoundHalfAway(value);
  if (!file.Real(value)) return false;  // step 9
  s.realSettings[1] = std::abs(value);

  if (!file.Free()) return false;  // step 10
  const bool hardening = base == 6 || base == 19;
  double step10 = 0.0;
  if ((version == 1 || hardening) && !file.Parse({&step10})) return false;
  s.realSettings[2] = version == 1 ? step10 : 0.0;
  if (hardening) s.step10Value = step10;

  if (version > 7) {  // step 11
    if (!file.Real(s.step11Value) || !file.Real(value)) return false;
    s.step11Setting = RoundHalfAway(value);
  }
  if (!file.Reals6(s.initialStress)) return false;  // step 12
  if (version > 8 && !file.Skip(2)) return false;   // step 13
  if (version < 6) {                                // step 14
    if (!file.Integers6(oldFlags)) return false;
    s.controlFlags = oldFlags;
  }
  if (!file.Real(value)) return false;  // step 15
  nPhases = std::max(RoundHalfAway(value), 0);
  if (hardening && step10 > 0.0 && Diag().on()) Diag().Line("call genmat A");
  return true;
}

bool ReadPhase(TestFile& file, LabTest& s, std::size_t p) {
  const int version = s.material.version;
  int steps = 0;
  if (!file.Values({&steps})) return false;
  s.loadSteps[p] = steps;
  if (!file.Real(s.timeIncrement[p])) return false;
  if (!file.Reals6(s.prescribedStrain[p])) return false;
  if (!file.Reals6(s.prescribedStress[p])) return false;
  return version < 6 || file.Integers6(s.phaseFlags[p]);
}

// Capacity and control flags once the phases are in (also after a file that
// ended inside them: the phase arrays and the capacity always agree).
void FinishPhases(LabTest& s, const std::array<int, 6>& oldFlags) {
  const auto n = static_cast<std::size_t>(s.nPhases);
  if (s.material.version >= 6) {
    if (n > 0) s.controlFlags = s.phaseFlags[n - 1];
  } else {
    for (auto& flags : s.phaseFlags) flags = oldFlags;
    s.controlFlags = oldFlags;
  }
  long long capacity = 1;
  for (int steps : s.loadSteps) capacity += std::max(steps, 0);
  s.capacity = static_cast<int>(std::min<long long>(capacity, INT_MAX));
  if (Diag().on()) {
    for (const auto& flags : s.phaseFlags) Diag().Line(" iBndPh", std::span<const int>(flags));
  }
}

// True when every declared phase was read.
bool ReadPhases(TestFile& file, LabTest& s, int nPhases, const std::array<int, 6>& oldFlags) {
  // A phase takes at least four records of at least two bytes each: a count
  // beyond what the rest of the file holds is a read error, not an array.
  if (nPhases > file.lines().remainingBytes() / 4 + 1) {
    if (Diag().on()) Diag().Line("number of phases beyond the file's end", nPhases);
    file.stage = std::to_string(nPhases) + " phases, more than the rest of the file can hold";
    return false;
  }
  const auto n = static_cast<std::size_t>(nPhases);
  try {
    s.nPhases = nPhases;
    s.loadSteps.assign(n, 0);
    s.timeIncrement.assign(n, 0.0);
    s.prescribedStrain.assign(n, {});
    s.prescribedStress.assign(n, {});
    s.phaseFlags.assign(n, {});
  } catch (const std::bad_alloc&) {
    services::StopWithError(services::kCouldNotAllocateMemory);
  }
  bool complete = true;
  for (std::size_t p = 0; p < n && complete; ++p) {
    file.stage = "phase " + std::to_string(p + 1) + " of " + std::to_string(n);
    complete = ReadPhase(file, s, p);
    // The free lines after a phase; after the last one they may be missing.
    if (complete && s.material.version > 8 && !file.Skip(2)) complete = p + 1 == n;
  }
  FinishPhases(s, oldFlags);
  return complete;
}

// Counts of load steps are summed in 64 bits; a test that would need more
// recorded points than memory sensibly holds is refused before it runs.
void CheckLoadSteps(const LabTest& s, const LineReader& lines) {
  long long steps = 0;
  for (int n : s.loadSteps) steps += std::max(n, 0);
  const std::string file = services::BareName(lines.fileName());
  if (steps > kMaxLoadSteps) {
    services::StopWithError(services::kCouldNotAllocateMemory,
                            file + ": " + std::to_string(steps) + " load steps in all; at most " +
                                std::to_string(kMaxLoadSteps) + " can be recorded");
  }
  if (steps > kLoadStepsWarning) {
    services::Warn(file + ": " + std::to_string(steps) +
                   " load steps in all; every evaluation simulates them all, so the search will "
                   "be slow");
  }
}

// True when the whole description was read.
bool ReadBlocks(TestFile& file, LabTest& s) {
  if (!ReadHeader(file, s.material)) return false;
  if (!ReadMaterialBlock(file, s)) return false;
  CompleteMaterial(s.material, file.lines());
  int nPhases = 0;
  std::array<int, 6> oldFlags = s.controlFlags;
  if (!ReadTestSettings(file, s, nPhases, oldFlags)) return false;
  if (!ReadPhases(file, s, nPhases, oldFlags)) return false;
  CheckLoadSteps(s, file.lines());
  return true;
}

bool ReadFile(LineReader& lines, LabTest& s) {
  TestFile file(lines);
  if (ReadBlocks(file, s)) return true;
  const std::string name = services::BareName(lines.fileName());
  if (file.badValue()) {
    std::string found = FirstNonNumber(file.line());
    if (found.empty()) found = services::Quoted(file.line());
    services::Notice(name + " line " + std::to_string(lines.lineNumber()) +
                     ": reading ended in " + file.stage + " at " + found +
                     ", which cannot be read; the test is left without a description");
  } else {
    services::Notice(name + ": reading ended in " + file.stage +
                     " at the end of the file after line " + std::to_string(lines.lineNumber()) +
                     "; the test is left without a description");
  }
  return false;
}

// StoreLabTest: the record takes the state, keeping its own file and curves.
void StoreLabTest(const LabTest& current, LabTest& record) {
  LabTest stored = current;
  stored.testFile = std::move(record.testFile);
  stored.listed = std::move(record.listed);
  stored.nCurves = record.nCurves;
  stored.curveFiles = std::move(record.curveFiles);
  stored.listedCurves = std::move(record.listedCurves);
  stored.curves = std::move(record.curves);
  record = std::move(stored);
}

}  // namespace

void ReadLabTestInput(LabTest& record, LabTest& current, const std::string& optimisationFile) {
  if (!services::FileExists(record.testFile)) {
    services::StopWithError(services::kNoInputVlcFile,
                            "lab-test file " + services::BareName(record.testFile) +
                                " not found in " + services::FolderOf(record.testFile) +
                                ListedAt(optimisationFile, record.listed, record.testFile));
  }
  current.material.referencePressure = 100000.0;
  bool complete = false;
  {
    InputFile file(record.testFile);
    complete = ReadFile(file.lines(), current);
  }
  if (complete) StoreLabTest(current, record);
}

}  // namespace soilcal::input
