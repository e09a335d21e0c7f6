// The JSON API of the workbench (docs/workbench.md lists it).
#pragma once

#include <atomic>
#include <filesystem>

#include "web/serve_options.hpp"

namespace httplib {
class Server;
}

namespace soilcal::web {

class RunManager;

struct ApiContext {
  std::filesystem::path root;  // canonical
  const ServeOptions* options = nullptr;
  RunManager* runs = nullptr;
  const std::atomic<bool>* stopping = nullptr;  // event streams end when set
};

void AddJobRoutes(httplib::Server& server, const ApiContext& context);
void AddRunRoutes(httplib::Server& server, const ApiContext& context);
void AddFileRoutes(httplib::Server& server, const ApiContext& context);
void AddDeriveRoute(httplib::Server& server, const ApiContext& context);

}  // namespace soilcal::web
