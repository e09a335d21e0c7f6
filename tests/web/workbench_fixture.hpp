// A workbench on a free port of 127.0.0.1 over a copy of the soft clay
// example (and a file outside its folder), with a client of its own.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/process.hpp"
#include "web/serve_options.hpp"
#include "web/workbench.hpp"

namespace soilcal::testing {

inline const std::string kToken = "0123456789abcdef0123456789abcdef";

class WorkbenchTest : public ::testing::Test {
 protected:
  // The served folder is root/jobs; root/secret.toml lies outside it.
  void SetUp() override {
    served_ = temp_.path() / "jobs";
    CopyExample("soft_clay", served_ / "soft_clay");
    WriteFile(temp_.path() / "secret.toml", "# outside the served folder\n");
  }
  void TearDown() override {
    if (bench_) bench_->Stop();
    if (serving_.joinable()) serving_.join();
  }

  void Start(web::ServeOptions options = {}) {
    options.folder = served_.string();
    options.port = 0;
    options.token = kToken;
    if (options.program.empty()) options.program = BuildPath("soilcal");
    bench_ = std::make_unique<web::Workbench>(options);
    ASSERT_TRUE(bench_->Bind());
    serving_ = std::thread([this] { bench_->Serve(); });
    for (int i = 0; i < 200; ++i) {
      if (Client()->Get("/api/jobs", Bearer())) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the workbench did not answer";
  }

  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", bench_->port());
    client->set_read_timeout(120, 0);
    return client;
  }
  static httplib::Headers Bearer() { return {{"Authorization", "Bearer " + kToken}}; }
  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(bench_->port()); }

  static nlohmann::json Json(const httplib::Result& res) {
    return nlohmann::json::parse(res ? res->body : std::string("null"), nullptr, false);
  }

  TempDir temp_;
  std::filesystem::path served_;
  std::unique_ptr<web::Workbench> bench_;
  std::thread serving_;
};

}  // namespace soilcal::testing
