// SVG plots: the data box is widened to nice tick values, every series is
// drawn in data order, the legend sits above the plot area so that it never
// hides a point.
#include "report/svg_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace soilcal::report {

namespace {

constexpr double kLeft = 72.0, kRight = 16.0, kBottom = 48.0;
constexpr double kTitleX = 8.0;
constexpr double kLegendRow = 16.0;         // height of a further row of legend keys
constexpr double kTitleCharWidth = 7.4;     // 13 px bold sans-serif, a generous mean
constexpr double kSubtitleCharWidth = 6.0;  // 11 px

// `text` cut to `max` characters (UTF-8 code points) with "…" at the end.
std::string Fit(const std::string& text, std::size_t max) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++chars == max) {
      // Room for the ellipsis: cut before this character when more follow.
      std::size_t end = i + 1;
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      if (end == text.size()) return text;
      return text.substr(0, i) + "…";
    }
  }
  return text;
}

std::string Fixed(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", v);
  return buffer;
}

struct Range {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void Add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  // An empty range becomes [0, 1], a single value a small interval around it.
  void Settle() {
    if (lo > hi) {
      lo = 0.0;
      hi = 1.0;
    } else if (lo == hi) {
      const double pad = lo == 0.0 ? 1.0 : std::abs(lo) * 0.1;
      lo -= pad;
      hi += pad;
    }
  }
};

struct Frame {
  double x0, x1, y0, y1;      // data box (x in log10 on a log axis)
  double left, right, top, bottom;  // pixel box
  bool logX = false, reverseY = false;
  double X(double x) const {
    const double u = logX ? std::log10(x) : x;
    return left + (u - x0) / (x1 - x0) * (right - left);
  }
  double Y(double y) const {
    const double f = (y - y0) / (y1 - y0) * (bottom - top);
    return reverseY ? top + f : bottom - f;
  }
  // A point the axes can show.
  bool Shows(double x, double y) const {
    return std::isfinite(x) && std::isfinite(y) && (!logX || x > 0.0);
  }
};

void AppendAxes(std::string& out, const Frame& f, const std::vector<double>& xt,
                const std::vector<double>& yt, const Plot& plot) {
  const double xStep = xt.size() > 1 ? xt[1] - xt[0] : 1.0;
  const double yStep = yt.size() > 1 ? yt[1] - yt[0] : 1.0;
  out += "<g class=\"grid\" stroke=\"#dddddd\" stroke-width=\"1\">";
  for (double t : xt) {
    out += "<line x1=\"" + Fixed(f.X(t)) + "\" y1=\"" + Fixed(f.top) + "\" x2=\"" +
           Fixed(f.X(t)) + "\" y2=\"" + Fixed(f.bottom) + "\"/>";
  }
  for (double t : yt) {
    out += "<line x1=\"" + Fixed(f.left) + "\" y1=\"" + Fixed(f.Y(t)) + "\" x2=\"" +
           Fixed(f.right) + "\" y2=\"" + Fixed(f.Y(t)) + "\"/>";
  }
  out += "</g>";
  out += "<rect x=\"" + Fixed(f.left) + "\" y=\"" + Fixed(f.top) + "\" width=\"" +
         Fixed(f.right - f.left) + "\" height=\"" + Fixed(f.bottom - f.top) +
         "\" fill=\"none\" stroke=\"#333333\"/>";
  out += "<g class=\"ticks\" font-size=\"11\" fill=\"#333333\">";
  for (double t : xt) {
    out += "<text x=\"" + Fixed(f.X(t)) + "\" y=\"" + Fixed(f.bottom + 15) +
           "\" text-anchor=\"middle\">" + XmlEscape(TickText(t, f.logX ? t : xStep)) + "</text>";
  }
  for (double t : yt) {
    out += "<text x=\"" + Fixed(f.left - 6) + "\" y=\"" + Fixed(f.Y(t) + 4) +
           "\" text-anchor=\"end\">" + XmlEscape(TickText(t, yStep)) + "</text>";
  }
  out += "</g>";
  out += "<text class=\"xlabel\" x=\"" + Fixed((f.left + f.right) / 2) + "\" y=\"" +
         Fixed(f.bottom + 36) + "\" text-anchor=\"middle\" font-size=\"12\">" +
         XmlEscape(plot.xLabel) + "</text>";
  const std::string cy = Fixed((f.top + f.bottom) / 2);
  out += "<text class=\"ylabel\" x=\"16\" y=\"" + cy + "\" transform=\"rotate(-90 16 " + cy +
         ")\" text-anchor=\"middle\" font-size=\"12\">" + XmlEscape(plot.yLabel) + "</text>";
}

std::string Mark(const PlotSeries& s, const std::string& cls, double x, double y) {
  return "<circle class=\"" + XmlEscape(cls) + "\" cx=\"" + Fixed(x) + "\" cy=\"" +
         Fixed(y) + "\" r=\"3\" fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"1.3\"/>";
}

// The polyline through the shown points of `s`, or "" when none is shown.
std::string PolylinePoints(const Frame& f, const PlotSeries& s) {
  const std::size_t n = std::min(s.x.size(), s.y.size());
  std::string points;
  for (std::size_t i = 0; i < n; ++i) {
    if (!f.Shows(s.x[i], s.y[i])) continue;
    if (!points.empty()) points += ' ';
    points += Fixed(f.X(s.x[i])) + "," + Fixed(f.Y(s.y[i]));
  }
  return points;
}

void AppendSeries(std::string& out, const Frame& f, const PlotSeries& s) {
  const std::size_t n = std::min(s.x.size(), s.y.size());
  if (s.style == SeriesStyle::kMarkers) {
    out += "<g class=\"series\">";
    const std::size_t every = MarkerStride(n);
    if (every > 1) {
      // Many points: a thin line through all of them, markers on a few.
      const std::string points = PolylinePoints(f, s);
      if (!points.empty()) {
        out += "<polyline class=\"" + XmlEscape(s.cssClass) + "-line\" points=\"" + points +
               "\" fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"0.8\"/>";
      }
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (i % every != 0 && i + 1 != n) continue;
      if (f.Shows(s.x[i], s.y[i])) out += Mark(s, s.cssClass, f.X(s.x[i]), f.Y(s.y[i]));
    }
    out += "</g>";
    return;
  }
  const std::string points = PolylinePoints(f, s);
  if (points.empty()) return;
  out += "<polyline class=\"" + XmlEscape(s.cssClass) + "\" points=\"" + points +
         "\" fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"1.6\"";
  if (s.style == SeriesStyle::kDashedLine) out += " stroke-dasharray=\"6 4\"";
  out += "/>";
}

bool HasPoints(const PlotSeries& s) {
  return std::any_of(s.x.begin(), s.x.end(), [](double v) { return std::isfinite(v); });
}

double KeyWidth(const PlotSeries& s) { return 36.0 + 6.2 * static_cast<double>(s.label.size()); }

// The legend's keys row by row: a key that would run past `right` starts a
// new row. Returns the number of rows (at least 1).
int LegendRows(const Plot& plot, double left, double right) {
  int rows = 1;
  double x = left;
  for (const PlotSeries& s : plot.series) {
    if (!HasPoints(s)) continue;
    if (x > left && x + KeyWidth(s) - 12.0 > right) {
      ++rows;
      x = left;
    }
    x += KeyWidth(s);
  }
  return rows;
}

void AppendLegend(std::string& out, const Plot& plot, double left, double right, double y) {
  double x = left;
  out += "<g class=\"legend\" font-size=\"11\">";
  for (const PlotSeries& s : plot.series) {
    if (!HasPoints(s)) continue;  // a series without points has no key
    if (x > left && x + KeyWidth(s) - 12.0 > right) {
      x = left;
      y += kLegendRow;
    }
    if (s.style == SeriesStyle::kMarkers) {
      out += Mark(s, "key", x + 9, y - 4);
    } else {
      out += "<line x1=\"" + Fixed(x) + "\" y1=\"" + Fixed(y - 4) + "\" x2=\"" + Fixed(x + 18) +
             "\" y2=\"" + Fixed(y - 4) + "\" stroke=\"" + s.colour + "\" stroke-width=\"1.6\"";
      if (s.style == SeriesStyle::kDashedLine) out += " stroke-dasharray=\"6 4\"";
      out += "/>";
    }
    out += "<text x=\"" + Fixed(x + 24) + "\" y=\"" + Fixed(y) + "\">" + XmlEscape(s.label) +
           "</text>";
    x += KeyWidth(s);
  }
  out += "</g>";
}

}  // namespace

std::size_t MarkerStride(std::size_t points) {
  if (points <= kMarkerLimit) return 1;
  return (points + kThinnedMarkers - 1) / kThinnedMarkers;
}

std::vector<double> NiceTicks(double lo, double hi, int target) {
  std::vector<double> ticks;
  if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi) || target < 1) return ticks;
  const double raw = (hi - lo) / target;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude * 10.0;
  for (double m : {1.0, 2.0, 5.0}) {
    if (raw <= m * magnitude * 1.0000001) {
      step = m * magnitude;
      break;
    }
  }
  const double first = std::floor(lo / step + 1e-9);
  const double last = std::ceil(hi / step - 1e-9);
  for (double k = first; k <= last; k += 1.0) {
    const double t = k * step;
    ticks.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
  }
  return ticks;
}

std::vector<double> LogTicks(double lo, double hi) {
  std::vector<double> ticks;
  if (!(lo > 0.0) || !(hi >= lo) || !std::isfinite(hi)) return ticks;
  const int k0 = static_cast<int>(std::floor(std::log10(lo) + 1e-12));
  const int k1 = static_cast<int>(std::ceil(std::log10(hi) - 1e-12));
  // Decades over three decades and more, 1-2-5 over one, 1 to 9 below.
  const double decades = std::log10(hi / lo);
  static const std::vector<double> kDecades{1.0}, kOneTwoFive{1.0, 2.0, 5.0},
      kAll{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0};
  const std::vector<double>& set = decades >= 3.0 ? kDecades : decades >= 1.0 ? kOneTwoFive : kAll;
  std::vector<double> candidates;
  for (int k = k0; k <= k1; ++k) {
    for (double m : set) candidates.push_back(m * std::pow(10.0, k));
  }
  candidates.push_back(std::pow(10.0, k1 + 1));
  const double eps = 1e-9;
  std::size_t first = 0, last = candidates.size() - 1;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (candidates[i] <= lo * (1 + eps)) first = i;
  }
  for (std::size_t i = candidates.size(); i-- > 0;) {
    if (candidates[i] >= hi * (1 - eps)) last = i;
  }
  ticks.assign(candidates.begin() + static_cast<std::ptrdiff_t>(first),
               candidates.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  return ticks;
}

std::string TickText(double value, double step) {
  char buffer[32];
  const double a = std::max(std::abs(value), std::abs(step));
  if (a != 0.0 && (a >= 1e6 || a < 1e-4)) {
    std::snprintf(buffer, sizeof buffer, "%.3g", value);
  } else {
    // Enough decimals to tell neighbouring ticks apart.
    const int decimals = step > 0.0 ? std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))) : 0;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  }
  std::string text = buffer;
  if (text.size() > 1 && text[0] == '-') text.replace(0, 1, "\u2212");
  return text;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string RenderPlot(const Plot& plot) {
  Range rx, ry;
  for (const PlotSeries& s : plot.series) {
    const std::size_t n = std::min(s.x.size(), s.y.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
      if (plot.logX && !(s.x[i] > 0.0)) continue;
      rx.Add(s.x[i]);
      ry.Add(s.y[i]);
    }
  }
  if (plot.logX && rx.lo > rx.hi) rx = Range{1.0, 10.0};
  rx.Settle();
  ry.Settle();
  const std::vector<double> xt = plot.logX ? LogTicks(rx.lo, rx.hi) : NiceTicks(rx.lo, rx.hi, 6);
  const std::vector<double> yt = NiceTicks(ry.lo, ry.hi, 5);
  const bool subtitle = !plot.subtitle.empty();
  // Further legend rows make the picture taller and leave the plot area as it is.
  const int extraRows = LegendRows(plot, kLeft, plot.width - kRight) - 1;
  const int height = plot.height + static_cast<int>(kLegendRow) * extraRows;
  const double top = (subtitle ? 56.0 : 44.0) + kLegendRow * extraRows;
  const double x0 = plot.logX ? std::log10(xt.front()) : xt.front();
  const double x1 = plot.logX ? std::log10(xt.back()) : xt.back();
  const Frame f{x0, x1, yt.front(), yt.back(), kLeft, plot.width - kRight, top,
                height - kBottom, plot.logX, plot.reverseY};

  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" width=\"" +
                    std::to_string(plot.width) + "\" height=\"" + std::to_string(height) +
                    "\" viewBox=\"0 0 " + std::to_string(plot.width) + " " +
                    std::to_string(height) + "\" font-family=\"sans-serif\">";
  const double room = plot.width - kTitleX - 4.0;
  out += "<text class=\"title\" x=\"" + Fixed(kTitleX) + "\" y=\"15\" font-size=\"13\" font-weight=\"bold\">" +
         XmlEscape(Fit(plot.title, static_cast<std::size_t>(room / kTitleCharWidth))) + "</text>";
  if (subtitle) {
    out += "<text class=\"subtitle\" x=\"" + Fixed(kTitleX) + "\" y=\"30\" font-size=\"11\" fill=\"#444444\">" +
           XmlEscape(Fit(plot.subtitle, static_cast<std::size_t>(room / kSubtitleCharWidth))) + "</text>";
  }
  AppendLegend(out, plot, kLeft, plot.width - kRight, subtitle ? 46.0 : 32.0);
  AppendAxes(out, f, xt, yt, plot);
  for (const PlotSeries& s : plot.series) AppendSeries(out, f, s);
  out += "</svg>";
  return out;
}

}  // namespace soilcal::report
