#include "services/notices.hpp"

#include "services/console.hpp"

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

void Warn(std::string_view text) { WriteLine("soilcal: warning: ", text); }

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
