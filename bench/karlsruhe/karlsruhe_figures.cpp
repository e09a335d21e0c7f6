#include "bench/karlsruhe/karlsruhe_figures.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

#include "report/svg_plot.hpp"

namespace karlsruhe {
namespace {

using soilcal::report::Plot;
using soilcal::report::PlotSeries;
using soilcal::report::SeriesStyle;
namespace element = hypoplastic::element;

constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                                    "#8c564b"};

// Panels side by side in rows of `columns`, one SVG file.
bool WriteSvg(const std::string& path, const std::vector<Plot>& panels, int columns) {
  std::string body;
  int rowHeight = 0, x = 0, y = 0, width = 0;
  for (std::size_t i = 0; i < panels.size(); ++i) {
    std::string svg = soilcal::report::RenderPlot(panels[i]);
    const auto h = svg.find("height=\"");
    const int height = std::stoi(svg.substr(h + 8));
    svg.replace(0, 4, "<svg x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"");
    body += svg;
    rowHeight = std::max(rowHeight, height);
    x += panels[i].width;
    width = std::max(width, x);
    if (static_cast<int>(i + 1) % columns == 0) {
      x = 0;
      y += rowHeight;
      rowHeight = 0;
    }
  }
  const int height = y + rowHeight;
  std::ofstream out(path);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\""
      << height << "\" viewBox=\"0 0 " << width << " " << height
      << "\"><rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>" << body << "</svg>\n";
  return static_cast<bool>(out);
}

PlotSeries Line(std::string label, std::string colour, SeriesStyle style = SeriesStyle::kLine) {
  PlotSeries s;
  s.label = std::move(label);
  s.colour = std::move(colour);
  s.style = style;
  return s;
}

// Isotropic compression from p0 = 10 kPa to 10 MPa in volumetric strain
// steps, a loose start on e_i(p0) and a dense one below e_c(p0).
bool Compression(const std::string& folder, Parameters p) {
  p.mR = 0.0;
  Plot plot;
  plot.title = "Isotropic compression (Bauer's law)";
  plot.subtitle = "Karlsruhe fine sand: the loose start follows ei(p) = ei0 exp(−(3p′/hs)^n)";
  plot.xLabel = "mean effective stress p′ (kPa)";
  plot.yLabel = "void ratio e";
  plot.logX = true;
  plot.width = 560;
  plot.height = 380;
  PlotSeries ei = Line("ei(p)", "#555555", SeriesStyle::kDashedLine);
  PlotSeries ec = Line("ec(p)", "#999999", SeriesStyle::kDashedLine);
  PlotSeries ed = Line("ed(p)", "#bbbbbb", SeriesStyle::kDashedLine);
  for (double lp = 1.0; lp <= 4.001; lp += 0.05) {
    const auto l = hypoplastic::LimitsAt(p, std::pow(10.0, lp));
    ei.x.push_back(std::pow(10.0, lp));
    ec.x.push_back(ei.x.back());
    ed.x.push_back(ei.x.back());
    ei.y.push_back(l.ei), ec.y.push_back(l.ec), ed.y.push_back(l.ed);
  }
  plot.series.push_back(ei);
  plot.series.push_back(ec);
  plot.series.push_back(ed);
  const double p0 = 10.0;
  const auto l0 = hypoplastic::LimitsAt(p, p0);
  const double starts[] = {l0.ei, l0.ed + 0.25 * (l0.ec - l0.ed)};
  const char* names[] = {"loose start (e = ei)", "dense start"};
  for (int k = 0; k < 2; ++k) {
    PlotSeries s = Line(names[k], kColours[k], SeriesStyle::kMarkers);
    State st = element::Isotropic(p0, starts[k]);
    while (element::Mean(st) < 1e4) {
      s.x.push_back(element::Mean(st));
      s.y.push_back(st.e);
      const double d = -2e-4;
      const auto r = hypoplastic::Integrate(p, st, (hypoplastic::Sym() << d, d, d, 0, 0, 0).finished());
      if (!r.ok) return false;
      st = r.end;
    }
    const auto l = hypoplastic::LimitsAt(p, element::Mean(st));
    std::printf("  compression, %s: e = %.4f at p = %.0f kPa (ei %.4f, ed %.4f)\n", names[k],
                st.e, element::Mean(st), l.ei, l.ed);
    plot.series.push_back(std::move(s));
  }
  return WriteSvg(folder + "/hypoplastic_sand_compression.svg", {plot}, 1);
}

// Drained triaxial compression at 100 kPa, dense and loose, to 200 % axial
// strain of the equations (a homogeneous element: a specimen localises long
// before, but the critical state is a limit of the equations, reached slowly
// by a dense sand).
bool Triaxial(const std::string& folder, Parameters p) {
  constexpr double kLargest = 2.0;
  p.mR = 0.0;
  const double cell = 100.0;
  const double sinPhi = std::sin(p.phiC);
  const double M = 6.0 * sinPhi / (3.0 - sinPhi);
  const double qc = M * cell / (1.0 - M / 3.0);  // q at the critical state, sigma3 held
  Plot q, e;
  q.title = "Drained triaxial compression, σ3′ = 100 kPa";
  q.subtitle = "q tends to the critical state of φc = 33.1° (a homogeneous element)";
  q.xLabel = "axial strain ε1 (%)";
  q.yLabel = "deviator q (kPa)";
  e.title = "Void ratio";
  e.subtitle = "tends to ec(p′) along each path";
  e.xLabel = q.xLabel;
  e.yLabel = "void ratio e";
  q.width = e.width = 520;
  const double starts[] = {0.70, 1.00};
  const char* names[] = {"dense, e0 = 0.70", "loose, e0 = 1.00"};
  PlotSeries critical = Line("critical state (φc)", "#555555", SeriesStyle::kDashedLine);
  for (int k = 0; k < 2; ++k) {
    const Curve c = Drained(p, cell, starts[k], kLargest, 1e-3);
    if (!c.ok) return false;
    PlotSeries sq = Line(names[k], kColours[k]);
    PlotSeries se = Line(names[k], kColours[k]);
    PlotSeries sc = Line(std::string("ec(p′), ") + (k == 0 ? "dense" : "loose"), kColours[k],
                                 SeriesStyle::kDashedLine);
    double qmax = 0.0;
    for (std::size_t i = 0; i < c.axial.size(); i += 10) {
      sq.x.push_back(100.0 * c.axial[i]);
      sq.y.push_back(c.q[i]);
      se.x.push_back(100.0 * c.axial[i]);
      se.y.push_back(c.e[i]);
      sc.x.push_back(100.0 * c.axial[i]);
      sc.y.push_back(hypoplastic::LimitsAt(p, c.p[i]).ec);
      qmax = std::max(qmax, c.q[i]);
    }
    const double s1 = cell + qmax;
    std::printf("  triaxial, %s: peak %.1f deg, at %.0f %%: q = %.1f (critical %.1f), e = %.4f, "
                "ec(p) = %.4f\n",
                names[k], std::asin((s1 - cell) / (s1 + cell)) * 180.0 / std::numbers::pi, 100 * kLargest,
                c.q.back(), qc, c.e.back(), hypoplastic::LimitsAt(p, c.p.back()).ec);
    q.series.push_back(std::move(sq));
    e.series.push_back(std::move(se));
    e.series.push_back(std::move(sc));
  }
  critical.x = {0.0, 100.0 * kLargest};
  critical.y = {qc, qc};
  q.series.push_back(critical);
  return WriteSvg(folder + "/hypoplastic_sand_triaxial.svg", {q, e}, 2);
}

// Drained deviator cycles between q = 10 and 60 kPa at sigma3 = 100 kPa,
// axial strain steps reversed where q passes a bound.
bool Cycles(const std::string& folder, const Parameters& withStrain) {
  Parameters plain = withStrain;
  plain.mR = 0.0;
  Plot drift;
  drift.title = "Axial strain at the end of each cycle";
  drift.subtitle = "ratcheting: its growth per cycle";
  drift.xLabel = "cycle";
  drift.yLabel = "axial strain ε1 (%)";
  drift.width = 400;
  const Parameters sets[] = {withStrain, plain};
  const char* names[] = {"with intergranular strain", "without"};
  std::vector<Plot> panels;
  for (int k = 0; k < 2; ++k) {
    const Parameters& p = sets[k];
    Plot loops;
    loops.title = std::string("Ten deviator cycles, ") + names[k];
    loops.subtitle = "σ3′ = 100 kPa, e0 = 0.80, q between 10 and 60 kPa";
    loops.xLabel = "axial strain ε1 (%)";
    loops.yLabel = "deviator q (kPa)";
    loops.width = 400;
    State s = element::Start(p, 100.0, 0.80);
    PlotSeries l = Line(names[k], kColours[k]);
    PlotSeries d = Line(names[k], kColours[k], SeriesStyle::kMarkers);
    double axial = 0.0, radial = 0.0;
    const double da = -5e-6;
    bool up = true;
    int cycles = 0;
    d.x.push_back(0);
    d.y.push_back(0.0);
    for (int step = 0; step < 200000 && cycles < 10; ++step) {
      if (!element::DrainedStep(p, s, up ? da : -da, 100.0, radial)) return false;
      axial += up ? -da : da;
      if (step % 2 == 0) {
        l.x.push_back(100.0 * axial);
        l.y.push_back(element::Deviator(s));
      }
      if (up && element::Deviator(s) >= 60.0) up = false;
      if (!up && element::Deviator(s) <= 10.0) {
        up = true;
        ++cycles;
        d.x.push_back(cycles);
        d.y.push_back(100.0 * axial);
      }
    }
    std::printf("  cycles, %s: axial strain after %d cycles %.4f %%, in the last cycle %.5f %%\n",
                names[k], cycles, d.y.back(), d.y.back() - d.y[d.y.size() - 2]);
    loops.series.push_back(std::move(l));
    panels.push_back(std::move(loops));
    drift.series.push_back(std::move(d));
  }
  panels.push_back(std::move(drift));
  return WriteSvg(folder + "/hypoplastic_sand_cycles.svg", panels, 3);
}

// Each Karlsruhe test: measured q and eps_v against every set's simulation.
bool Karlsruhe(const std::string& folder, const std::vector<Measured>& tests,
               const std::vector<LabelledSet>& sets) {
  std::vector<Plot> panels;
  for (const Measured& m : tests) {
    Plot q, v;
    char title[120];
    std::snprintf(title, sizeof title, "%s: σ3′ = %.1f kPa, e0 = %.4f", m.name.c_str(), m.cell,
                  m.e0);
    q.title = title;
    v.title = m.name + ": volumetric strain";
    q.xLabel = v.xLabel = "axial strain ε1 (%)";
    q.yLabel = "deviator q (kPa)";
    v.yLabel = "volumetric strain εv (%), contraction +";
    q.width = v.width = 460;
    q.height = v.height = 300;
    PlotSeries mq = Line("measured", "#000000", SeriesStyle::kMarkers);
    PlotSeries mv = mq;
    for (std::size_t i = 0; i < m.axial.size(); ++i) {
      mq.x.push_back(100.0 * m.axial[i]);
      mq.y.push_back(m.q[i]);
      mv.x.push_back(100.0 * m.axial[i]);
      mv.y.push_back(100.0 * m.volumetric[i]);
    }
    q.series.push_back(std::move(mq));
    v.series.push_back(std::move(mv));
    for (std::size_t k = 0; k < sets.size(); ++k) {
      const Curve c = Drained(sets[k].p, m.cell, m.e0, m.axial.back() + kStep);
      if (!c.ok) return false;
      const SeriesStyle style = k == 0 ? SeriesStyle::kDashedLine : SeriesStyle::kLine;
      PlotSeries sq = Line(sets[k].label, kColours[k], style);
      PlotSeries sv = Line(sets[k].label, kColours[k], style);
      for (std::size_t i = 0; i < c.axial.size(); i += 5) {
        sq.x.push_back(100.0 * c.axial[i]);
        sq.y.push_back(c.q[i]);
        sv.x.push_back(100.0 * c.axial[i]);
        sv.y.push_back(100.0 * c.volumetric[i]);
      }
      q.series.push_back(std::move(sq));
      v.series.push_back(std::move(sv));
    }
    panels.push_back(std::move(q));
    panels.push_back(std::move(v));
  }
  return WriteSvg(folder + "/hypoplastic_sand_karlsruhe.svg", panels, 2);
}

}  // namespace

bool WriteFigures(const std::string& folder, const std::vector<Measured>& tests,
                  const std::vector<LabelledSet>& sets) {
  Parameters p = element::KarlsruheFineSand(true);
  p.rho0 = 1.0;
  return Compression(folder, p) && Triaxial(folder, p) && Cycles(folder, p) &&
         Karlsruhe(folder, tests, sets);
}

}  // namespace karlsruhe
