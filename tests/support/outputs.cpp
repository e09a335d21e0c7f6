#include "support/outputs.hpp"

#include <cmath>
#include <sstream>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {

namespace fs = std::filesystem;

LabTestOutput RunLabTestProgram(const fs::path& dir, const std::string& fileName,
                                const std::vector<std::string>& options) {
  std::vector<std::string> args{(dir / fileName).string()};
  args.insert(args.end(), options.begin(), options.end());
  const ProcessRun run = RunProcess(BuildPath("soilcal-labtest"), args, dir);
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

}  // namespace soilcal::testing
