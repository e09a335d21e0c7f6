// Reading a laboratory's file by its format, and what inspect shows of it.
#include "labfiles/lab_file.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "labfiles/gds_stages.hpp"
#include "services/diag.hpp"

namespace soilcal::labfiles {
namespace {

std::string LowerExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool LooksLikeAgs4(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return text.compare(i, 7, "\"GROUP\"") == 0;
}

}  // namespace

std::optional<SpecimenKey> ParseSpecimenKey(std::string_view text) {
  SpecimenKey key;
  const std::size_t a = text.find(':');
  key.location = std::string(text.substr(0, a));
  if (key.location.empty()) return std::nullopt;
  if (a == std::string_view::npos) return key;
  const std::size_t b = text.find(':', a + 1);
  const std::string_view depth = text.substr(a + 1, b == std::string_view::npos ? b : b - a - 1);
  if (!depth.empty()) {
    key.depth = ParseNumber(depth);
    if (!key.depth) return std::nullopt;
  }
  if (b != std::string_view::npos) key.ref = std::string(text.substr(b + 1));
  return key;
}

const Column* LabTest::Find(const std::string& quantity) const {
  for (const Column& c : columns) {
    if (c.quantity == quantity) return &c;
  }
  return nullptr;
}

LabFile ReadLabFile(const std::string& path, const std::string& name, const Selection& selection,
                    bool needTest) {
  const std::string text = ReadTextFile(path);
  const std::string ext = LowerExtension(path);
  if (ext == "gds" || LooksLikeGds(text)) return ReadGds(text, name, selection, needTest);
  if (ext == "ags" || ext == "ags4" || LooksLikeAgs4(text)) {
    return ReadAgs4(text, name, selection, needTest);
  }
  return ReadTable(text, name, selection, needTest);
}

void RequireFinite(const LabTest& test, const std::string& name) {
  const auto finite = [](double v) { return std::isfinite(v); };
  for (const Column& c : test.columns) {
    if (!std::all_of(c.values.begin(), c.values.end(), finite)) {
      throw LabFileError(name + ": the " + c.quantity + " of the selected test is not finite at "
                         "every reading (a zero height, area or void ratio in the file?)");
    }
  }
  if (!finite(test.cellPressure) || !finite(test.axialStrain) ||
      !finite(test.initialVerticalStress) ||
      !std::all_of(test.levels.begin(), test.levels.end(), finite)) {
    throw LabFileError(name + ": the start of the selected test is not finite");
  }
}

std::optional<Strength> StrengthOf(const std::vector<FailurePoint>& points) {
  if (points.size() < 2) return std::nullopt;
  // Least squares of t on s′: t = a + b s′ with b = sin φ′, a = c′ cos φ′.
  double ss = 0.0, st = 0.0, sss = 0.0, sst = 0.0;
  const double n = static_cast<double>(points.size());
  for (const FailurePoint& p : points) {
    const double s = 0.5 * (p.sigma1 + p.sigma3);
    const double t = 0.5 * (p.sigma1 - p.sigma3);
    ss += s, st += t, sss += s * s, sst += s * t;
  }
  const double det = n * sss - ss * ss;
  if (!(std::abs(det) > 1e-12 * (1.0 + sss * n))) return std::nullopt;
  const double b = (n * sst - ss * st) / det;
  const double a = (st - b * ss) / n;
  if (!(b > 0.0 && b < 1.0)) return std::nullopt;
  Strength s;
  s.phiDegrees = std::asin(b) * 180.0 / std::numbers::pi;
  s.cohesion = a / std::sqrt(1.0 - b * b);
  s.points = static_cast<int>(points.size());
  return s;
}

std::string InspectText(const LabFile& f) {
  using services::FormatReal;
  std::string out = f.name + ": " + f.format + " file\n";
  if (!f.header.empty()) {
    out += "header:\n";
    for (const auto& [k, v] : f.header) {
      if (!v.empty()) out += "  " + k + " = " + v + "\n";
    }
  }
  for (const std::string& e : f.entries) out += "- " + e + "\n";
  if (!f.failures.empty()) {
    out += "failure points (kPa):\n";
    for (const FailurePoint& p : f.failures) {
      out += "  " + p.specimen + ": " + (p.effective ? "σ′3f = " : "σ3f = ") +
             FormatReal(p.sigma3) + ", " + (p.effective ? "σ′1f = " : "σ1f = ") +
             FormatReal(p.sigma1) + "\n";
    }
  }
  if (f.strength) {
    char line[160];
    std::snprintf(line, sizeof line, "Mohr-Coulomb line through %d points: c′ = %.2f kPa, φ′ = %.2f°\n",
                  f.strength->points, f.strength->cohesion, f.strength->phiDegrees);
    out += line;
  }
  if (f.test) {
    out += "selected test: " + f.test->kind + (f.test->undrained ? ", undrained" : ", drained") +
           ", " + std::to_string(f.test->phase.size()) + " readings\n";
  }
  if (!f.choices.empty()) {
    out += "choices:\n";
    for (const std::string& c : f.choices) out += "  " + c + "\n";
  }
  return out;
}

std::string CurvesCsv(const LabTest& test) {
  std::string out = "phase";
  for (const Column& c : test.columns) out += "," + c.quantity;
  out += "\n";
  for (std::size_t i = 0; i < test.phase.size(); ++i) {
    out += std::to_string(test.phase[i]);
    for (const Column& c : test.columns) out += "," + services::FormatReal(c.values[i]);
    out += "\n";
  }
  return out;
}

}  // namespace soilcal::labfiles
