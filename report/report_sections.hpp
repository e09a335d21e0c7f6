// Sections of the calibration report, one file each; html_report.cpp puts
// them together.
#pragma once

#include <optional>
#include <string>

#include "report/quantity_display.hpp"
#include "report/summary.hpp"
#include "report/svg_plot.hpp"

namespace soilcal::report {

inline constexpr const char* kStartColour = "#8a8a8a";
inline constexpr const char* kBestColour = "#1f5fbf";
inline constexpr const char* kMeasuredColour = "#111111";

// The free parameters: symbol, words and unit, bounds, start and calibrated
// values as a person gives them (degrees, four significant digits), the
// result file's key, and the relative sensitivity.
std::string ParameterSection(const Summary& s);

// Per test: its header text, material and type, and one plot per measured
// curve drawn as engineers draw that test.
std::string CurveSection(const Summary& s, const JobCurves& curves);

// The points of a curve file's series in the view's axes and units, added to
// `style` (label, colour and marks).
PlotSeries ViewedSeries(const CurveSeries& points, const CurveView& v, PlotSeries style);
// The stress and time units axes are labelled in, from the job's units
// (none when the job's units are unknown).
QuantityUnits UnitsOf(const std::optional<JobUnits>& units);
// The axes curve `c` of test `t` is drawn with in the report (quantities,
// labels, scales, which column on x, log and reversed axes).
CurveView ViewOfCurve(const Summary& s, const TestSummary& t, const CurveSummary& c);

// A symbol with "_" subscripts and "^" superscripts ("s_u^A") as XHTML,
// and as the content of an SVG text element (shifted tspans).
std::string SymbolHtml(const std::string& symbol);
std::string SymbolSvg(const std::string& symbol);

// "12.3 %" or "–".
std::string PercentText(const std::optional<double>& v);

}  // namespace soilcal::report
