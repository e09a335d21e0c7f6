#include "job_files.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>

namespace soilcal::testing {

LabTestDesc::LabTestDesc() {
  params[1] = 24000.0;  // Gref
  params[2] = 0.25;     // nu
  params[3] = 0.6157;   // sin(38 deg)
  params[4] = 1.0;      // Cref
  params[5] = 0.1392;   // sin(8 deg)
  params[20] = 0.35;    // ninit
}

std::string LabTestFileText(const LabTestDesc& desc) {
  std::ostringstream f;
  f.precision(17);
  f << "Test written by the run tests\n6\n\nkN\nm\nday\n\n10\n\n\n";
  f << "Material\n" << desc.baseModel << "\nTest sand\n";
  for (int i = 3; i <= 9; ++i) f << "\n";
  for (int i = 1; i <= 200; ++i) f << desc.params[static_cast<std::size_t>(i)] << "\n";
  f << "Test\n" << desc.testType << "\n0\n0.01\n1\n200\n0\n0\n0\n";
  f << "-100 -100 -100 0 0 0\n" << desc.nPhases << "\n";
  for (int p = 0; p < desc.nPhases; ++p) {
    f << desc.steps << "\n1\n0 " << -0.05 / desc.nPhases << " 0 0 0 0\n0 0 0 0 0 0\n1 0 1 1 1 1\n";
  }
  return f.str();
}

std::string CurveFileText(const CurveDesc& desc) {
  std::ostringstream f;
  f.precision(17);
  f << desc.xCode << " " << desc.yCode << "\n" << desc.nSegments << "\n0\n";
  // All points in the first segment, the others empty.
  for (int s = 0; s < desc.nSegments; ++s) f << (s == 0 ? desc.points.size() : 0) << "\n";
  for (const auto& [x, y] : desc.points) f << x << " " << y << "\n";
  return f.str();
}

std::string OptimisationFileText(const OptimisationDesc& desc) {
  std::ostringstream f;
  f.precision(17);
  f << desc.index.size() << "\n" << desc.intensity << "\n" << desc.tolerance << "\n";
  for (int index : desc.index) f << index << "\n";
  for (const auto& [lower, upper] : desc.bounds) f << lower << " " << upper << "\n";
  f << desc.tests.size() << "\n";
  for (const auto& [test, curves] : desc.tests) {
    f << test << " " << curves.size() << "\n";
    for (const std::string& curve : curves) f << curve << "\n";
  }
  return f.str();
}

CurveDesc DeviatorCurve() {
  // Failure deviator q_f = sigma_r (N - 1) + 2 c sqrt(N), N = (1 + s)/(1 - s),
  // reached at the axial strain q_f / E; constant after it.
  const double s = std::sin(38.0 * std::acos(-1.0) / 180.0);
  const double n = (1.0 + s) / (1.0 - s);
  const double qf = 100.0 * (n - 1.0) + 2.0 * std::sqrt(n);
  const double e = 60000.0;
  CurveDesc curve;
  for (double ea : {0.0, 0.002, 0.004, 0.01, 0.02, 0.03, 0.04, 0.05}) {
    curve.points.emplace_back(ea, std::min(e * ea, qf));
  }
  return curve;
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::optional<std::string>& argument,
                      const std::string& folder) {
  const std::string outPath = folder + "/.stdout";
  const std::string errPath = folder + "/.stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    if (argument) argv.push_back(const_cast<char*>(argument->c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProgramRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  run.out = ReadAll(outPath);
  run.err = ReadAll(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

}  // namespace soilcal::testing
