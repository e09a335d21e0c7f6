// The workbench's new-job endpoints on the laboratory's own files: a lab
// file's tests to pick, the derived table edited by hand and the job it
// makes, a refusal placed at its field, and the fit streamed during a run.
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "workbench_fixture.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

class NewJobTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    CopyJobFiles(SourcePath("examples/lab_files/lab"), served_ / "data");
    Start();
  }
  nlohmann::json Derive(const std::string& body, int status = 200) {
    const auto res = Client()->Post("/api/derive", Bearer(), body, "application/json");
    EXPECT_EQ(res->status, status) << res->body;
    return Json(res);
  }
};

// The line of `text` that starts with `start`, empty when none.
std::string LineStarting(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(start, 0) == 0) return line;
  }
  return "";
}

int LineNumberOf(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  int n = 1;
  for (std::string line; std::getline(in, line); ++n) {
    if (line.rfind(start, 0) == 0) return n;
  }
  return 0;
}

TEST_F(NewJobTest, ALabFileListsTheTestsToPickAndEachReadsAsItsTest) {
  auto client = Client();
  const auto gds = Json(client->Get("/api/files/data/CD100.gds/inspect", Bearer()));
  ASSERT_EQ(gds["selections"].size(), 2u) << gds.dump();
  EXPECT_EQ(gds["selections"][0]["stage"], 1);
  EXPECT_EQ(gds["selections"][1]["stage"], 2);
  EXPECT_FALSE(gds["selections"][0]["default"].get<bool>());
  EXPECT_TRUE(gds["selections"][1]["default"].get<bool>());  // the stage that shears
  const auto stage2 = Json(client->Get("/api/files/data/CD100.gds/inspect?stage=2", Bearer()));
  ASSERT_TRUE(stage2["test"].is_object());
  EXPECT_EQ(stage2["test"]["kind"], "triaxial_compression");
  EXPECT_EQ(stage2["test"]["columns"]["deviator_stress"].size(), 61u);
  // A stage that does not shear is no test: the reader's sentence says so.
  const auto stage1 = client->Get("/api/files/data/CD100.gds/inspect?stage=1", Bearer());
  EXPECT_EQ(stage1->status, 422);
  EXPECT_NE(Json(stage1)["error"].get<std::string>().find("nothing shears in stage 1"), std::string::npos);

  const auto ags = Json(client->Get("/api/files/data/site.ags/inspect", Bearer()));
  ASSERT_EQ(ags["selections"].size(), 1u);
  EXPECT_EQ(ags["selections"][0]["specimen"], "BH1:3.1:1");
  EXPECT_EQ(ags["selections"][0]["group"], "CONS");
  const auto oedometer = Json(client->Get(
      "/api/files/data/site.ags/inspect?specimen=BH1:3.1:1&group=CONS", Bearer()));
  ASSERT_TRUE(oedometer["test"].is_object()) << oedometer.dump();
  EXPECT_EQ(oedometer["test"]["kind"], "oedometer");
  EXPECT_EQ(oedometer["test"]["x"], "vertical_stress");
}

TEST_F(NewJobTest, TheDerivedTableTakesValuesSetByHandAndTheJobSaysSo) {
  const auto plain = Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds", "data/CD200.gds"],
                                "job": "mc.toml"})");
  // Symbols, units and degrees from the parameter table.
  std::map<std::string, nlohmann::json> values;
  for (const auto& v : plain["derivations"][0]["values"]) values[v["name"]] = v;
  ASSERT_TRUE(values.count("phi") && values.count("G") && values.count("psi"));
  EXPECT_EQ(values["phi"]["symbol"], "φ");
  EXPECT_TRUE(values["phi"]["degrees"].get<bool>());
  EXPECT_EQ(values["G"]["unit"], "kPa");
  EXPECT_FALSE(values["G"]["degrees"].get<bool>());
  ASSERT_TRUE(values["psi"]["free"].get<bool>());
  // The GDS pair was made at phi = 33, c = 2 (examples/lab_files/README.md).
  EXPECT_NEAR(values["phi"]["value"].get<double>(), 33.0, 0.2);

  const auto edited = Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds", "data/CD200.gds"],
      "job": "mc.toml",
      "edits": [{"name": "phi", "value": 31.25, "lower": 25.5, "upper": 40},
                {"name": "psi", "free": false},
                {"name": "nu", "free": true, "lower": 0.2, "upper": 0.4}],
      "choices": [{"file": "data/CD100.gds", "stage": 2}]})");
  const std::string toml = edited["toml"];
  // Written as typed, with the rule's value in the comment; the bounds too.
  EXPECT_EQ(LineStarting(toml, "phi = ").substr(0, 30), "phi = 31.25  # set by hand (th") << toml;
  EXPECT_NE(LineStarting(toml, "phi = ").find("the tests gave 33"), std::string::npos) << toml;
  const std::string freeTable = toml.substr(toml.find("[calibrate.free]"));
  EXPECT_EQ(LineStarting(freeTable, "phi = "), "phi = [25.5, 40]");
  EXPECT_EQ(LineStarting(freeTable, "nu = "), "nu = [0.2, 0.4]");
  EXPECT_EQ(LineStarting(freeTable, "psi = "), "");  // no longer free
  EXPECT_NE(LineStarting(toml, "psi = ").find("  # fixed, set by hand"), std::string::npos) << toml;
  // The stage picked is the test's.
  EXPECT_NE(toml.find("name = 'CD100_stage2'\nstage = 2"), std::string::npos) << toml;
  // And the job is one the workbench writes and the command line reads.
  EXPECT_EQ(Client()->Put("/api/jobs/mc.toml", Bearer(), toml, "application/toml")->status, 200);
  EXPECT_EQ(ReadFile(served_ / "mc.toml"), toml);

  // A model that derives K0nc starts its lab-file oedometers at rest; the
  // stages picked here are triaxial, and the job still derives and reads.
  const auto hs = Derive(R"({"models": ["mohr_coulomb", "hardening_soil"],
      "files": ["data/CD100.gds", "data/CD200.gds"], "job": "hs.toml",
      "choices": [{"file": "data/CD100.gds", "stage": 2}, {"file": "data/CD200.gds", "stage": 2}]})");
  ASSERT_EQ(hs["derivations"].size(), 2u) << hs.dump();
  EXPECT_EQ(hs["toml"].get<std::string>().find("k0 = "), std::string::npos);
}

TEST_F(NewJobTest, ARefusalNamesTheFieldItCameFrom) {
  const auto refused = Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"],
      "edits": [{"name": "nu", "value": 0.7}]})", 422);
  const std::string toml = refused["toml"];  // the text, to show the line in
  const int line = LineNumberOf(toml, "nu = 0.7");
  ASSERT_GT(line, 0) << toml;
  EXPECT_EQ(refused["line"], line);
  EXPECT_EQ(refused["field"], (nlohmann::json{{"table", "parameters"}, {"key", "nu"}}));
  EXPECT_NE(refused["error"].get<std::string>().find("line " + std::to_string(line) + ": nu = 0.7"),
            std::string::npos) << refused.dump();

  const auto reversed = Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"],
      "edits": [{"name": "phi", "lower": 40, "upper": 30}]})", 422);
  EXPECT_EQ(reversed["field"], (nlohmann::json{{"table", "calibrate.free"}, {"key", "phi"}}));

  // The same sentences and line when the text is saved.
  auto client = Client();
  const auto saved = client->Put("/api/jobs/nu.toml", Bearer(), toml, "application/toml");
  ASSERT_EQ(saved->status, 422);
  const auto body = Json(saved);
  EXPECT_EQ(body["error"].get<std::string>().substr(body["error"].get<std::string>().find("line")),
            refused["error"].get<std::string>().substr(refused["error"].get<std::string>().find("line")));
  EXPECT_EQ(body["field"], refused["field"]);
  EXPECT_FALSE(fs::exists(served_ / "nu.toml"));

  // Edits that do not read are refused before any derivation.
  Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"], "edits": [{"name": "phi", "value": "x"}]})", 400);
  Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"], "edits": {"phi": 30}})", 400);
  Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"], "choices": [{"file": "data/CD100.gds", "stage": 0}]})", 400);
  Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"], "choices": [{"file": "../secret.toml"}]})", 400);
  Derive(R"({"models": ["mohr_coulomb"], "files": ["data/CD100.gds"],
             "edits": [{"model": "mohr_coulomb", "name": "kappa", "value": 1}]})", 422);
}

// Numbers of two curves equal to `tolerance` (relative), nulls (the breaks
// between phases) at the same places.
void ExpectSameCurve(const nlohmann::json& a, const nlohmann::json& b, double tolerance) {
  for (const char* axis : {"x", "y"}) {
    ASSERT_EQ(a[axis].size(), b[axis].size()) << axis;
    for (std::size_t k = 0; k < a[axis].size(); ++k) {
      ASSERT_EQ(a[axis][k].is_null(), b[axis][k].is_null()) << axis << k;
      if (a[axis][k].is_null()) continue;
      const double u = a[axis][k], v = b[axis][k];
      EXPECT_NEAR(u, v, tolerance * (1.0 + std::abs(v))) << axis << k;
    }
  }
}

TEST_F(NewJobTest, ARunStreamsTheMeasuredCurvesThenEachNewBestAndEndsOnTheCalibratedOnes) {
  auto client = Client();
  ASSERT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(), R"({"threads": 1})",
                         "application/json")->status, 202);
  std::vector<nlohmann::json> events, best;
  nlohmann::json measured;
  std::string pending;
  client->Get("/api/jobs/soft_clay/job.toml/events", Bearer(), [&](const char* data, std::size_t size) {
    pending.append(data, size);
    for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
      const std::string block = pending.substr(0, end);
      pending.erase(0, end + 2);
      if (block.rfind("data: ", 0) != 0) continue;
      events.push_back(nlohmann::json::parse(block.substr(6)));
      const auto& e = events.back();
      if (e["type"] == "measured_curves") {
        EXPECT_TRUE(measured.is_null()) << "measured curves twice";
        EXPECT_TRUE(best.empty()) << "best curves before the measured ones";
        measured = e["measured_curves"];
      }
      if (e["type"] == "best_curves") best.push_back(e["best_curves"]);
      if (e["type"] == "progress" || e["type"] == "best_curves") EXPECT_GT(e["at_ms"].get<long long>(), 0);
    }
    return true;
  });
  ASSERT_EQ(events.back()["type"], "end");
  ASSERT_EQ(events.back()["exit_code"], 0);
  ASSERT_FALSE(best.empty());
  ASSERT_TRUE(measured.is_object());

  // The last best curves are the calibrated curves the finished run serves,
  // and the measured ones the same points.
  const auto curves = Json(client->Get("/api/jobs/soft_clay/job.toml/curves", Bearer()));
  ASSERT_EQ(curves["tests"].size(), measured["tests"].size());
  ASSERT_EQ(best.back()["tests"].size(), measured["tests"].size());
  for (std::size_t t = 0; t < curves["tests"].size(); ++t) {
    const auto& served = curves["tests"][t]["curves"];
    ASSERT_EQ(served.size(), measured["tests"][t]["curves"].size());
    for (std::size_t c = 0; c < served.size(); ++c) {
      ExpectSameCurve(measured["tests"][t]["curves"][c], served[c]["measured"], 1e-12);
      ExpectSameCurve(best.back()["tests"][t]["curves"][c], served[c]["best"], 1e-9);
      EXPECT_EQ(measured["tests"][t]["curves"][c]["name"], served[c]["name"]);
      // The live plots take the axes the finished curves are drawn with.
      EXPECT_EQ(measured["tests"][t]["curves"][c]["axes"], served[c]["axes"]);
    }
  }
  // Each curve comes with the report's axes: the oedometer as strain in %
  // (downwards) against log σ′v, the triaxial against ε1 in %.
  int oedometers = 0, triaxials = 0;
  for (const auto& test : curves["tests"]) {
    for (const auto& c : test["curves"]) {
      const auto& axes = c["axes"];
      const std::string file = c["file"];
      if (file.find("OED") != std::string::npos) {
        ++oedometers;
        EXPECT_TRUE(axes["log_x"].get<bool>()) << file;
        EXPECT_TRUE(axes["reverse_y"].get<bool>()) << file;
        EXPECT_NE(axes["x_label"].get<std::string>().find("σ′v"), std::string::npos) << axes;
        EXPECT_DOUBLE_EQ(axes["y_scale"].get<double>(), 100.0) << axes;
      } else if (axes["y_label"].get<std::string>().find("deviator") != std::string::npos) {
        ++triaxials;
        EXPECT_FALSE(axes["log_x"].get<bool>()) << file;
        EXPECT_NE(axes["x_label"].get<std::string>().find("[%]"), std::string::npos) << axes;
        EXPECT_DOUBLE_EQ(axes["x_scale"].get<double>(), 100.0) << axes;
      }
    }
  }
  EXPECT_EQ(oedometers, 1);
  EXPECT_EQ(triaxials, 1);
  const auto summary = Json(client->Get("/api/jobs/soft_clay/job.toml/summary", Bearer()));
  EXPECT_NEAR(best.back()["best_error"].get<double>(),
              summary["best"]["mean_relative_error"].get<double>(), 1e-9);

  // The run's CSV curves, for downloads.
  const auto status = Json(client->Get("/api/jobs/soft_clay/job.toml", Bearer()));
  int calculated = 0;
  for (const auto& f : status["curve_files"]) {
    const std::string file = f;
    EXPECT_EQ(file.rfind("soft_clay/job.out/", 0), 0u) << file;
    EXPECT_EQ(file.substr(file.size() - 4), ".csv");
    if (file.find("_calculated.csv") == std::string::npos) continue;
    ++calculated;
    EXPECT_EQ(client->Get("/api/files/" + file, Bearer())->body, ReadFile(served_ / file));
  }
  EXPECT_EQ(calculated, 3) << status["curve_files"].dump();  // one per measured curve

  // A page that comes later gets the latest best curves only.
  std::size_t superseded = 0, kept = 0;
  pending.clear();
  client->Get("/api/jobs/soft_clay/job.toml/events", Bearer(), [&](const char* data, std::size_t size) {
    pending.append(data, size);
    return true;
  });
  for (std::size_t at = 0; (at = pending.find("\"type\":\"superseded\"", at)) != std::string::npos; ++at) ++superseded;
  for (std::size_t at = 0; (at = pending.find("\"type\":\"best_curves\"", at)) != std::string::npos; ++at) ++kept;
  EXPECT_EQ(kept, 1u);
  EXPECT_EQ(superseded, best.size() - 1);
}

}  // namespace
}  // namespace soilcal::testing
