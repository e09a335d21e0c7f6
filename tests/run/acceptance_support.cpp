#include "acceptance_support.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace soilcal::acceptance {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

ProcessRun RunProcess(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& workDir) {
  // Standard output and error go to files of a folder of their own, so the
  // job folder holds only what the program writes there.
  const testing::TempDir capture;
  const std::string outPath = (capture.path() / "stdout").string();
  const std::string errPath = (capture.path() / "stderr").string();
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::alarm(120);  // a hung program is killed by SIGALRM, which survives exec
    ::execv(program.c_str(), cargv.data());
    ::_exit(127);
  }
  ProcessRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

ProcessRun RunSoilcal(const std::optional<std::string>& argument, const fs::path& workDir) {
  std::vector<std::string> args;
  if (argument) args.push_back(*argument);
  return RunProcess(testing::BuildPath("soilcal"), args, workDir);
}

LabTestOutput RunLabTestProgram(const fs::path& dir, const std::string& fileName) {
  const ProcessRun run =
      RunProcess(testing::BuildPath("soilcal-labtest"), {(dir / fileName).string()}, dir);
  LabTestOutput output;
  output.exitStatus = run.exitStatus;
  output.err = run.err;
  std::istringstream lines(run.out);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (first) {
      output.headerLine = line;
      first = false;
      continue;
    }
    std::istringstream in(line);
    std::vector<double> v;
    double x = 0.0;
    while (in >> x) v.push_back(x);
    if (v.size() != 16 || !in.eof()) {
      ++output.badLines;
      continue;
    }
    RecordedPoint p;
    p.point = static_cast<int>(v[0]);
    p.phase = static_cast<int>(v[1]);
    p.time = v[2];
    for (std::size_t i = 0; i < 6; ++i) {
      p.eps[i] = v[3 + i];
      p.sig[i] = v[9 + i];
    }
    p.pw = v[15];
    output.points.push_back(p);
  }
  return output;
}

ResultFile ParseResultFile(const std::string& text) {
  ResultFile file;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != ' ') {
      file.badLines.push_back(line);
      continue;
    }
    const std::string body = line.substr(1);
    if (body.empty()) continue;
    if (body.front() == '[' && body.back() == ']') {
      file.sections.push_back({body.substr(1, body.size() - 2), {}});
      continue;
    }
    const auto eq = body.find(" = ");
    if (eq == std::string::npos || file.sections.empty()) {
      file.badLines.push_back(line);
      continue;
    }
    file.sections.back().keys.push_back({body.substr(0, eq), body.substr(eq + 3)});
  }
  return file;
}

const ResultSection* FindSection(const ResultFile& file, const std::string& name) {
  for (const ResultSection& s : file.sections) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

double KeyValue(const ResultFile& file, const std::string& section, const std::string& key) {
  const ResultSection* s = FindSection(file, section);
  if (s == nullptr) return std::nan("");
  for (const KeyLine& k : s->keys) {
    if (k.key == key) {
      try {
        return std::stod(k.value);
      } catch (const std::exception&) {
        return std::nan("");
      }
    }
  }
  return std::nan("");
}

std::string WithoutTimingLines(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::string kept;
  while (std::getline(lines, line)) {
    if (line.rfind(" Wall Time [ms] = ", 0) == 0 || line.rfind(" CPU Time = ", 0) == 0) continue;
    kept += line + "\n";
  }
  return kept;
}

SimulatedCurve ReadSimulatedCurve(const fs::path& file) {
  SimulatedCurve curve;
  std::istringstream lines(ReadFile(file));
  std::string line;
  if (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string rest;
    curve.headerOk = line.rfind(' ', 0) == 0 && static_cast<bool>(in >> curve.xCode >> curve.yCode) &&
                     !(in >> rest);
  }
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    double x = 0.0;
    double y = 0.0;
    std::string rest;
    if (line.rfind(' ', 0) == 0 && (in >> x >> y) && !(in >> rest)) {
      curve.points.emplace_back(x, y);
    } else {
      ++curve.badLines;
    }
  }
  return curve;
}

std::array<double, 201> MohrCoulombParams(const MohrCoulombSoil& soil) {
  std::array<double, 201> p{};
  p[1] = soil.G;
  p[2] = soil.nu;
  p[3] = soil.sinPhi;
  p[4] = soil.c;
  p[5] = soil.sinPsi;
  p[16] = soil.tension;
  p[20] = 0.5;  // initial porosity
  p[28] = soil.nuU;
  return p;
}

testing::LabTestPhase TriaxialPhase(double axialStrain, int steps) {
  testing::LabTestPhase phase;
  phase.loadSteps = steps;
  phase.timeIncrement = 1.0;
  phase.strain = {0.0, axialStrain, 0.0, 0.0, 0.0, 0.0};
  phase.flags = {1, 0, 1, 1, 1, 1};
  return phase;
}

testing::LabTestPhase OedometerPhase(double axialStrain, int steps) {
  testing::LabTestPhase phase = TriaxialPhase(axialStrain, steps);
  phase.flags = {0, 0, 0, 0, 0, 0};
  return phase;
}

testing::LabTestFileDesc LabTest(int baseModel, const std::array<double, 201>& params,
                                 double cell, std::vector<testing::LabTestPhase> phases) {
  testing::LabTestFileDesc testFile;
  testFile.version = 6;
  testFile.header = "acceptance test";
  testFile.baseModel = baseModel;
  testFile.params = params;
  testFile.testType = 1.0;
  testFile.initialStress = {-cell, -cell, -cell, 0.0, 0.0, 0.0};
  testFile.phases = std::move(phases);
  return testFile;
}

LabTestOutput RunTightly(const fs::path& dir, const testing::LabTestFileDesc& testFile) {
  testing::LabTestFileDesc tight = testFile;
  tight.tolerance = 1e-6;
  std::ofstream(dir / "MODEL.VLT", std::ios::binary) << testing::MakeLabTestFile(tight);
  return RunLabTestProgram(dir, "MODEL.VLT");
}

std::array<double, 201> HardeningSoilParams(double sinPhi, double c, double k0nc) {
  std::array<double, 201> p{};
  p[1] = 25000.0;
  p[2] = 0.2;
  p[3] = sinPhi;
  p[4] = c;
  p[20] = 0.5;  // porosity between nmin (0) and nmax: no dilatancy cut-off
  p[22] = 0.99;
  p[34] = 0.5;
  p[35] = 100.0;
  p[37] = 0.9;
  p[38] = 20000.0;
  p[39] = k0nc;
  p[40] = 20000.0;
  return p;
}

bool CapLibraryBuilt() {
  for (const char* name : {"libzarirude.so", "zarirude.dll", "zarirude.so"}) {
    if (fs::exists(testing::BuildPath(name))) return true;
  }
  return false;
}

}  // namespace soilcal::acceptance
