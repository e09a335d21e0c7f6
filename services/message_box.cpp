// Message boxes of a console program: one line "soilcal: caption: text" on
// standard error, so that every line there begins with the program's name.
// A two-line message (CR LF between its lines) is joined with " / ".
#include <string>

#include "services/clock.hpp"
#include "services/console.hpp"
#include "services/paths.hpp"

namespace soilcal::services {
namespace {

std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) ++i;
      out += " / ";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void ShowMessageBox(const std::string& caption, const std::string& text) {
  const std::string line =
      "soilcal: " + TrimRight(caption) + ": " + OneLine(TrimRight(text)) + "\n";
  ConsoleWrite(ConsoleStream::kErr, line);
}

void OK_MessageBox(const std::string& text, int variant) {
  ShowMessageBox(variant == 1 ? "TrkW3DF" : "TrkW3D", text);
}

}  // namespace soilcal::services
