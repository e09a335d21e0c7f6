#include "labfiles/text.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace soilcal::labfiles {
namespace {

// Windows-1252 code points of the bytes 0x80..0x9F (0 where undefined);
// 0xA0..0xFF are Latin-1, equal to their code points.
constexpr char16_t kCp1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int more = 0;
    if (c < 0x80) {
      more = 0;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      more = 1;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      more = 3;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(more) >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string DecodeText(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (ValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else if (c < 0xA0) {
      const char16_t cp = kCp1252[c - 0x80];
      AppendUtf8(out, cp != 0 ? cp : 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::vector<Row> SplitRows(std::string_view text, const std::string& name, char separator) {
  std::vector<Row> rows;
  Row row;
  std::string cell;
  bool quoted = false;      // inside quotes
  bool wasQuoted = false;   // the cell began with a quote (kept as written)
  int line = 1;
  int rowLine = 1;
  auto endCell = [&] {
    row.cells.push_back(wasQuoted ? cell : std::string(Trim(cell)));
    cell.clear();
    wasQuoted = false;
  };
  auto endRow = [&] {
    endCell();
    while (!row.cells.empty() && row.cells.back().empty()) row.cells.pop_back();
    if (!row.cells.empty()) {
      row.line = rowLine;
      rows.push_back(std::move(row));
    }
    row = Row{};
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        if (c != '\r') cell += c;
      }
      continue;
    }
    if (c == '"' && Trim(cell).empty()) {
      cell.clear();
      quoted = true;
      wasQuoted = true;
    } else if (c == separator) {
      endCell();
    } else if (c == '\n') {
      endRow();
      ++line;
      rowLine = line;
    } else if (c != '\r') {
      if (!wasQuoted) cell += c;
    }
  }
  if (quoted) {
    throw LabFileError(At(name, rowLine) +
                       "a quoted cell is never closed: the file ends inside this row (cut "
                       "short in copying?); give the whole file");
  }
  endRow();
  return rows;
}

std::optional<double> ParseNumber(std::string_view cell) {
  cell = Trim(cell);
  if (cell.empty() || cell.size() > 64) return std::nullopt;
  std::string s(cell);
  if (s.front() == '+') s.erase(0, 1);
  const std::size_t comma = s.find(',');
  if (comma != std::string::npos) {
    if (s.find('.') != std::string::npos || s.find(',', comma + 1) != std::string::npos) {
      return std::nullopt;
    }
    s[comma] = '.';
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::string NormalName(std::string_view name) {
  std::string out;
  bool blank = false;
  for (char c : Trim(name)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LabFileError(path + " cannot be opened: check the path (relative to the job)");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return DecodeText(bytes.str());
}

std::string At(const std::string& name, int line) {
  return name + " line " + std::to_string(line) + ": ";
}

}  // namespace soilcal::labfiles
