// CSV files of measured and simulated curves: a header row of column names,
// then one row per point. Fields are separated by commas (or by semicolons
// or tabs when the header holds no comma), may be quoted with double quotes,
// and numbers use a decimal point; in a file separated by semicolons or tabs
// (a spreadsheet's export where the comma is the decimal sign) a number may
// use a decimal comma instead. Empty lines and lines beginning with '#' are
// skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace soilcal::jobfile {

// A CSV file that cannot be used; the message names the file, the line and
// the column.
struct CsvError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct CsvTable {
  std::string name;                              // file name for messages
  std::vector<std::string> header;               // column names, trimmed
  std::vector<std::vector<std::string>> rows;    // cells as written, trimmed
  std::vector<int> lines;                        // file line of each row (1-based)
  bool decimalComma = false;                     // ';' or tab separated: "0,25" is 0.25
};

// Reads `path`; `name` is how messages call the file. Throws CsvError when
// the file cannot be read or has no header row.
CsvTable ReadCsv(const std::string& path, const std::string& name);
// Parses CSV text (the file's content).
CsvTable ParseCsv(const std::string& text, const std::string& name);

// Index of the column named `column`, or -1.
int ColumnIndex(const CsvTable& table, const std::string& column);
// "a", "b" and "c" for messages.
std::string ColumnList(const CsvTable& table);

// The values of one column; a cell that is not a finite number throws
// CsvError naming the file, line and column.
std::vector<double> NumericColumn(const CsvTable& table, int column);

// CSV text of equally long columns under `header`; numbers are written with
// the fewest digits that read back to the same double.
std::string CsvText(const std::vector<std::string>& header,
                    const std::vector<std::vector<double>>& columns);

}  // namespace soilcal::jobfile
