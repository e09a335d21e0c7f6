// One-line notices for the user on standard error: "soilcal: <text>" and
// "soilcal: warning: <text>". They never change a run; the host reads the
// result file and standard output only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace soilcal::services {

// "soilcal: <text>"
void Notice(std::string_view text);
// "soilcal: warning: <text>", kept in the run's warning log under `kind`.
void Warn(std::string_view text, std::string_view kind = "input");

struct LoggedWarning {
  std::string kind, text;
};
// The warnings this run has given so far, in order.
std::vector<LoggedWarning> RunWarnings();
// `text` in double quotes, shortened to 60 bytes and with control bytes
// shown as '?', for quoting what a file holds.
std::string Quoted(std::string_view text);

}  // namespace soilcal::services
