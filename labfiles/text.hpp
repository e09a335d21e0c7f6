// The text of a laboratory's file as it comes: any of UTF-8 (with or without
// a byte-order mark), Latin-1 or Windows-1252, CRLF or LF line ends, quoted
// comma-separated cells that may hold a line break, numbers with a decimal
// comma or point. Everything the readers see is UTF-8 rows of cells.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace soilcal::labfiles {

// A file that cannot become a test; the text names the file, the line and
// what to do.
struct LabFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One row of cells and the file line it starts on (1-based).
struct Row {
  std::vector<std::string> cells;
  int line = 0;
};

// UTF-8 text of the file's bytes: a byte-order mark dropped; bytes that are
// no valid UTF-8 read as Windows-1252 (a superset of Latin-1's printable
// characters), so "mm\xB3" becomes "mm³".
std::string DecodeText(std::string_view bytes);

// Rows of comma-separated cells (or `separator`), cells unquoted and
// trimmed, trailing empty cells dropped, empty lines skipped. A quote left
// open at the end is a file cut inside a row: LabFileError naming `name`
// and the line where the row began.
std::vector<Row> SplitRows(std::string_view text, const std::string& name, char separator = ',');

// The number a cell holds, with a decimal point or a decimal comma
// ("0,125796"), surrounding blanks allowed; nullopt for anything else.
std::optional<double> ParseNumber(std::string_view cell);

// Lower case, runs of blanks made one, ends trimmed: "Eff. Radial  Stress"
// and "eff. radial stress" are one name.
std::string NormalName(std::string_view name);

// The whole file at `path`, decoded; LabFileError when it cannot be read.
std::string ReadTextFile(const std::string& path);

// "file line N: " for messages.
std::string At(const std::string& name, int line);

}  // namespace soilcal::labfiles
