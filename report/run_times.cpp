// The times of a whole run in words.
#include "report/html_report.hpp"
#include "report/summary.hpp"

namespace soilcal::report {

std::string TimesText(const RunTimes& times, bool cpu) {
  // Three digits down to the millisecond; a shorter part is no figure to read.
  const auto seconds = [](double s) { return s < 0.001 ? std::string("< 0.001 s") : ShortNumber(s, 3) + " s"; };
  std::string out = seconds(cpu ? times.cpu : times.wall);
  std::string parts;
  for (const TimePart& p : times.parts) {
    parts += (parts.empty() ? "" : ", ") + p.name + " " + seconds(cpu ? p.cpu : p.wall);
  }
  return parts.empty() ? out : out + " (" + parts + ")";
}

}  // namespace soilcal::report
