#include "web/workbench.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <httplib.h>

#include "web/access.hpp"
#include "web/api_routes.hpp"
#include "web/api_support.hpp"
#include "web/page_assets.hpp"
#include "web/runs.hpp"

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

// Enough workers for the event streams of many pages and the requests beside them.
constexpr int kWorkers = 48;

std::string ThisProgram() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("soilcal") : self.string();
}

AccessRequest FactsOf(const httplib::Request& req) {
  AccessRequest facts;
  facts.method = req.method;
  facts.host = req.get_header_value("Host");
  facts.hasOrigin = req.has_header("Origin");
  facts.origin = req.get_header_value("Origin");
  facts.cookie = req.get_header_value("Cookie");
  facts.authorization = req.get_header_value("Authorization");
  facts.queryToken = req.get_param_value("token");
  return facts;
}

}  // namespace

Workbench::Workbench(ServeOptions options) : options_(std::move(options)) {
  std::error_code error;
  root_ = fs::canonical(options_.folder, error);
  if (error) root_ = fs::absolute(options_.folder);
  if (options_.token.empty()) options_.token = NewToken();
  if (options_.program.empty()) options_.program = ThisProgram();
  if (options_.maxBodyBytes == 0) options_.maxBodyBytes = options_.maxUploadBytes + (1u << 20);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  runs_ = std::make_unique<RunManager>(options_.program, options_.maxRuns > 0 ? options_.maxRuns : cores);
  server_ = std::make_unique<httplib::Server>();
  Route();
}

Workbench::~Workbench() { Stop(); }

void Workbench::Route() {
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server.set_payload_max_length(options_.maxBodyBytes);
  server.set_read_timeout(10, 0);
  server.set_write_timeout(10, 0);
  server.set_keep_alive_timeout(5);

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    AccessPolicy policy{options_.token, port_, options_.listen};
    const AccessVerdict verdict = CheckAccess(FactsOf(req), policy);
    if (verdict.status != 0) {
      SendError(res, verdict.status, verdict.reason);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (verdict.setCookie) {
      res.set_header("Set-Cookie", TokenCookie(options_.token));
      // The token leaves the address bar (and the history) at once.
      if (req.method == "GET" && req.path == "/") {
        res.set_redirect("/", 303);
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    // A body of no stated length would be read until the client closes the
    // connection or the read times out (`curl -X POST` sends none): the
    // request is answered at once instead.
    const bool body = req.method == "POST" || req.method == "PUT" || req.method == "PATCH" ||
                      req.method == "DELETE";
    if (body && !req.has_header("Content-Length") &&
        req.get_header_value("Transfer-Encoding").find("chunked") == std::string::npos) {
      SendError(res, 411,
                "a " + req.method + " needs a body of stated length; send an empty one "
                "(Content-Length: 0, or curl -d '') when there is no data");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // An error the HTTP library answers itself (a request it could not read,
  // a path no route takes) gets a sentence too, as every route's error does.
  const std::size_t uploadMb = options_.maxUploadBytes >> 20;
  const httplib::Server::HandlerWithResponse onError = [uploadMb](const httplib::Request& req,
                                                                  httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string sentence;
    if (res.status == 400) {
      sentence = "the request could not be read as HTTP";
    } else if (res.status == 413) {
      sentence = "the request is larger than the " + std::to_string(uploadMb) +
                 " MB an upload may have (soilcal serve --max-upload MB)";
    } else if (res.status == 404) {
      sentence = "there is no " + req.method + " " + req.path + " in the workbench";
    } else {
      sentence = "the request was refused (HTTP " + std::to_string(res.status) + ")";
    }
    SendError(res, res.status, sentence);
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(onError);

  for (const PageAsset& asset : PageAssets()) {
    server.Get(std::string(asset.path), [asset](const httplib::Request&, httplib::Response& res) {
      res.set_header("Content-Security-Policy",
                     "default-src 'self'; style-src 'self' 'unsafe-inline'; frame-src 'self'");
      res.set_content(std::string(asset.bytes), std::string(asset.type));
    });
  }

  const ApiContext context{root_, &options_, runs_.get(), &stopping_};
  AddRunRoutes(server, context);
  AddJobRoutes(server, context);
  AddFileRoutes(server, context);
  AddDeriveRoute(server, context);
}

bool Workbench::Bind() {
  stopping_.store(false);
  if (options_.port == 0) {
    port_ = server_->bind_to_any_port(options_.listen);
    return port_ > 0;
  }
  port_ = options_.port;
  return server_->bind_to_port(options_.listen, options_.port);
}

void Workbench::Serve() { server_->listen_after_bind(); }

void Workbench::Stop() {
  stopping_.store(true);
  if (runs_) runs_->StopAll();
  if (server_) server_->stop();
}

std::string Workbench::Address() const {
  const std::string host = options_.listen.find(':') != std::string::npos ? "[" + options_.listen + "]"
                                                                          : options_.listen;
  return "http://" + host + ":" + std::to_string(port_) + "/?token=" + options_.token;
}

}  // namespace soilcal::web
