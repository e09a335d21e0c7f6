// The workbench's API on the soft clay example: the job list and its
// states, writing jobs (refused with the reader's sentence and line), runs
// in child processes with their event stream, abort, the bound on
// concurrent runs, and what a finished run serves, equal to the command
// line's files.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <csignal>
#include <functional>
#include <set>
#include <vector>

#include "workbench_fixture.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

// The events of the job's run, read to the end of the stream; `onEvent` may
// act on each as it arrives.
std::vector<nlohmann::json> ReadEvents(httplib::Client& client, const std::string& job,
                                       const std::function<void(const nlohmann::json&)>& onEvent = {}) {
  std::vector<nlohmann::json> events;
  std::string pending;
  client.Get("/api/jobs/" + job + "/events", {{"Authorization", "Bearer " + kToken}},
             [&](const char* data, std::size_t size) {
               pending.append(data, size);
               std::size_t end;
               while ((end = pending.find("\n\n")) != std::string::npos) {
                 const std::string block = pending.substr(0, end);
                 pending.erase(0, end + 2);
                 if (block.rfind("data: ", 0) != 0) continue;
                 events.push_back(nlohmann::json::parse(block.substr(6)));
                 if (onEvent) onEvent(events.back());
               }
               return true;
             });
  return events;
}

TEST_F(WorkbenchTest, TheJobListNamesEveryJobButNotTheOutputsOrLinkedFolders) {
  fs::create_directories(served_ / "soft_clay" / "job.out");
  WriteFile(served_ / "soft_clay" / "job.out" / "OPTIM.TXT", "");
  fs::create_directories(served_ / "more" / "deep");
  WriteFile(served_ / "more" / "deep" / "clay.TOML", "");
  fs::create_directory_symlink(served_ / "soft_clay", served_ / "again");
  Start();
  const auto res = Client()->Get("/api/jobs", Bearer());
  ASSERT_EQ(res->status, 200);
  std::vector<std::string> names;
  const nlohmann::json listed = Json(res);
  for (const auto& job : listed["jobs"]) {
    names.push_back(job["job"]);
    EXPECT_EQ(job["state"], "never_run") << job.dump();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"more/deep/clay.TOML", "soft_clay/OPTIM.TXT",
                                             "soft_clay/job.toml"}))
      << res->body;
  const auto one = Client()->Get("/api/jobs/soft_clay/job.toml", Bearer());
  EXPECT_EQ(Json(one)["kind"], "toml");
  EXPECT_EQ(Json(one)["text"], ReadFile(served_ / "soft_clay" / "job.toml"));
  EXPECT_EQ(Client()->Get("/api/jobs/soft_clay/nothing.toml", Bearer())->status, 404);
  EXPECT_EQ(Client()->Get("/api/jobs/soft_clay/Q_EPS.TXT", Bearer())->status, 400);
  EXPECT_EQ(Client()->Get("/api/jobs/soft_clay/job.toml/summary", Bearer())->status, 404);
}

TEST_F(WorkbenchTest, AJobThatDoesNotReadIsRefusedWithTheReadersSentenceAndLine) {
  Start();
  auto client = Client();
  const std::string bad = "[model]\nname = \"modified_cam_clay\"\n[parameters]\nG = \"x\"\n";
  const auto refused = client->Put("/api/jobs/soft_clay/bad.toml", Bearer(), bad, "application/toml");
  ASSERT_EQ(refused->status, 422);
  const auto body = Json(refused);
  EXPECT_EQ(body["line"], 4);
  // The command line's sentence on the same text.
  WriteFile(temp_.path() / "bad.toml", bad);
  const auto cli = RunSoilcal("bad.toml", temp_.path());
  const std::string sentence = body["error"];
  const std::string cause = sentence.substr(sentence.find("line 4:"));
  EXPECT_NE(cli.err.find(cause), std::string::npos) << cli.err << "\n" << sentence;
  EXPECT_FALSE(fs::exists(served_ / "soft_clay" / "bad.toml"));

  // A job that reads is written as it was sent, and listed.
  std::string good = ReadFile(served_ / "soft_clay" / "job.toml");
  good.insert(0, "# written by the workbench\n");
  const auto saved = client->Put("/api/jobs/soft_clay/copy.toml", Bearer(), good, "application/toml");
  ASSERT_EQ(saved->status, 200) << saved->body;
  EXPECT_EQ(ReadFile(served_ / "soft_clay" / "copy.toml"), good);
  EXPECT_NE(client->Get("/api/jobs", Bearer())->body.find("soft_clay/copy.toml"), std::string::npos);
  // Only TOML jobs are written, never a native job or any other file.
  EXPECT_EQ(client->Put("/api/jobs/soft_clay/OPTIM.TXT", Bearer(), "x", "text/plain")->status, 400);
  EXPECT_EQ(client->Put("/api/jobs/soft_clay/Q_EPS.TXT", Bearer(), "x", "text/plain")->status, 400);
}

TEST_F(WorkbenchTest, ARunGivesTheCommandLinesFilesAndStreamsItsProgressToTheEnd) {
  Start();
  auto client = Client();
  const auto started = client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(),
                                    R"({"search": "default", "threads": 1})", "application/json");
  ASSERT_EQ(started->status, 202) << started->body;
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(), "", "")->status, 409);
  EXPECT_EQ(Json(client->Get("/api/jobs/soft_clay/job.toml", Bearer()))["state"], "running");

  const auto events = ReadEvents(*client, "soft_clay/job.toml");
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front()["type"], "start");
  EXPECT_EQ(events.back()["type"], "end");
  EXPECT_EQ(events.back()["exit_code"], 0);
  long lastEvaluations = -1;
  int iterations = 0;
  double lastObjective = 1e300;
  for (const auto& e : events) {
    if (e["type"] != "progress") continue;
    const auto& p = e["progress"];
    EXPECT_GE(p["evaluations"].get<long>(), lastEvaluations);  // never backwards
    lastEvaluations = p["evaluations"];
    if (p["phase"] == "iterations" && !p["best_objective"].is_null()) {
      ++iterations;
      // The best point's objective only improves (its mean relative error need not).
      EXPECT_LE(p["best_objective"].get<double>(), lastObjective) << e.dump();
      lastObjective = p["best_objective"];
      EXPECT_FALSE(p["best_error"].is_null());
    }
  }
  EXPECT_GE(iterations, 1);

  // The same job on the command line: the same calibrated curves, bit for bit.
  CopyExample("soft_clay", temp_.path() / "cli");
  ASSERT_EQ(RunSoilcal("job.toml", temp_.path() / "cli").exitStatus, 0);
  for (const char* curve : {"TRIAX1_1.TXT_calculated", "OEDO1_1.TXT_calculated"}) {
    EXPECT_EQ(ReadFile(served_ / "soft_clay" / "job.out" / curve),
              ReadFile(temp_.path() / "cli" / "job.out" / curve)) << curve;
  }
  const auto summary = Json(client->Get("/api/jobs/soft_clay/job.toml/summary", Bearer()));
  const auto cliSummary = nlohmann::json::parse(ReadFile(temp_.path() / "cli" / "job.out" /
                                                         "calibration_summary.json"));
  EXPECT_EQ(summary["best"], cliSummary["best"]);
  EXPECT_EQ(summary["parameters"][0]["best"], cliSummary["parameters"][0]["best"]);

  const auto status = Json(client->Get("/api/jobs/soft_clay/job.toml", Bearer()));
  EXPECT_EQ(status["state"], "calibrated");
  EXPECT_EQ(status["mean_relative_error"], summary["best"]["mean_relative_error"]);
  const auto report = client->Get("/api/jobs/soft_clay/job.toml/report", Bearer());
  EXPECT_EQ(report->status, 200);
  EXPECT_EQ(report->body, ReadFile(served_ / "soft_clay" / "job.out" / "calibration_report.html"));

  // Curves: per measured curve its points, and start and best curves.
  const auto curves = Json(client->Get("/api/jobs/soft_clay/job.toml/curves", Bearer()));
  ASSERT_EQ(curves["tests"].size(), summary["tests"].size());
  for (std::size_t t = 0; t < summary["tests"].size(); ++t) {
    const auto& listed = summary["tests"][t]["curves"];
    ASSERT_EQ(curves["tests"][t]["curves"].size(), listed.size());
    for (std::size_t c = 0; c < listed.size(); ++c) {
      const auto& curve = curves["tests"][t]["curves"][c];
      EXPECT_EQ(curve["measured"]["x"].size(), listed[c]["measured_points"].get<std::size_t>());
      EXPECT_EQ(curve["measured"]["x"].size(), curve["measured"]["y"].size());
      EXPECT_FALSE(curve["best"]["x"].empty());
      EXPECT_EQ(curve["best"]["x"].size(), curve["best"]["y"].size());
    }
  }
  // A second look at the events replays the finished run.
  EXPECT_EQ(ReadEvents(*client, "soft_clay/job.toml").size(), events.size());
}

TEST_F(WorkbenchTest, AbortEndsTheRunAsTheAbortFileDoesAndRunsAreBounded) {
  web::ServeOptions options;
  options.maxRuns = 1;
  Start(options);
  auto client = Client();
  ASSERT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(),
                         R"({"search": "thorough", "threads": 1})", "application/json")->status, 202);
  // One run at a time: the native twin waits.
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/OPTIM.TXT/run", Bearer(), "", "")->status, 503);
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(), "", "")->status, 409);

  bool aborted = false;
  auto other = Client();
  const auto events = ReadEvents(*client, "soft_clay/job.toml", [&](const nlohmann::json& e) {
    if (!aborted && e["type"] == "progress" && e["progress"]["phase"] != "reference_run") {
      aborted = other->Post("/api/jobs/soft_clay/job.toml/abort", Bearer(), "", "")->status == 202;
    }
  });
  ASSERT_TRUE(aborted);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["type"], "end");
  EXPECT_EQ(events.back()["exit_code"], 18);  // the abort code, as from the command line
  EXPECT_EQ(Json(client->Get("/api/jobs/soft_clay/job.toml", Bearer()))["state"], "aborted");
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/abort", Bearer(), "", "")->status, 409);
  // Bad run choices are refused before anything starts.
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/OPTIM.TXT/run", Bearer(), R"({"search": "fast"})",
                         "application/json")->status, 400);
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/OPTIM.TXT/run", Bearer(), R"({"threads": -1})",
                         "application/json")->status, 400);
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/OPTIM.TXT/run", Bearer(), "{not json",
                         "application/json")->status, 400);
}

// The raw answer to `request` sent as it is to the workbench on `port`.
std::string RawExchange(int port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return answer;
}

TEST_F(WorkbenchTest, WhatTheHttpLibraryRefusesItselfStillGetsASentence) {
  Start({});
  // A POST without Content-Length, as `curl -X POST` sends it.
  const std::string host = "127.0.0.1:" + std::to_string(bench_->port());
  const std::string answer = RawExchange(
      bench_->port(), "POST /api/jobs/soft_clay/job.toml/abort HTTP/1.1\r\nHost: " + host +
                          "\r\nAuthorization: Bearer " + kToken + "\r\nConnection: close\r\n\r\n");
  // Answered at once with the fix (411), not read until the read timeout
  // and refused then (400).
  ASSERT_EQ(answer.rfind("HTTP/1.1 411", 0), 0u) << answer;
  EXPECT_NE(answer.find("Content-Length: 0, or curl -d ''"), std::string::npos) << answer;
  EXPECT_NE(answer.find("application/json"), std::string::npos) << answer;
  // A path no route takes.
  const auto missing = Client()->Get("/api/nothing", Bearer());
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(Json(missing)["error"], "there is no GET /api/nothing in the workbench");
  // A route's own sentence is kept.
  const auto running = Client()->Post("/api/jobs/soft_clay/job.toml/abort", Bearer(), "", "");
  ASSERT_TRUE(running);
  EXPECT_EQ(running->status, 409);
  EXPECT_EQ(Json(running)["error"].get<std::string>().find("the request"), std::string::npos);
}

TEST_F(WorkbenchTest, ARunThatCannotStartOrCrashesEndsAndTheServerGoesOn) {
  web::ServeOptions options;
  options.program = (temp_.path() / "no-such-program").string();
  Start(options);
  auto client = Client();
  ASSERT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(), "", "")->status, 202);
  const auto events = ReadEvents(*client, "soft_clay/job.toml");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["type"], "end");
  EXPECT_EQ(events.back()["exit_code"], 127);
  EXPECT_EQ(client->Get("/api/jobs", Bearer())->status, 200);
  EXPECT_EQ(Json(client->Get("/api/jobs/soft_clay/job.toml", Bearer()))["state"], "never_run");
  // The job can be started again once its run ended.
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", Bearer(), "", "")->status, 202);
}

TEST_F(WorkbenchTest, InterruptingTheServerEndsItsRunsAsInterruptedRunsEnd) {
  BackgroundProcess serve(BuildPath("soilcal"), {"serve", served_.string(), "--port", "0"},
                          temp_.path());
  ASSERT_TRUE(serve.WaitFor("\n")) << serve.err();
  const std::string line = serve.out();
  const std::size_t at = line.find("http://127.0.0.1:");
  ASSERT_NE(at, std::string::npos) << line;
  const int port = std::stoi(line.substr(at + 17));
  const std::string token = line.substr(line.find("token=") + 6, 64);
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(120, 0);
  const httplib::Headers auth = {{"Authorization", "Bearer " + token}};
  ASSERT_EQ(client.Post("/api/jobs/soft_clay/job.toml/run", auth,
                        R"({"search": "thorough", "threads": 1})", "application/json")->status, 202);
  // Once the search has begun, Ctrl-C.
  client.Get("/api/jobs/soft_clay/job.toml/events", auth, [&](const char* data, std::size_t size) {
    return std::string(data, size).find("\"iterations\"") == std::string::npos;
  });
  serve.Signal(SIGINT);
  EXPECT_EQ(serve.Wait(), 0) << serve.err();
  const auto summary = nlohmann::json::parse(ReadFile(served_ / "soft_clay" / "job.out" /
                                                      "calibration_summary.json"));
  EXPECT_EQ(summary["exit_code"], 18);
  EXPECT_NE(ReadFile(served_ / "soft_clay" / "job.out" / "Optimization_result.txt").find("Exit Code"),
            std::string::npos);
}

TEST_F(WorkbenchTest, AJobOfSeveralModelsRunsAsTheirComparisonAndServesItsReport) {
  CopyExample("measured_sand", served_ / "sand");
  CopyJobFiles(SourcePath("examples/measured_sand/data"), served_ / "sand" / "data");
  Start();
  auto client = Client();
  ASSERT_EQ(client->Post("/api/jobs/sand/compare.toml/run", Bearer(), "", "")->status, 202);
  const auto events = ReadEvents(*client, "sand/compare.toml");
  ASSERT_FALSE(events.empty());
  ASSERT_EQ(events.back()["exit_code"], 0) << events.back().dump() << events[events.size() - 2].dump();
  const auto comparison = nlohmann::json::parse(ReadFile(served_ / "sand" / "compare.out" / "comparison.json"));
  // Progress of every model, each in one run of lines naming it, and its
  // curves drawn live under its name.
  std::vector<std::string> order;
  std::set<std::string> drawn;
  for (const auto& e : events) {
    if (e["type"] == "progress") {
      ASSERT_TRUE(e["progress"].contains("model")) << e.dump();
      const std::string model = e["progress"]["model"];
      if (order.empty() || order.back() != model) order.push_back(model);
    }
    if (e["type"] == "measured_curves") drawn.insert(e["measured_curves"]["model"].get<std::string>());
  }
  std::set<std::string> compared;
  for (const auto& m : comparison["models"]) compared.insert(m["name"].get<std::string>());
  EXPECT_EQ(order.size(), compared.size()) << "a model's progress is split or missing";
  EXPECT_EQ(std::set<std::string>(order.begin(), order.end()), compared);
  EXPECT_EQ(drawn, compared);
  const auto status = Json(client->Get("/api/jobs/sand/compare.toml", Bearer()));
  EXPECT_EQ(status["state"], "compared");
  EXPECT_EQ(status["best_model"], comparison["models"][0]["name"]);
  EXPECT_EQ(status["verdict"], comparison["verdict"]);
  EXPECT_EQ(client->Get("/api/jobs/sand/compare.toml/report", Bearer())->body,
            ReadFile(served_ / "sand" / "compare.out" / "comparison_report.html"));
}

TEST_F(WorkbenchTest, DeriveGivesTheStartValuesOfTheNewCommandAndAJobThatReads) {
  CopyExample("hardening_soil", served_ / "hs");
  Start();
  auto client = Client();
  const auto derived = client->Post("/api/derive", Bearer(),
                                    R"({"models": ["hardening_soil"], "files": ["hs/job.toml"],
                                        "job": "hs/derived.toml"})", "application/json");
  ASSERT_EQ(derived->status, 200) << derived->body;
  const auto body = Json(derived);
  ASSERT_EQ(body["derivations"].size(), 1u);
  EXPECT_EQ(body["derivations"][0]["model"], "hardening_soil");
  int free = 0;
  for (const auto& v : body["derivations"][0]["values"]) {
    if (!v["free"].get<bool>()) continue;
    ++free;
    EXPECT_LT(v["lower"].get<double>(), v["value"].get<double>()) << v.dump();
    EXPECT_GT(v["upper"].get<double>(), v["value"].get<double>()) << v.dump();
  }
  EXPECT_GE(free, 1);
  EXPECT_FALSE(fs::exists(served_ / "hs" / "derived.toml"));  // nothing written
  // The job it gives is one the workbench writes.
  EXPECT_EQ(client->Put("/api/jobs/hs/derived.toml", Bearer(), body["toml"].get<std::string>(),
                        "application/toml")->status, 200);

  EXPECT_EQ(client->Post("/api/derive", Bearer(), R"({"models": ["no_such_model"], "files": ["soft_clay/job.toml"]})",
                         "application/json")->status, 422);
  EXPECT_EQ(client->Post("/api/derive", Bearer(), R"({"models": ["modified_cam_clay"], "files": ["../secret.toml"]})",
                         "application/json")->status, 400);
  EXPECT_EQ(client->Post("/api/derive", Bearer(), R"({"models": [], "files": []})", "application/json")->status, 400);
  // A tidy table is read as a drained triaxial test; a file that is no lab
  // file is refused with the reader's sentence.
  {
    std::ofstream table(served_ / "tmd.csv");
    table << "axial_strain [%],q [kPa],eps_v [%],sigma_3' [kPa]\n"
             "0,0,0,100\n0.5,80,0.1,100\n1,120,0.15,100\n2,160,0.1,100\n";
  }
  const auto inspected = client->Get("/api/files/tmd.csv/inspect", Bearer());
  ASSERT_EQ(inspected->status, 200) << inspected->body;
  const nlohmann::json table = nlohmann::json::parse(inspected->body);
  EXPECT_EQ(table["format"], "table");
  EXPECT_EQ(table["test"]["kind"], "triaxial_compression");
  EXPECT_FALSE(table["test"]["undrained"].get<bool>());
  EXPECT_NEAR(table["test"]["columns"]["axial_strain"][3].get<double>(), 0.02, 1e-12);
  EXPECT_NEAR(table["test"]["columns"]["deviator_stress"][3].get<double>(), 160.0, 1e-9);
  EXPECT_EQ(client->Get("/api/files/tmd.csv/inspect?stage=x", Bearer())->status, 422);
  EXPECT_EQ(client->Get("/api/files/nothing.csv/inspect", Bearer())->status, 404);
  EXPECT_EQ(client->Get("/api/files/..%2fsecret.toml/inspect", Bearer())->status, 400);
}

}  // namespace
}  // namespace soilcal::testing
