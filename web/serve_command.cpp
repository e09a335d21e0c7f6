#include "web/serve_command.hpp"

#include <pthread.h>
#include <signal.h>
#include <spawn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "web/access.hpp"
#include "web/serve_options.hpp"
#include "web/workbench.hpp"

extern char** environ;

namespace soilcal::web {
namespace {

constexpr const char* kUsage =
    "usage: soilcal serve [FOLDER] [--port N] [--open] [--listen ADDRESS] [--max-upload MB]\n"
    "\n"
    "Serves a workbench for the jobs of FOLDER (default: the current folder) at\n"
    "http://127.0.0.1:8765/ and prints its address with the access token. Runs\n"
    "until Ctrl-C, which interrupts the running jobs (each ends as an interrupted\n"
    "run, its files complete) before the program ends.\n"
    "\n"
    "  --port N          the port (default 8765)\n"
    "  --open            opens the page in the desktop's browser\n"
    "  --listen ADDRESS  serves another address than 127.0.0.1; the token is then\n"
    "                    the only protection\n"
    "  --max-upload MB   the largest lab file an upload may have (default 100)\n";

void OpenInBrowser(const std::string& address) {
  pid_t pid = 0;
  std::string program = "xdg-open";
  std::string arg = address;
  char* argv[] = {program.data(), arg.data(), nullptr};
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "soilcal serve: no browser could be opened; open the address above\n");
  }
}

}  // namespace

int RunServeCommand(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  const ServeOptions options = ParseServeOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "soilcal serve: %s\n", options.error.c_str());
    return 2;
  }
  std::error_code error;
  if (!std::filesystem::is_directory(options.folder, error)) {
    std::fprintf(stderr, "soilcal serve: %s is no folder: name the folder of the jobs to serve\n",
                 options.folder.c_str());
    return 2;
  }
  if (!IsLoopback(options.listen)) {
    std::fprintf(stderr,
                 "soilcal serve: warning: listening on %s, not on this computer alone; the access "
                 "token is then the only protection (and it travels unencrypted)\n",
                 options.listen.c_str());
  }
  // Ctrl-C and SIGTERM are taken by one thread, which stops the runs and the
  // server; the other threads (and the runs, which unblock them) never see them.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Workbench workbench(options);
  if (!workbench.Bind()) {
    std::fprintf(stderr, "soilcal serve: %s port %d is taken: choose another with --port N\n",
                 options.listen.c_str(), options.port);
    return 2;
  }
  std::printf("soilcal serve: the workbench of %s at %s\n", workbench.root().c_str(),
              workbench.Address().c_str());
  std::fflush(stdout);
  if (options.open) OpenInBrowser(workbench.Address());

  std::thread stopper([&workbench, stops] {
    int signo = 0;
    sigwait(&stops, &signo);
    workbench.Stop();
  });
  workbench.Serve();
  workbench.Stop();
  pthread_kill(stopper.native_handle(), SIGTERM);  // ends its wait if no signal came
  stopper.join();
  std::fprintf(stderr, "soilcal serve: stopped\n");
  return 0;
}

}  // namespace soilcal::web
