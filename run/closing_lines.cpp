#include "run/closing_lines.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "report/html_report.hpp"
#include "run/result_file.hpp"
#include "services/console.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"

namespace soilcal::run {

namespace {

constexpr const char* kPrefix = "soilcal: ";

// Width of a text in terminal columns (UTF-8 code points).
std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Symbol(const report::ParameterSummary& p) {
  return p.display ? p.display->symbol : p.name;
}

// "  φ = 39.5°  (friction angle; phi = 0.6362 in the result file)"
std::string ValueLine(const report::ParameterSummary& p, const std::optional<int>& modelNumber,
                      std::size_t width) {
  const std::string symbol = Symbol(p);
  std::string line = "  " + symbol + std::string(width - Columns(symbol), ' ') + " = " +
                     report::ValueText(p, *p.best);
  std::string note = p.display ? p.display->words : "";
  if (p.display && p.display->sine) {
    // The result file keys a slot by its own name, also where a TOML job
    // named it slot_N.
    const std::string key = p.jobUnits && modelNumber ? ParamName(p.slot, *modelNumber % 100) : p.name;
    note += (note.empty() ? "" : "; ") + key + " = " + report::ShortNumber(*p.best) +
            " in the result file";
  }
  if (!note.empty()) line += "  (" + note + ")";
  return line;
}

std::string SearchLine(const report::Summary& s) {
  std::string line = s.modelName.empty() ? "" : s.modelName;
  if (s.modelNumber) line += (line.empty() ? "model " : " (model ") + std::to_string(*s.modelNumber) +
                             (s.modelName.empty() ? "" : ")");
  if (!s.searchMode.empty()) {
    line += (line.empty() ? "" : ", ") + s.searchMode + " search: " + std::to_string(s.iterations) +
            " iterations, " + std::to_string(s.evaluations) + " evaluations";
  }
  return line;
}

}  // namespace

std::string ClosingLines(const report::Summary& s, const std::string& reportPath) {
  std::string out;
  auto line = [&](const std::string& text) { out += kPrefix + text + "\n"; };
  const bool result = s.exitCode && (*s.exitCode == services::kSuccess || *s.exitCode == services::kUserAbort);
  if (result) {
    std::string head = report::OutcomeText(s);
    const std::size_t n = s.warnings.size();
    if (n > 0) head += "; " + std::to_string(n) + (n == 1 ? " warning" : " warnings") + " above";
    line(head);
    if (const std::string search = SearchLine(s); !search.empty()) line(search);
    std::size_t width = 0;
    for (const auto& p : s.parameters) {
      if (p.best) width = std::max(width, Columns(Symbol(p)));
    }
    for (const auto& p : s.parameters) {
      if (p.best) line(ValueLine(p, s.modelNumber, width));
    }
    if (s.best) {
      line("mean relative error: " +
           (s.start ? report::ShortNumber(s.start->meanError) + " % at the start values, "
                    : std::string("none at the start values, ")) +
           report::ShortNumber(s.best->meanError) + " % calibrated");
    }
  }
  if (s.runTimes) {
    line("time: " + report::TimesText(*s.runTimes, false) + "; CPU time " +
         report::ShortNumber(s.runTimes->cpu, 3) + " s");
  }
  if (!reportPath.empty()) {
    // Absolute, so that it can be opened from wherever the run was started.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(reportPath, ec).lexically_normal();
    line("report: " + (ec ? reportPath : full.string()));
  }
  return out;
}

void PrintClosingLines(const report::Summary& s, const std::string& reportPath) {
  // The input warnings were given when the job was read.
  for (std::size_t i = s.inputWarnings.size(); i < s.warnings.size(); ++i) {
    services::Warn(s.warnings[i].text, s.warnings[i].kind);
  }
  services::ConsoleWrite(services::ConsoleStream::kErr, ClosingLines(s, reportPath));
}

}  // namespace soilcal::run
