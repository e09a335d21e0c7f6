#include "cyclic_ags4_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace soilcal::testing {
namespace {

std::string Num(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.12g", v);
  return buffer;
}

}  // namespace

double PorePressureRatio(double n, double nl, double alpha) {
  if (n >= nl) return 1.0;
  return 2.0 / std::numbers::pi * std::asin(std::pow(n / nl, 1.0 / (2.0 * alpha)));
}

std::vector<CyclicReading> ReadingsOf(const CyclicSpecimenFile& s) {
  if (!s.readings.empty()) return s.readings;
  std::vector<CyclicReading> list;
  const double sigma3 = s.cell - s.back;
  const int n = s.perCycle > 0 ? s.cycles * s.perCycle : s.cycles;
  for (int i = s.perCycle > 0 ? 0 : 1; i <= n; ++i) {
    CyclicReading r;
    r.cycles = s.perCycle > 0 ? static_cast<double>(i) / s.perCycle : i;
    r.deviator = s.perCycle > 0 ? s.amplitude * std::sin(2.0 * std::numbers::pi * r.cycles)
                                : s.amplitude;
    r.pore = s.back + sigma3 * PorePressureRatio(r.cycles, s.cyclesToLiquefaction, s.alpha);
    r.strain = (s.perCycle > 0 ? s.strainAtStart : 0.0) + s.strainPerCycle * r.cycles;
    list.push_back(r);
  }
  return list;
}

std::string Ags4CyclicFile(const std::vector<CyclicSpecimenFile>& specimens,
                           const std::string& stressUnit) {
  const double toUnit = stressUnit == "MPa" ? 0.001 : 1.0;
  std::string out;
  const auto line = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) out += (i ? ",\"" : "\"") + cells[i] + "\"";
    out += "\r\n";
  };
  const auto key = [](const CyclicSpecimenFile& s) {
    return std::vector<std::string>{"DATA", s.location, Num(s.depth - 0.2), "S" + s.ref, "U",
                                    s.location + "-" + s.ref, s.ref, Num(s.depth)};
  };
  const std::vector<std::string> keyHeadings{"LOCA_ID", "SAMP_TOP", "SAMP_REF", "SAMP_TYPE",
                                             "SAMP_ID", "SPEC_REF", "SPEC_DPTH"};
  const auto heading = [&](std::vector<std::string> own) {
    std::vector<std::string> h{"HEADING"};
    h.insert(h.end(), keyHeadings.begin(), keyHeadings.end());
    h.insert(h.end(), own.begin(), own.end());
    line(h);
  };
  const auto units = [&](std::vector<std::string> own) {
    std::vector<std::string> u{"UNIT", "", "m", "", "", "", "", "m"};
    u.insert(u.end(), own.begin(), own.end());
    line(u);
    std::vector<std::string> t{"TYPE", "ID", "2DP", "X", "PA", "ID", "X", "2DP"};
    for (std::size_t i = 0; i < own.size(); ++i) t.push_back("X");
    line(t);
  };
  line({"GROUP", "PROJ"});
  line({"HEADING", "PROJ_ID", "PROJ_NAME"});
  line({"UNIT", "", ""});
  line({"TYPE", "ID", "X"});
  line({"DATA", "P2", "Cyclic tests on a loose sand"});
  out += "\r\n";
  line({"GROUP", "CTRG"});
  heading({"CTRG_TYPE", "CTRG_REM"});
  units({"", ""});
  for (const CyclicSpecimenFile& s : specimens) {
    std::vector<std::string> row = key(s);
    row.insert(row.end(), {"stress controlled", "sine wave,\r\n1 Hz"});
    line(row);
  }
  out += "\r\n";
  line({"GROUP", "CTRC"});
  heading({"CTRC_TESN", "CTRC_CELL", "CTRC_PWP"});
  units({"", stressUnit, stressUnit});
  for (const CyclicSpecimenFile& s : specimens) {
    if (!s.consolidation) continue;
    // A first row part way, then the end of consolidation.
    for (double f : {0.5, 1.0}) {
      std::vector<std::string> row = key(s);
      row.insert(row.end(), {s.testNumber, Num(f * s.cell * toUnit), Num(s.back * toUnit)});
      line(row);
    }
  }
  out += "\r\n";
  line({"GROUP", "CTRD"});
  heading({"CTRD_TESN", "CTRD_CYCN", "CTRD_CELL", "CTRD_DEVS", "CTRD_PWP", "CTRD_AXST"});
  units({"", "", stressUnit, stressUnit, stressUnit, "%"});
  for (const CyclicSpecimenFile& s : specimens) {
    for (const CyclicReading& r : ReadingsOf(s)) {
      std::vector<std::string> row = key(s);
      row.insert(row.end(), {s.testNumber, Num(r.cycles), Num(s.cell * toUnit),
                             Num(r.deviator * toUnit), Num(r.pore * toUnit),
                             Num(100.0 * r.strain)});
      line(row);
    }
  }
  return out;
}

}  // namespace soilcal::testing
