// Line and scatter plots as inline SVG: axes with ticks and labels, a
// legend, nothing that needs a script or a network.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace soilcal::report {

enum class SeriesStyle { kMarkers, kLine, kDashedLine };

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
