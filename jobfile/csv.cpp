#include "jobfile/csv.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "services/diag.hpp"
#include "services/notices.hpp"

namespace soilcal::jobfile {
namespace {

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const std::size_t last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

char DelimiterOf(const std::string& header) {
  bool quoted = false;
  bool semicolon = false;
  bool tab = false;
  for (char c : header) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',') return ',';
    semicolon = semicolon || c == ';';
    tab = tab || c == '\t';
  }
  if (semicolon) return ';';
  return tab ? '\t' : ',';
}

// Fields of one line; a quoted field may hold the delimiter and "" for a quote.
std::vector<std::string> Fields(const std::string& line, char delimiter) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c == delimiter && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& f : fields) f = Trim(f);
  return fields;
}

// "0,25" -> "0.25" where the comma can only be the decimal sign: one comma
// and no point. "1.234,5" keeps its comma and is refused, since its point
// would be a thousands separator whose meaning a reader must not guess.
std::string WithDecimalPoint(std::string cell) {
  const std::size_t comma = cell.find(',');
  if (comma == std::string::npos || cell.find(',', comma + 1) != std::string::npos) return cell;
  if (cell.find('.') != std::string::npos) return cell;
  cell[comma] = '.';
  return cell;
}

bool Skipped(const std::string& line) {
  const std::string t = Trim(line);
  return t.empty() || t[0] == '#';
}

}  // namespace

CsvTable ParseCsv(const std::string& text, const std::string& name) {
  CsvTable table;
  table.name = name;
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  char delimiter = ',';
  bool haveHeader = false;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (Skipped(line)) continue;
    if (!haveHeader) {
      delimiter = DelimiterOf(line);
      table.header = Fields(line, delimiter);
      table.decimalComma = delimiter != ',';
      haveHeader = true;
      continue;
    }
    table.rows.push_back(Fields(line, delimiter));
    table.lines.push_back(lineNumber);
  }
  if (!haveHeader) throw CsvError(name + " has no header row of column names");
  return table;
}

CsvTable ReadCsv(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CsvError(name + " cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseCsv(text.str(), name);
}

int ColumnIndex(const CsvTable& table, const std::string& column) {
  for (std::size_t i = 0; i < table.header.size(); ++i) {
    if (table.header[i] == column) return static_cast<int>(i);
  }
  return -1;
}

std::string ColumnList(const CsvTable& table) {
  std::string list;
  for (std::size_t i = 0; i < table.header.size(); ++i) {
    if (i > 0) list += i + 1 == table.header.size() ? " and " : ", ";
    list += "\"" + table.header[i] + "\"";
  }
  return list.empty() ? "no columns" : list;
}

std::vector<double> NumericColumn(const CsvTable& table, int column) {
  std::vector<double> values;
  const std::string& columnName = table.header[static_cast<std::size_t>(column)];
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const auto& row = table.rows[r];
    const std::string where = table.name + " line " + std::to_string(table.lines[r]) +
                              ", column \"" + columnName + "\"";
    if (static_cast<std::size_t>(column) >= row.size() || row[column].empty()) {
      throw CsvError(where + " is empty; every row needs a number there");
    }
    const std::string cell = table.decimalComma ? WithDecimalPoint(row[column]) : row[column];
    const char* begin = cell.data() + (cell[0] == '+' ? 1 : 0);
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(begin, cell.data() + cell.size(), v);
    if (ec != std::errc() || ptr != cell.data() + cell.size() || !std::isfinite(v)) {
      throw CsvError(where + ": " + services::Quoted(cell) +
                     (table.decimalComma
                          ? " is not a number (one decimal point or comma, no thousands "
                            "separators, no units in the cell)"
                          : " is not a number (use a decimal point, no units in the cell)"));
    }
    values.push_back(v);
  }
  return values;
}

std::string CsvText(const std::vector<std::string>& header,
                    const std::vector<std::vector<double>>& columns) {
  std::string text;
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (c > 0) text += ',';
    const bool quote = header[c].find_first_of(",\"") != std::string::npos;
    text += quote ? "\"" + header[c] + "\"" : header[c];
  }
  text += '\n';
  const std::size_t rows = columns.empty() ? 0 : columns.front().size();
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) text += ',';
      text += services::FormatReal(columns[c][r] + 0.0);
    }
    text += '\n';
  }
  return text;
}

}  // namespace soilcal::jobfile
