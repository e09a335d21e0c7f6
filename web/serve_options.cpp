#include "web/serve_options.hpp"

#include <charconv>
#include <string_view>

namespace soilcal::web {
namespace {

bool ReadNumber(std::string_view text, long long low, long long high, long long& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

}  // namespace

bool IsServeCommand(int argc, char** argv) {
  return argc >= 2 && argv[1] != nullptr && std::string_view(argv[1]) == "serve";
}

ServeOptions ParseServeOptions(int argc, char** argv) {
  ServeOptions options;
  bool folderGiven = false;
  for (int i = 2; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc && argv[i + 1] != nullptr;
    long long value = 0;
    if (arg == "--open") {
      options.open = true;
    } else if (arg == "--port" || arg == "--max-upload" || arg == "--listen") {
      if (!hasValue) {
        options.error = std::string(arg) + " needs a value (see soilcal serve --help)";
        return options;
      }
      const std::string_view text = argv[++i];
      if (arg == "--listen") {
        options.listen = std::string(text);
      } else if (arg == "--port") {
        if (!ReadNumber(text, 0, 65535, value)) {
          options.error = "--port " + std::string(text) + " is no port: give a number from 1 to 65535 (0: any free port)";
          return options;
        }
        options.port = static_cast<int>(value);
      } else {
        if (!ReadNumber(text, 1, 100000, value)) {
          options.error = "--max-upload " + std::string(text) +
                          " is no size: give the megabytes an upload may have, from 1 to 100000";
          return options;
        }
        options.maxUploadBytes = static_cast<std::size_t>(value) << 20;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      options.error = "unknown option " + std::string(arg) +
                      " (soilcal serve [FOLDER] [--port N] [--open] [--listen ADDRESS] [--max-upload MB])";
      return options;
    } else if (!folderGiven) {
      options.folder = std::string(arg);
      folderGiven = true;
    } else {
      options.error = "soilcal serve takes one folder; " + std::string(arg) + " is a second one";
      return options;
    }
  }
  return options;
}

}  // namespace soilcal::web
