// Every refusal of the workbench's access rules, over HTTP: the token, the
// Host header (DNS rebinding), the Origin of other sites and of cookie
// changes, paths out of the folder in any spelling, uploads and body sizes.
#include <filesystem>
#include <fstream>
#include <vector>

#include "workbench_fixture.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(WorkbenchTest, WithoutTheTokenEveryRequestGets401AndNothingElse) {
  Start();
  auto client = Client();
  for (const char* path : {"/", "/app.js", "/api/jobs", "/api/jobs/soft_clay/job.toml",
                           "/api/files/soft_clay/job.toml"}) {
    const auto res = client->Get(path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401) << path;
    EXPECT_EQ(res->body.find("[model]"), std::string::npos) << path;
    EXPECT_EQ(res->body.find("soft_clay"), std::string::npos) << path;
  }
  // A wrong token, a token one character short, a cookie of another name.
  EXPECT_EQ(client->Get("/api/jobs", {{"Authorization", "Bearer " + kToken + "0"}})->status, 401);
  EXPECT_EQ(client->Get("/api/jobs", {{"Authorization", "Bearer " + kToken.substr(1)}})->status, 401);
  EXPECT_EQ(client->Get("/api/jobs", {{"Cookie", "token=" + kToken}})->status, 401);
  EXPECT_EQ(client->Get("/api/jobs?token=wrong")->status, 401);
  EXPECT_FALSE(client->Get("/?token=wrong")->has_header("Set-Cookie"));
  const auto put = client->Put("/api/jobs/soft_clay/new.toml", "[model]\n", "application/toml");
  EXPECT_EQ(put->status, 401);
  EXPECT_FALSE(fs::exists(served_ / "soft_clay" / "new.toml"));
}

TEST_F(WorkbenchTest, TheTokenInTheAddressBecomesAStrictHttpOnlyCookie) {
  Start();
  auto client = Client();
  const auto first = client->Get("/?token=" + kToken);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 303);  // the token leaves the address bar
  EXPECT_EQ(first->get_header_value("Location"), "/");
  const std::string cookie = first->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("soilcal_token=" + kToken), std::string::npos);
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);

  const httplib::Headers withCookie = {{"Cookie", "other=1; soilcal_token=" + kToken}};
  const auto page = client->Get("/", withCookie);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("data-test=\"job-list\""), std::string::npos);
  const auto plotLib = client->Get("/vendor/uPlot.iife.min.js", withCookie);
  EXPECT_EQ(plotLib->status, 200);
  EXPECT_NE(plotLib->body.find("uPlot"), std::string::npos);
  EXPECT_EQ(client->Get("/api/jobs", withCookie)->status, 200);
}

TEST_F(WorkbenchTest, AHostHeaderOfAnotherNameOrPortIsRefusedEvenWithTheToken) {
  Start();
  auto client = Client();
  const std::string port = std::to_string(bench_->port());
  for (const std::string& host : std::vector<std::string>{"attacker.example:" + port, "attacker.example", "127.0.0.1",
                                 "127.0.0.1:1", "localhost.attacker.example:" + port}) {
    httplib::Headers headers = Bearer();
    headers.emplace("Host", host);
    EXPECT_EQ(client->Get("/api/jobs", headers)->status, 403) << host;
  }
  for (const std::string& host : std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "[::1]:" + port}) {
    httplib::Headers headers = Bearer();
    headers.emplace("Host", host);
    EXPECT_EQ(client->Get("/api/jobs", headers)->status, 200) << host;
  }
}

TEST_F(WorkbenchTest, OriginsOfOtherSitesAndCookieChangesWithoutOriginAreRefused) {
  Start();
  auto client = Client();
  const std::string job = "[model]\nname = \"x\"\n";
  httplib::Headers foreign = Bearer();
  foreign.emplace("Origin", "http://attacker.example");
  EXPECT_EQ(client->Get("/api/jobs", foreign)->status, 403);
  httplib::Headers nullOrigin = Bearer();
  nullOrigin.emplace("Origin", "null");
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/run", nullOrigin, "", "")->status, 403);

  // The browser's cookie alone does not change anything ...
  const httplib::Headers cookie = {{"Cookie", "soilcal_token=" + kToken}};
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/abort", cookie, "", "")->status, 403);
  // ... from the workbench's own page it does (409: no run to abort).
  httplib::Headers own = cookie;
  own.emplace("Origin", Origin());
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/abort", own, "", "")->status, 409);
  // A script with the Authorization header needs no Origin.
  EXPECT_EQ(client->Post("/api/jobs/soft_clay/job.toml/abort", Bearer(), "", "")->status, 409);
}

TEST_F(WorkbenchTest, NoPathLeadsOutOfTheFolderWhateverItsSpelling) {
  fs::create_directory_symlink(temp_.path(), served_ / "link");
  fs::create_symlink(temp_.path() / "secret.toml", served_ / "soft_clay" / "secret.toml");
  Start();
  auto client = Client();
  for (const std::string& path : std::vector<std::string>{"../secret.toml", "soft_clay/../../secret.toml", "%2e%2e/secret.toml",
        "soft_clay%2f..%2f..%2fsecret.toml", "soft_clay%2F%2E%2E%2F%2E%2E%2Fsecret.toml",
        "%252e%252e%252fsecret.toml", "..%5csecret.toml", "link/secret.toml",
        "soft_clay/secret.toml", "%2f" + temp_.path().relative_path().generic_string() + "/secret.toml"}) {
    for (const std::string api : {"/api/jobs/", "/api/files/"}) {
      const auto res = client->Get(api + path, Bearer());
      ASSERT_TRUE(res) << path;
      EXPECT_TRUE(res->status == 400 || res->status == 404) << api << path << " " << res->status;
      EXPECT_EQ(res->body.find("outside the served folder"), std::string::npos) << api << path;
    }
    const auto put = client->Put("/api/jobs/" + path, Bearer(), "[model]\n", "application/toml");
    EXPECT_GE(put->status, 400) << path;
  }
  EXPECT_EQ(ReadFile(temp_.path() / "secret.toml"), "# outside the served folder\n");
  // Inside the folder the same routes answer.
  EXPECT_EQ(client->Get("/api/files/soft_clay/Q_EPS.TXT", Bearer())->status, 200);
}

TEST_F(WorkbenchTest, UploadsOfProgramsLibrariesAndOversizedFilesAreRefused) {
  web::ServeOptions options;
  options.maxUploadBytes = 1u << 20;
  Start(options);
  auto client = Client();
  const auto upload = [&](const std::string& name, const std::string& bytes) {
    return client->Post("/api/files", Bearer(),
                        httplib::MultipartFormDataItems{{"file", bytes, name, "application/octet-stream"}});
  };
  EXPECT_EQ(upload("curve.csv", std::string("\x7f" "ELF\x02\x01\x01", 7) + "rest")->status, 415);
  EXPECT_EQ(upload("curve.csv", "MZ\x90\x00 a Windows program")->status, 415);
  EXPECT_EQ(upload("curve.csv", std::string("\xcf\xfa\xed\xfe", 4) + "a Mach-O")->status, 415);
  EXPECT_EQ(upload("run.csv", "#!/bin/sh\nrm -rf /\n")->status, 415);
  EXPECT_EQ(upload("model.so", "strain,stress\n")->status, 415);
  EXPECT_EQ(upload("model.so.1", "strain,stress\n")->status, 415);
  EXPECT_EQ(upload("MODEL.DLL", "strain,stress\n")->status, 415);
  EXPECT_EQ(upload(".hidden.csv", "strain,stress\n")->status, 415);
  EXPECT_EQ(upload("big.csv", std::string((1u << 20) + 1, '1'))->status, 413);
  EXPECT_FALSE(fs::exists(served_ / "data" / "big.csv"));
  EXPECT_FALSE(fs::exists(served_ / "data" / "model.so"));

  // The whole body is bounded too: the upload limit and room for the form.
  const auto huge = client->Put("/api/jobs/soft_clay/x.toml", Bearer(),
                                std::string((2u << 20) + 1, '#'), "application/toml");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);
  // Refused by the HTTP library itself, it still says the limit and its option.
  EXPECT_EQ(Json(huge)["error"], "the request is larger than the 1 MB an upload may have "
                                 "(soilcal serve --max-upload MB)");

  const auto stored = upload("triax.csv", "strain,q\n0.01,20\n");
  ASSERT_EQ(stored->status, 201) << stored->body;
  EXPECT_EQ(Json(stored)["files"][0]["file"], "data/triax.csv");
  EXPECT_EQ(ReadFile(served_ / "data" / "triax.csv"), "strain,q\n0.01,20\n");
}

TEST_F(WorkbenchTest, ListeningElsewhereThanLoopbackWarnsThatTheTokenIsTheOnlyProtection) {
  const auto serve = RunProcess(BuildPath("soilcal"),
                                {"serve", served_.string(), "--listen", "256.0.0.1", "--port", "0"},
                                temp_.path());
  EXPECT_NE(serve.err.find("the access token is then the only protection"), std::string::npos)
      << serve.err;
  EXPECT_EQ(serve.exitStatus, 2);  // no such address to bind
}

}  // namespace
}  // namespace soilcal::testing
