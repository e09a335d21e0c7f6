// GET /api/jobs, GET /api/jobs/{job}, PUT /api/jobs/{job}, and what a
// finished run left: summary, report, curves.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "jobfile/toml_job.hpp"
#include "report/curve_axes_json.hpp"
#include "report/curve_reading.hpp"
#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/summary_json.hpp"
#include "run/messages.hpp"
#include "services/errors.hpp"
#include "services/output_file.hpp"
#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/job_fields.hpp"
#include "web/job_index.hpp"
#include "web/folder_paths.hpp"
#include "web/runs.hpp"

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

nlohmann::json Series(const report::CurveSeries& s) { return {{"x", s.x}, {"y", s.y}}; }

// Measured, start and best curves of every test, in the summary's order.
nlohmann::json CurvesJson(const report::Summary& summary, const report::JobCurves& curves) {
  nlohmann::json tests = nlohmann::json::array();
  for (std::size_t t = 0; t < summary.tests.size() && t < curves.size(); ++t) {
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t c = 0; c < curves[t].size() && c < summary.tests[t].curves.size(); ++c) {
      const report::CurveSummary& about = summary.tests[t].curves[c];
      // The report's axes: the page shows a curve as the report draws it.
      const report::CurveView v = report::ViewOfCurve(summary, summary.tests[t], about);
      list.push_back({{"name", report::CurveName(about)},
                      {"file", about.file},
                      {"columns", {about.column1, about.column2}},
                      {"axes", report::CurveAxesJson(v)},
                      {"measured", Series(curves[t][c].measured)},
                      {"start", Series(curves[t][c].start)},
                      {"best", Series(curves[t][c].best)}});
    }
    tests.push_back({{"file", summary.tests[t].file}, {"curves", list}});
  }
  return {{"tests", tests}};
}

// The CSV curves a run wrote into `outputs` (measured, start and
// calibrated, "TEST_QUANTITY_calculated.csv"), relative to the folder, for
// downloads; at most 500, in name order.
nlohmann::json CurveFiles(const fs::path& root, const fs::path& outputs) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::directory_iterator it(outputs, error), end; !error && it != end; it.increment(error)) {
    const std::string file = it->path().filename().string();
    const bool csv = it->path().extension() == ".csv";
    if (csv && it->is_regular_file(error) && !it->is_symlink(error)) found.push_back(file);
    if (found.size() >= 500) break;
  }
  std::sort(found.begin(), found.end());
  nlohmann::json list = nlohmann::json::array();
  for (const std::string& file : found) list.push_back(RelativeName(root, outputs / file));
  return list;
}

}  // namespace

void AddJobRoutes(httplib::Server& server, const ApiContext& context) {
  server.Get("/api/jobs", [context](const httplib::Request&, httplib::Response& res) {
    nlohmann::json list = nlohmann::json::array();
    for (const std::string& job : FindJobs(context.root)) {
      list.push_back(JobStatus(context.root, job, context.runs->Running(job)));
    }
    SendJson(res, 200, {{"jobs", list}});
  });

  server.Get(R"(/api/jobs/(.+)/(summary|report|curves))",
             [context](const httplib::Request& req, httplib::Response& res) {
    const auto job = JobPath(context.root, req.matches[1].str(), res);
    if (!job) return;
    const fs::path outputs = OutputsOf(*job);
    const std::string what = req.matches[2].str();
    if (what == "report") {
      // A job of several models has the comparison's report.
      auto html = ReadWhole(outputs / report::kReportFileName);
      if (!html) html = ReadWhole(outputs / "comparison_report.html");
      if (!html) return SendError(res, 404, "the job has no report yet: run it first");
      res.set_content(*html, "text/html; charset=utf-8");
      return;
    }
    if (what == "summary") {
      const auto json = ReadWhole(outputs / report::kSummaryFileName);
      if (!json) return SendError(res, 404, "the job has no summary yet: run it first");
      res.set_content(*json, "application/json");
      return;
    }
    std::string error;
    const auto summary = report::ReadSummaryJson((outputs / report::kSummaryFileName).string(), error);
    if (!summary) return SendError(res, 404, "the job has no curves yet: run it first");
    SendJson(res, 200, CurvesJson(*summary, report::ReadJobCurves(*summary, outputs.string())));
  });

  server.Get(R"(/api/jobs/(.+))", [context](const httplib::Request& req, httplib::Response& res) {
    const auto job = JobPath(context.root, req.matches[1].str(), res);
    if (!job) return;
    const std::string name = RelativeName(context.root, *job);
    nlohmann::json body = JobStatus(context.root, name, context.runs->Running(name));
    if (const auto text = ReadWhole(*job)) body["text"] = *text;
    body["curve_files"] = CurveFiles(context.root, OutputsOf(*job));
    SendJson(res, 200, body);
  });

  server.Put(R"(/api/jobs/(.+))", [context](const httplib::Request& req, httplib::Response& res) {
    const std::string asked = req.matches[1].str();
    if (!jobfile::IsTomlJob(asked)) {
      return SendError(res, 400, "only TOML jobs are written: name the job NAME.toml");
    }
    const auto job = JobPath(context.root, asked, res, false);
    if (!job) return;
    const std::string name = RelativeName(context.root, *job);
    if (context.runs->Running(name)) {
      return SendError(res, 409, "the job " + name + " is running: abort it or wait for its end");
    }
    std::error_code made;
    fs::create_directories(job->parent_path(), made);
    const nlohmann::json refusal = JobTextRefusal(req.body, job->string());
    if (!refusal.is_null()) return SendJson(res, 422, refusal);
    const services::WriteStatus written = services::WriteFileAtomically(job->string(), req.body);
    if (!written) return SendError(res, 500, "the job could not be written: " + written.cause);
    SendJson(res, 200, JobStatus(context.root, name, false));
  });
}

}  // namespace soilcal::web
