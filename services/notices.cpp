#include "services/notices.hpp"

#include <mutex>

#include "services/console.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

void WriteLine(std::string_view prefix, std::string_view text) {
  std::string line;
  line.reserve(prefix.size() + text.size() + 1);
  line.append(prefix).append(text).push_back('\n');
  ConsoleWrite(ConsoleStream::kErr, line);
}

}  // namespace

void Notice(std::string_view text) { WriteLine("soilcal: ", text); }

void Warn(std::string_view text, std::string_view kind) {
  WriteLine("soilcal: warning: ", text);
  // A tool that warns on and on keeps only the first ones.
  constexpr std::size_t kKept = 1000;
  WarningLog& log = CurrentServices().warnings;
  std::lock_guard lock(log.mutex);
  if (log.entries.size() < kKept) log.entries.push_back({std::string(kind), std::string(text)});
}

std::vector<LoggedWarning> RunWarnings() {
  WarningLog& log = CurrentServices().warnings;
  std::lock_guard lock(log.mutex);
  return log.entries;
}

std::string Quoted(std::string_view text) {
  constexpr std::size_t kMax = 60;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    out.push_back(c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c));
  }
  if (text.size() > kMax) out += "...";
  out += "\"";
  return out;
}

}  // namespace soilcal::services
