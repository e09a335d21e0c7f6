// Bounds a TOML job file meets before the TOML parser reads it. The parser
// descends once per level of nested arrays, inline tables and dotted keys,
// so a file nested tens of thousands of levels deep would overflow the
// stack; a job needs a handful of levels and a few kilobytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace soilcal::jobfile {

inline constexpr std::size_t kMaxTomlBytes = std::size_t{4} << 20;  // 4 MiB
inline constexpr int kMaxTomlNesting = 64;

// The deepest nesting of `text` (table headers and dotted keys, arrays and
// inline tables counted together), the line where it is first reached, and
// the first line nested deeper than kMaxTomlNesting (0: none).
struct TomlNesting {
  int depth = 0;
  int line = 0;
  int firstLineTooDeep = 0;
};
TomlNesting DeepestNesting(const std::string& text);

// Raises the run error 12 naming the file when `bytes` is more than
// kMaxTomlBytes (checked before a file is read).
void CheckTomlSize(std::uintmax_t bytes, const std::string& path);

// Raises the run error 12 naming the file (and the line) when `text` is
// larger than kMaxTomlBytes or nested deeper than kMaxTomlNesting.
void CheckTomlBounds(const std::string& text, const std::string& path);

}  // namespace soilcal::jobfile
