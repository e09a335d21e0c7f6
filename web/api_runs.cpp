// POST /api/jobs/{job}/run, GET /api/jobs/{job}/events (Server-Sent
// Events), POST /api/jobs/{job}/abort.
#include <fstream>
#include <memory>
#include <thread>

#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/folder_paths.hpp"
#include "web/job_index.hpp"
#include "web/runs.hpp"

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

constexpr auto kEventWait = std::chrono::milliseconds(500);

}  // namespace

void AddRunRoutes(httplib::Server& server, const ApiContext& context) {
  server.Post(R"(/api/jobs/(.+)/run)", [context](const httplib::Request& req,
                                                 httplib::Response& res) {
    const auto job = JobPath(context.root, req.matches[1].str(), res);
    if (!job) return;
    std::string search = "default";
    int threads = 0;
    if (!req.body.empty()) {
      const nlohmann::json body = nlohmann::json::parse(req.body, nullptr, false);
      if (body.is_discarded() || !body.is_object()) {
        return SendError(res, 400, "the body is no JSON object: send {\"search\": \"default\", \"threads\": 2}");
      }
      if (body.contains("search")) {
        if (!body["search"].is_string() || (body["search"] != "default" && body["search"] != "thorough")) {
          return SendError(res, 400, "\"search\" is \"default\" or \"thorough\"");
        }
        search = body["search"].get<std::string>();
      }
      if (body.contains("threads")) {
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        if (!body["threads"].is_number_integer() || body["threads"].get<long long>() < 0 ||
            body["threads"].get<long long>() > cores) {
          return SendError(res, 400, "\"threads\" is a whole number from 0 (all cores) to " +
                                         std::to_string(cores));
        }
        threads = body["threads"].get<int>();
      }
    }
    const std::string name = RelativeName(context.root, *job);
    switch (context.runs->Start(name, *job, search, threads)) {
      case StartResult::kStarted:
        return SendJson(res, 202, {{"job", name}, {"state", "running"}, {"search", search},
                                   {"threads", threads}});
      case StartResult::kAlreadyRunning:
        return SendError(res, 409, "the job " + name + " is running already: abort it or wait for its end");
      case StartResult::kTooManyRuns:
        return SendError(res, 503, "the workbench runs " + std::to_string(context.runs->maxRuns()) +
                                       " jobs at once already: wait for one to end");
      case StartResult::kCannotStart:
        return SendError(res, 500, "the run could not be started (no process or pipe left)");
    }
  });

  server.Post(R"(/api/jobs/(.+)/abort)", [context](const httplib::Request& req,
                                                   httplib::Response& res) {
    const auto job = JobPath(context.root, req.matches[1].str(), res);
    if (!job) return;
    const std::string name = RelativeName(context.root, *job);
    if (!context.runs->Running(name)) {
      return SendError(res, 409, "the job " + name + " is not running in this workbench");
    }
    // The run's own stop flag: the search ends at its next check with the
    // best point so far, as from the command line.
    std::ofstream flag(OutputsOf(*job) / "AbortCalc");
    if (!flag) return SendError(res, 500, "the abort flag could not be written into the job's folder");
    SendJson(res, 202, {{"job", name}, {"state", "aborting"}});
  });

  server.Get(R"(/api/jobs/(.+)/events)", [context](const httplib::Request& req,
                                                   httplib::Response& res) {
    const auto job = JobPath(context.root, req.matches[1].str(), res);
    if (!job) return;
    const std::string name = RelativeName(context.root, *job);
    std::vector<std::string> first;
    bool ended = false;
    if (!context.runs->EventsSince(name, 0, std::chrono::milliseconds(0), first, ended)) {
      // No run since the workbench started: what the folder tells, and the end.
      const nlohmann::json status = JobStatus(context.root, name, false);
      res.set_content("data: " + nlohmann::json{{"type", "idle"}, {"status", status}}.dump() + "\n\n",
                      "text/event-stream");
      return;
    }
    res.set_header("Cache-Control", "no-cache");
    auto next = std::make_shared<std::size_t>(0);
    res.set_chunked_content_provider(
        "text/event-stream", [context, name, next](std::size_t, httplib::DataSink& sink) {
          std::vector<std::string> events;
          bool done = false;
          if (context.stopping->load() ||
              !context.runs->EventsSince(name, *next, kEventWait, events, done)) {
            sink.done();
            return true;
          }
          std::string text;
          for (const std::string& e : events) text += "data: " + e + "\n\n";
          if (text.empty()) text = ": waiting\n\n";  // finds a closed connection
          *next += events.size();
          if (!sink.write(text.data(), text.size())) return false;
          if (done) sink.done();
          return true;
        });
  });
}

}  // namespace soilcal::web
