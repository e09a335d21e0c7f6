// The workbench's HTTP server: the page, the JSON API over the jobs of one
// folder, and the runs, with every request checked for the token, its Host
// and its Origin (web/access.hpp) before anything else.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "web/serve_options.hpp"

namespace httplib {
class Server;
}

namespace soilcal::web {

class RunManager;

class Workbench {
 public:
  // `options.folder` must exist; `options.program` "" runs this program.
  explicit Workbench(ServeOptions options);
  ~Workbench();
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Binds the address and port (port 0: any free one); false when taken.
  bool Bind();
  // Serves until Stop(); call after Bind().
  void Serve();
  // Interrupts the runs (each ends as an interrupted run does), waits for
  // them and stops the server.
  void Stop();

  int port() const { return port_; }
  const std::string& token() const { return options_.token; }
  const std::filesystem::path& root() const { return root_; }
  // The address to open, with the token.
  std::string Address() const;

 private:
  void Route();

  ServeOptions options_;
  std::filesystem::path root_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};  // event streams end when set
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<RunManager> runs_;
};

}  // namespace soilcal::web
