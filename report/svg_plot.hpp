// Line and scatter plots as inline SVG: axes with ticks and labels, a
// legend, nothing that needs a script or a network.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace soilcal::report {

// kMarkers: a marker per point up to kMarkerLimit points; a longer series
// (a logger's 1600 readings) is drawn as a thin line through every point
// with a marker on every MarkerStride-th point and on the last.
enum class SeriesStyle { kMarkers, kLine, kDashedLine };

inline constexpr std::size_t kMarkerLimit = 60;
inline constexpr std::size_t kThinnedMarkers = 40;  // about this many markers on a long series

// 1 up to kMarkerLimit points, else the stride that leaves at most
// kThinnedMarkers markers (plus the last point's).
std::size_t MarkerStride(std::size_t points);

struct PlotSeries {
  std::string label;
  std::vector<double> x, y;   // non-finite points are left out
  SeriesStyle style = SeriesStyle::kLine;
  std::string colour = "#000000";
  std::string cssClass;       // class of every mark, for styling and checks
};

struct Plot {
  std::string title;     // cut with "…" where it would run past the plot
  std::string subtitle;  // a smaller line under the title
  std::string xLabel, yLabel;
  bool logX = false;     // base-10 x axis: points with x <= 0 are left out
  bool reverseY = false; // y grows downwards
  int width = 520;
  int height = 340;
  std::vector<PlotSeries> series;
};

// Tick values of a "nice" axis over [lo, hi] with about `target` ticks, steps
// of 1, 2 or 5 times a power of ten.
std::vector<double> NiceTicks(double lo, double hi, int target);

// Ticks of a base-10 axis over [lo, hi] (0 < lo <= hi): decades over three
// decades and more, 1, 2 and 5 times the powers of ten over one, else 1 to 9
// times; the first and last tick enclose the range.
std::vector<double> LogTicks(double lo, double hi);

// A tick value as a short text: no trailing zeros, exponent only for very
// large or small magnitudes.
std::string TickText(double value, double step);

// Escapes &, <, >, " and ' for XML text and attributes.
std::string XmlEscape(std::string_view text);

// The plot as one <svg> element of class "plot".
std::string RenderPlot(const Plot& plot);

}  // namespace soilcal::report
