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
  std::string title;
  std::string xLabel, yLabel;
  int width = 520;
  int height = 340;
  std::vector<PlotSeries> series;
};

// Tick values of a "nice" axis over [lo, hi] with about `target` ticks, steps
// of 1, 2 or 5 times a power of ten.
std::vector<double> NiceTicks(double lo, double hi, int target);

// A tick value as a short text: no trailing zeros, exponent only for very
// large or small magnitudes.
std::string TickText(double value, double step);

// Escapes &, <, >, " and ' for XML text and attributes.
std::string XmlEscape(std::string_view text);

// The plot as one <svg> element of class "plot".
std::string RenderPlot(const Plot& plot);

}  // namespace soilcal::report
