// Derived point table: quantities through CurveQuantity, the same values a
// curve file with these codes would hold.
#include "labtest/point_table.hpp"

#include <algorithm>
#include <vector>

#include "input/curve_quantity.hpp"
#include "services/diag.hpp"

namespace soilcal::labtest {

namespace {

constexpr int kP = 8, kQ = 9, kEpsV = 6, kEps1 = 1, kPw = 7;

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = {
      "point", "phase", "time", "eps_xx", "eps_yy", "eps_zz", "gamma_xy", "gamma_yz",
      "gamma_zx", "sig_xx", "sig_yy", "sig_zz", "sig_xy", "sig_yz", "sig_zx", "pw",
      "p", "q", "eps_v", "eps_1", "pore_pressure"};
  return names;
}

std::vector<std::string> Row(const input::LabTest& test, const Recording& rec, int k) {
  using services::FormatReal;
  const input::RecordedPoint point = rec.Point(k);
  std::vector<std::string> row = {std::to_string(k), std::to_string(PhaseOfPoint(test, k)),
                                  FormatReal(point.time)};
  for (double v : point.strain) row.push_back(FormatReal(v));
  for (double v : point.stress) row.push_back(FormatReal(v));
  row.push_back(FormatReal(point.pw));
  for (int code : {kP, kQ, kEpsV, kEps1, kPw}) {
    row.push_back(FormatReal(input::CurveQuantity(point, code) + 0.0));
  }
  return row;
}

}  // namespace

int PhaseOfPoint(const input::LabTest& test, int k) {
  int last = 1;
  for (int p = 0; p < test.nPhases; ++p) {
    last += std::max(0, test.loadSteps[static_cast<std::size_t>(p)]);
    if (k <= last && k > 1) return p + 1;
  }
  return 0;
}

std::string PointTable(const input::LabTest& test, const Recording& rec, int nPoints) {
  using services::FormatReal;
  std::string table =
      "# point phase time eps_xx eps_yy eps_zz gamma_xy gamma_yz gamma_zx "
      "sig_xx sig_yy sig_zz sig_xy sig_yz sig_zx pw\n";
  for (int k = 1; k <= nPoints; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    table += std::to_string(k);
    table += ' ';
    table += std::to_string(PhaseOfPoint(test, k));
    table += ' ';
    table += FormatReal(rec.time[i]);
    for (double v : rec.strain[i]) {
      table += ' ';
      table += FormatReal(v);
    }
    for (double v : rec.stress[i]) {
      table += ' ';
      table += FormatReal(v);
    }
    table += ' ';
    table += FormatReal(rec.pw[i]);
    table += '\n';
  }
  return table;
}

std::string DerivedPointTable(const input::LabTest& test, const Recording& rec, int nPoints) {
  std::vector<std::vector<std::string>> rows;
  for (int k = 1; k <= nPoints; ++k) rows.push_back(Row(test, rec, k));
  const std::vector<std::string>& names = Names();
  std::vector<std::size_t> width(names.size());
  for (std::size_t c = 0; c < names.size(); ++c) {
    // The header's leading "# " takes two places in front of the first name.
    width[c] = names[c].size() + (c == 0 ? 2 : 0);
    for (const auto& row : rows) width[c] = std::max(width[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells, bool header) {
    std::string out;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c > 0) out += ' ';
      std::string cell = cells[c];
      if (header && c == 0) cell = "# " + std::string(width[0] - 2 - cell.size(), ' ') + cell;
      out += std::string(width[c] - cell.size(), ' ') + cell;
    }
    return out + '\n';
  };
  std::string out = line(names, true);
  for (const auto& row : rows) out += line(row, false);
  return out;
}

}  // namespace soilcal::labtest
