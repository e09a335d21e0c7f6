// The calibration report: one self-contained XHTML page with inline SVG, no
// script and nothing fetched from elsewhere.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace soilcal::report {

inline constexpr const char* kReportFileName = "calibration_report.html";

std::string RenderCalibrationReport(const Summary& summary, const JobCurves& curves);
// The page's body alone, and the style sheet of every page: a notebook
// shows the report as a block of its own page from these two.
std::string CalibrationReportBody(const Summary& summary, const JobCurves& curves);
std::string ReportStyleSheet();

// Page frame shared by the reports: head with the style sheet, then `body`.
std::string HtmlPage(const std::string& title, const std::string& body);

// A number as the result file writes it (shortest text that reads back).
std::string ExactNumber(double value);
// A number with `digits` significant digits for tables and messages, in
// fixed notation without trailing zeros ("25650", "0.6362"); an exponent
// only below 1e-4 and from 1e9 on.
std::string ShortNumber(double value, int digits = 4);

// Replaces the file at `path` by `text` whole (a temporary file renamed into
// place); false when it cannot.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace soilcal::report
