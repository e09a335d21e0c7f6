// [[tests.curves]] of a TOML job: a CSV file's columns as the test's
// measured curve, with the native codes chosen so that the curve reader
// takes x as the abscissa.
#include <algorithm>
#include <cmath>

#include "jobfile/csv.hpp"
#include "jobfile/nearest.hpp"
#include "jobfile/reader_parts.hpp"
#include "services/diag.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"

namespace soilcal::jobfile::reader {
namespace {

struct Axis {
  const Quantity* quantity = nullptr;
  std::string column;
  double scale = 1.0;
};

Axis ReadAxis(const State& s, const toml::table& c, const std::string& key) {
  Axis a;
  const std::optional<std::string> name = s.file.String(c, key);
  if (!name) {
    s.file.Fail(kJobFileUnreadable, c,
                "a curve needs " + key + " = \"quantity\" (for example \"axial_strain\")");
  }
  a.quantity = FindQuantity(*name);
  if (a.quantity == nullptr) {
    s.file.Fail(kJobFileUnreadable, *c.get(key),
                "unknown quantity \"" + *name + "\"" + DidYouMean(*name, QuantityNames()) +
                    " (the README lists the quantity names)");
  }
  a.column = s.file.String(c, key + "_column").value_or(*name);
  a.scale = s.file.Number(c, key + "_scale", 1.0);
  if (a.scale == 0.0) {
    s.file.Fail(kJobFileUnreadable, *c.get(key + "_scale"),
                key + "_scale must not be 0 (it multiplies the column to give the quantity)");
  }
  return a;
}

int Column(const State& s, const toml::table& c, const CsvTable& table, const std::string& column,
           const std::string& key) {
  const int index = ColumnIndex(table, column);
  if (index < 0) {
    const toml::node* at = c.get(key + "_column");
    if (at == nullptr) at = c.get(key);
    s.file.Fail(kCsvUnusable, at != nullptr ? at->source() : c.source(),
                table.name + " has no column \"" + column + "\"; its columns are " +
                    ColumnList(table) + " (name the column with " + key + "_column = \"...\")");
  }
  return index;
}

// Value of the native file from a column value: the code carries the sign
// of the scale, the value its size, so a scale of -1 keeps the numbers.
double NativeValue(double column, double scale, const NativeAxis& axis) {
  const double size = std::abs(scale);
  double v = size == 1.0 ? column : size * column;
  if (axis.per != 1.0) v *= axis.per;
  return axis.factor == 1.0 ? v : v / axis.factor;
}

// A quantity the test does not have is said before any choice of codes.
void CheckQuantityOfTest(const State& s, const toml::table& c, const std::string& key,
                         const Quantity& q, const TestFacts& facts, const std::string& testName) {
  if (!Candidates(q, facts).empty()) return;
  const std::string what = "test \"" + testName + "\"";
  const toml::node& at = *c.get(key);
  if (q.name == "cycles") {
    s.file.Fail(kJobFileUnreadable, at,
                "cycles counts the load cycles of the cyclic templates "
                "(cyclic_direct_simple_shear, cyclic_triaxial); " + what +
                    " is not one of them: use \"time\"");
  }
  s.file.Fail(kJobFileUnreadable, at,
              std::string(q.name) + " is taken of the initial vertical effective stress, and " +
                  what + " starts without one (" + services::FormatReal(facts.initialVerticalStress) +
                  "): use \"excess_pore_pressure\"");
}

CsvTable ReadTable(const State& s, const toml::table& c, std::string& resolved) {
  const std::optional<std::string> file = s.file.String(c, "file");
  if (!file) s.file.Fail(kJobFileUnreadable, c, "a curve needs file = \"NAME.csv\"");
  const bool absolute = !file->empty() && (file->front() == '/' || file->front() == '\\');
  const std::string path = absolute ? *file : s.folder + *file;
  const std::string kind = services::NotARegularFile(services::ResolvePath(path));
  if (!kind.empty()) {
    s.file.Fail(kCsvMissing, *c.get("file"),
                "curve file \"" + *file + "\" " + kind + ": name the CSV file of the curve");
  }
  if (!services::FileExists(path)) {
    const std::string folder = services::FolderOf(path);
    s.file.Fail(kCsvMissing, *c.get("file"),
                "curve file \"" + *file + "\" not found in " +
                    (folder.empty() ? "the current folder" : folder));
  }
  resolved = services::ResolvePath(path);
  try {
    return ReadCsv(resolved, *file);
  } catch (const CsvError& e) {
    s.file.Fail(kCsvUnusable, *c.get("file"), e.what());
  }
}

}  // namespace

std::string ReadCurve(const State& s, const toml::table& c, const std::string& testName,
                      int nPhases, const TestFacts& facts, input::Curve& native,
                      input::CurveLanguage& language) {
  s.file.CheckKeys(c, {"file", "x", "y", "x_column", "y_column", "x_scale", "y_scale", "name",
                       "phase_column", "x_range"},
                   "a curve of test \"" + testName + "\"");
  const Axis x = ReadAxis(s, c, "x");
  const Axis y = ReadAxis(s, c, "y");
  if (x.quantity == y.quantity) {
    s.file.Fail(kJobFileUnreadable, c, "x and y of a curve must be different quantities");
  }
  CheckQuantityOfTest(s, c, "x", *x.quantity, facts, testName);
  CheckQuantityOfTest(s, c, "y", *y.quantity, facts, testName);
  const std::optional<CodePair> codes = ChooseCodes(*x.quantity, *y.quantity, facts);
  if (!codes) {
    s.file.Fail(kCsvUnusable, c,
                "the test controls " + std::string(y.quantity->name) +
                    ", so the program would fit this curve along it: give x = \"" +
                    std::string(y.quantity->name) + "\" and y = \"" +
                    std::string(x.quantity->name) + "\"");
  }
  std::vector<double> range = s.file.Numbers(c, "x_range");
  if (!range.empty() && (range.size() != 2 || range[1] < range[0])) {
    s.file.Fail(kJobFileUnreadable, *c.get("x_range"), "x_range must be [from, to] with from <= to");
  }

  std::string csvPath;
  const CsvTable table = ReadTable(s, c, csvPath);
  std::vector<double> xs, ys, phases;
  std::vector<int> lines = table.lines;
  try {
    xs = NumericColumn(table, Column(s, c, table, x.column, "x"));
    ys = NumericColumn(table, Column(s, c, table, y.column, "y"));
    const std::string phaseColumn = s.file.String(c, "phase_column").value_or("phase");
    const int phase = ColumnIndex(table, phaseColumn);
    if (phase < 0 && nPhases > 1) {
      s.file.Fail(kCsvUnusable, c,
                  table.name + " has no column \"" + phaseColumn + "\" for a test of " +
                      std::to_string(nPhases) + " phases; its columns are " + ColumnList(table) +
                      " (give each row its phase, 1 to " + std::to_string(nPhases) + ")");
    }
    if (phase >= 0) phases = NumericColumn(table, phase);
  } catch (const CsvError& e) {
    s.file.Fail(kCsvUnusable, *c.get("file"), e.what());
  }

  // Rows grouped by phase (stable), as the native segments require.
  std::vector<std::vector<std::pair<double, double>>> segments(
      static_cast<std::size_t>(std::max(nPhases, 1)));
  for (std::size_t r = 0; r < xs.size(); ++r) {
    int p = 1;
    if (!phases.empty()) {
      const double v = phases[r];
      if (v != std::floor(v) || v < 1 || v > nPhases) {
        s.file.Fail(kCsvUnusable, *c.get("file"),
                    table.name + " line " + std::to_string(lines[r]) + ": phase " +
                        services::FormatReal(v) + " is not one of the test's phases 1 to " +
                        std::to_string(nPhases));
      }
      p = static_cast<int>(v);
    }
    if (!std::isfinite(NativeValue(xs[r], x.scale, codes->x)) ||
        !std::isfinite(NativeValue(ys[r], y.scale, codes->y))) {
      s.file.Fail(kCsvUnusable, c,
                  table.name + " line " + std::to_string(lines[r]) +
                      ": the point scaled by x_scale and y_scale is beyond the largest number a "
                      "native file holds (about 1.8e308); check the scale");
    }
    const double xJob = x.scale * xs[r];
    if (!range.empty() && (xJob < range[0] || xJob > range[1])) continue;
    segments[static_cast<std::size_t>(p - 1)].emplace_back(xs[r], ys[r]);
  }

  native = input::Curve{};
  native.xCode = x.scale < 0.0 ? -codes->x.code : codes->x.code;
  native.yCode = y.scale < 0.0 ? -codes->y.code : codes->y.code;
  native.nSegments = nPhases;
  native.multiSegment = nPhases > 1;
  for (int p = 0; p < nPhases; ++p) {
    const auto& seg = segments[static_cast<std::size_t>(p)];
    native.segmentSizes.push_back(static_cast<int>(seg.size()));
    for (const auto& [vx, vy] : seg) {
      native.x.push_back(NativeValue(vx, x.scale, codes->x));
      native.y.push_back(NativeValue(vy, y.scale, codes->y));
    }
  }
  native.nPoints = static_cast<int>(native.x.size());
  if (native.nPoints == 0) {
    s.file.Fail(kCsvUnusable, *c.get("file"),
                table.name + " gives no points for this curve" +
                    (range.empty() ? "" : " inside x_range"));
  }

  const std::optional<std::string> name = s.file.String(c, "name");
  language.output = testName + "_" + name.value_or(std::string(y.quantity->name));
  if (language.output.find_first_of("/\\") != std::string::npos) {
    const toml::node* where = c.get("name");
    s.file.Fail(kJobFileUnreadable, where != nullptr ? *where : static_cast<const toml::node&>(c),
                "the curve's output name \"" + language.output +
                    "\" holds a / or \\, which a file name cannot: name the test and the curve "
                    "without them");
  }
  language.source = table.name;
  language.x = {std::string(x.quantity->name), codes->x.code, codes->x.factor, codes->x.per};
  language.y = {std::string(y.quantity->name), codes->y.code, codes->y.factor, codes->y.per};
  return csvPath;
}

}  // namespace soilcal::jobfile::reader
