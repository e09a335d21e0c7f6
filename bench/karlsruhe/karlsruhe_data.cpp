#include "bench/karlsruhe/karlsruhe_data.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <future>
#include <sstream>

namespace karlsruhe {

Measured Read(const std::string& folder, const std::string& name) {
  Measured m;
  m.name = name;
  std::ifstream in(folder + "/" + name + ".csv");
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'e') continue;
    std::vector<double> v;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, ',');) v.push_back(std::stod(cell));
    if (v.size() < 7) continue;
    if (first) {
      m.e0 = v[4];
      m.cell = v[6] - v[5] / 3.0;  // p = s3 + q/3 of the first row
      first = false;
    }
    if (v[0] < 0.05 || v[0] > 10.0) continue;
    m.axial.push_back(v[0] / 100.0);
    m.volumetric.push_back(v[1] / 100.0);
    m.q.push_back(v[5]);
  }
  return m;
}

Curve Drained(const Parameters& p, double cell, double e0, double maxAxial, double da) {
  using namespace hypoplastic::element;
  Curve c;
  State s = Start(p, cell, e0);
  double radial = 0.0, volumetric = 0.0;
  c.axial = {0.0};
  c.q = {Deviator(s)};
  c.volumetric = {0.0};
  c.e = {s.e};
  c.p = {Mean(s)};
  while (c.axial.back() < maxAxial) {
    if (!DrainedStep(p, s, -da, cell, radial)) {
      c.ok = false;
      return c;
    }
    volumetric += da - 2.0 * radial;  // compression positive
    c.axial.push_back(c.axial.back() + da);
    c.q.push_back(Deviator(s));
    c.volumetric.push_back(volumetric);
    c.e.push_back(s.e);
    c.p.push_back(Mean(s));
  }
  return c;
}

namespace {

// Value of `y` at axial strain `x` on a curve of equal steps `da`.
double At(const Curve& c, const std::vector<double>& y, double x, double da) {
  const auto k = std::min(static_cast<std::size_t>(x / da), c.axial.size() - 2);
  const double w = (x - c.axial[k]) / da;
  return (1 - w) * y[k] + w * y[k + 1];
}

}  // namespace

Errors Compare(const Curve& c, const Measured& m, double da) {
  Errors e;
  if (!c.ok || m.axial.empty() || c.axial.size() < 2 || c.axial.back() < m.axial.back()) return e;
  double sumQ = 0.0, sumV = 0.0;
  for (std::size_t i = 0; i < m.axial.size(); ++i) {
    const double qs = At(c, c.q, m.axial[i], da);
    const double vs = At(c, c.volumetric, m.axial[i], da);
    sumQ += std::abs(qs - m.q[i]) / std::abs(m.q[i]);
    sumV += (vs - m.volumetric[i]) * (vs - m.volumetric[i]);
    e.qPeakMeasured = std::max(e.qPeakMeasured, m.q[i]);
    e.qPeakSimulated = std::max(e.qPeakSimulated, qs);
  }
  const auto n = static_cast<double>(m.axial.size());
  e.qRelative = 100.0 * sumQ / n;
  e.volumetricRms = 100.0 * std::sqrt(sumV / n);
  e.ok = true;
  return e;
}

bool Residuals(const Parameters& p, const std::vector<Measured>& tests, bool volumetric,
               std::vector<double>& out) {
  std::vector<std::future<Curve>> runs;
  for (const Measured& m : tests) {
    runs.push_back(std::async(std::launch::async,
                              [&p, &m] { return Drained(p, m.cell, m.e0, m.axial.back() + kStep); }));
  }
  out.clear();
  bool ok = true;
  for (std::size_t t = 0; t < tests.size(); ++t) {
    const Curve c = runs[t].get();
    const Measured& m = tests[t];
    if (!c.ok || c.axial.back() < m.axial.back()) {
      ok = false;
      continue;
    }
    const auto n = static_cast<double>(m.axial.size());
    double scale = 0.0;
    for (double v : m.volumetric) scale = std::max(scale, std::abs(v));
    for (std::size_t i = 0; i < m.axial.size(); ++i) {
      out.push_back((At(c, c.q, m.axial[i], kStep) - m.q[i]) / std::abs(m.q[i]) / std::sqrt(n));
      if (volumetric) {
        out.push_back((At(c, c.volumetric, m.axial[i], kStep) - m.volumetric[i]) / scale /
                      std::sqrt(n));
      }
    }
  }
  return ok;
}

}  // namespace karlsruhe
