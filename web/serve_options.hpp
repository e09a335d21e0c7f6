// The command line of `soilcal serve [FOLDER] [--port N] [--open]
// [--listen ADDRESS] [--max-upload MB]`.
#pragma once

#include <cstddef>
#include <string>

namespace soilcal::web {

struct ServeOptions {
  std::string folder = ".";            // the jobs served; nothing outside it is reachable
  int port = 8765;
  bool open = false;                   // open the page in the desktop's browser
  std::string listen = "127.0.0.1";    // anything else: the token is the only protection
  std::size_t maxUploadBytes = 100u << 20;  // per uploaded file
  std::size_t maxBodyBytes = 0;        // 0: the upload limit plus room for the form
  int maxRuns = 0;                     // concurrent runs; 0: the cores
  std::string program;                 // the program a run starts; "": this one
  std::string token;                   // "": a new random one
  std::string error;                   // not empty: what is wrong with the command line
};

// True when argv[1] is "serve".
bool IsServeCommand(int argc, char** argv);

// Reads the arguments after "serve".
ServeOptions ParseServeOptions(int argc, char** argv);

}  // namespace soilcal::web
