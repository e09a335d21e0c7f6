#include "services/console.hpp"

#include <cstdio>

#include "services/run_services.hpp"

namespace soilcal::services {

void ConsoleWrite(ConsoleStream stream, std::string_view text) {
  if (ConsoleSink* sink = CurrentServices().console) {
    sink->Write(stream, text);
    return;
  }
  std::FILE* f = stream == ConsoleStream::kOut ? stdout : stderr;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fflush(f);
}

}  // namespace soilcal::services
