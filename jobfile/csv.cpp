#include "jobfile/csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "services/diag.hpp"
#include "services/notices.hpp"
#include "services/regular_file.hpp"

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

std::string At(const std::string& name, int line, std::size_t column) {
  return name + " line " + std::to_string(line) + ", column " + std::to_string(column + 1);
}

// A spreadsheet saved as "Unicode text" is UTF-16: every other byte is NUL.
void RefuseUtf16(const std::string& text, const std::string& name) {
  const bool bom = text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0;
  const std::size_t nul = text.find('\0');
  if (!bom && nul == std::string::npos) return;
  const int line = 1 + static_cast<int>(std::count(text.begin(),
                                                   text.begin() + static_cast<std::ptrdiff_t>(
                                                       bom ? 0 : nul),
                                                   '\n'));
  throw CsvError(name + " line " + std::to_string(line) +
                 (bom ? " begins as a UTF-16 file" : " holds a NUL byte, as a UTF-16 file does") +
                 ": save it as UTF-8 text (\"CSV UTF-8\")");
}

// Trailing empty cells are only a spreadsheet's habit and are dropped, from
// the header as from the rows; a name left empty or given twice would make
// the column a guess.
void CheckHeader(std::vector<std::string>& header, const std::string& name, int line) {
  while (header.size() > 1 && header.back().empty()) header.pop_back();
  for (std::size_t c = 0; c < header.size(); ++c) {
    if (header[c].empty()) {
      throw CsvError(At(name, line, c) + ": the column has no name; give every column a name");
    }
    for (std::size_t d = 0; d < c; ++d) {
      if (header[d] == header[c]) {
        throw CsvError(At(name, line, c) + ": the column name \"" + header[c] +
                       "\" is given twice (also column " + std::to_string(d + 1) +
                       "); rename one of them so the job names one column");
      }
    }
  }
}

// A row of more cells than the header has names is mostly a number written
// with a thousands separator ("1,200.0"): read as two cells it would shift
// every later value, so it is refused, as is a row that stops short.
void CheckRow(std::vector<std::string>& row, const CsvTable& table, int line) {
  const std::size_t columns = table.header.size();
  while (row.size() > columns && row.back().empty()) row.pop_back();
  if (row.size() > columns) {
    throw CsvError(At(table.name, line, columns) + ": the row has " +
                   std::to_string(row.size()) + " cells under a header of " +
                   std::to_string(columns) + " columns (" + ColumnList(table) +
                   "); write numbers without a thousands separator and quote a cell that "
                   "holds the delimiter");
  }
  if (row.size() < columns) {
    throw CsvError(At(table.name, line, row.size()) + " (\"" + table.header[row.size()] +
                   "\"): the row has " + std::to_string(row.size()) + " cells under a header of " +
                   std::to_string(columns) + " columns; give every row a cell for each column");
  }
}

}  // namespace

CsvTable ParseCsv(const std::string& text, const std::string& name) {
  CsvTable table;
  table.name = name;
  RefuseUtf16(text, name);
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
      CheckHeader(table.header, name, lineNumber);
      haveHeader = true;
      continue;
    }
    std::vector<std::string> row = Fields(line, delimiter);
    CheckRow(row, table, lineNumber);
    table.rows.push_back(std::move(row));
    table.lines.push_back(lineNumber);
  }
  if (!haveHeader) throw CsvError(name + " has no header row of column names");
  return table;
}

CsvTable ReadCsv(const std::string& path, const std::string& name) {
  std::string text;
  std::string why;
  if (!services::ReadRegularFile(path, text, &why)) throw CsvError(name + " " + why);
  return ParseCsv(text, name);
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
