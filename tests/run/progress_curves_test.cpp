// --progress=curves: the progress lines of --progress=json, and the curves
// of each new best point simulated beside the search. The search must not
// notice: the result file (but its times), the calculated curves and
// standard output are those of a run without it.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("{", 0) == 0) out.push_back(nlohmann::json::parse(line));
  }
  return out;
}

std::string WithoutTimes(const std::string& result) {
  std::istringstream in(result);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.find("Time") == std::string::npos) out += line + "\n";
  }
  return out;
}

TEST(ProgressCurves, TheSearchAndItsFilesAreThoseOfARunWithoutThem) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path() / "json");
  CopyExample("sand_triaxial", dir.path() / "curves");
  const ProcessRun plain = RunProcess(BuildPath("soilcal"), {"--progress=json", "OPTIM.TXT"}, dir.path() / "json");
  const ProcessRun drawn = RunProcess(BuildPath("soilcal"), {"--progress=curves", "OPTIM.TXT"}, dir.path() / "curves");
  ASSERT_EQ(plain.exitStatus, 0) << plain.err;
  ASSERT_EQ(drawn.exitStatus, 0) << drawn.err;
  EXPECT_EQ(plain.out, drawn.out);
  const std::string result = ReadFile(dir.path() / "json" / "Optimization_result.txt");
  EXPECT_NE(result.find("Wall Time"), std::string::npos);  // the only lines left out
  EXPECT_EQ(WithoutTimes(result), WithoutTimes(ReadFile(dir.path() / "curves" / "Optimization_result.txt")));
  for (const char* curve : {"Q_EPS.TXT_calculated", "EV_EPS.TXT_calculated"}) {
    EXPECT_EQ(ReadFile(dir.path() / "json" / curve), ReadFile(dir.path() / "curves" / curve)) << curve;
  }

  // The same progress lines; the measured curves once, before any best curves.
  std::vector<nlohmann::json> progress, best;
  int measuredAt = -1, firstBestAt = -1, index = 0;
  nlohmann::json measured;
  for (const nlohmann::json& line : JsonLines(drawn.err)) {
    if (line.contains("progress")) progress.push_back(line);
    if (line.contains("measured_curves")) {
      EXPECT_EQ(measuredAt, -1) << "measured curves sent twice";
      measuredAt = index;
      measured = line["measured_curves"];
    }
    if (line.contains("best_curves")) {
      if (firstBestAt < 0) firstBestAt = index;
      best.push_back(line["best_curves"]);
    }
    ++index;
  }
  EXPECT_EQ(progress, JsonLines(plain.err));
  ASSERT_GE(measuredAt, 0);
  ASSERT_GT(firstBestAt, measuredAt);
  // One test, two curves: q and εv against ε1, the file's own points.
  ASSERT_EQ(measured["tests"].size(), 1u);
  ASSERT_EQ(measured["tests"][0]["curves"].size(), 2u);
  EXPECT_EQ(measured["tests"][0]["curves"][0]["name"], "Q_EPS.TXT");

  // Each best curve is sent once its objective fell, and the last is the
  // point the search ended with: its q curve is the calculated file's.
  double lastError = 1e300;
  int lastIteration = -1;
  for (const nlohmann::json& b : best) {
    EXPECT_GE(b["iteration"].get<int>(), lastIteration);
    lastIteration = b["iteration"];
    lastError = b["best_error"];
    ASSERT_EQ(b["tests"][0]["curves"].size(), 2u);
  }
  std::istringstream file(ReadFile(dir.path() / "curves" / "Q_EPS.TXT_calculated"));
  std::string header;
  std::getline(file, header);
  const nlohmann::json& q = best.back()["tests"][0]["curves"][0];
  std::size_t k = 0;
  for (double x, y; file >> x >> y; ++k) {
    ASSERT_LT(k, q["x"].size());
    EXPECT_NEAR(q["x"][k].get<double>(), x, 1e-9 * (1 + std::abs(x))) << k;
    EXPECT_NEAR(q["y"][k].get<double>(), y, 1e-9 * (1 + std::abs(y))) << k;
  }
  EXPECT_EQ(k, q["x"].size());
  // The error of the last best point is the result file's.
  const auto at = result.find("Relative Error = ");
  ASSERT_NE(at, std::string::npos);
  const double written = std::stod(result.substr(at + 17));
  EXPECT_NEAR(lastError, written, 1e-9 * written);
}

}  // namespace
}  // namespace soilcal::testing
