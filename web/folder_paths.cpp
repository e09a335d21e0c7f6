#include "web/folder_paths.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace soilcal::web {
namespace fs = std::filesystem;

namespace {

bool Within(const fs::path& root, const fs::path& path) {
  auto r = root.begin();
  auto p = path.begin();
  for (; r != root.end(); ++r, ++p) {
    if (r->empty()) continue;  // the empty last element of "root/"
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::optional<fs::path> ResolveInside(const fs::path& root, std::string_view relative) {
  if (relative.empty() || relative.front() == '/') return std::nullopt;
  if (relative.find_first_of(std::string_view("\\%\0", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  const fs::path asked(relative);
  for (const fs::path& part : asked) {
    if (part == "..") return std::nullopt;
  }
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(root / asked, error);
  if (error || !Within(root, resolved)) return std::nullopt;
  return resolved;
}

std::string RelativeName(const fs::path& root, const fs::path& path) {
  return path.lexically_relative(root).generic_string();
}

std::string UploadRefusal(std::string_view name, std::string_view bytes) {
  if (name.empty() || name.front() == '.' || name.size() > 200 ||
      name.find_first_of("/\\:") != std::string_view::npos) {
    return "the file name \"" + std::string(name) +
           "\" cannot be stored: give a plain name without folders, not beginning with a dot";
  }
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return "the file name has control characters: rename the file";
  }
  const std::string lower = Lower(name);
  for (std::string_view tail : {".so", ".dll", ".exe", ".dylib", ".com", ".bat", ".sh"}) {
    if (EndsWith(lower, tail) || lower.find(".so.") != std::string::npos) {
      return "\"" + std::string(name) +
             "\" is named like a program or a shared library; the workbench stores lab files only";
    }
  }
  // ELF, Windows PE, Mach-O (both byte orders, 32 and 64 bit, universal) and scripts.
  static constexpr std::array<std::string_view, 7> kMagic = {
      std::string_view("\x7f" "ELF", 4), std::string_view("MZ", 2),
      std::string_view("\xfe\xed\xfa\xce", 4), std::string_view("\xfe\xed\xfa\xcf", 4),
      std::string_view("\xce\xfa\xed\xfe", 4), std::string_view("\xcf\xfa\xed\xfe", 4),
      std::string_view("\xca\xfe\xba\xbe", 4)};
  for (std::string_view magic : kMagic) {
    if (bytes.substr(0, magic.size()) == magic) {
      return "\"" + std::string(name) +
             "\" is a program or a shared library; the workbench stores lab files only";
    }
  }
  if (bytes.substr(0, 2) == "#!") {
    return "\"" + std::string(name) + "\" is a script; the workbench stores lab files only";
  }
  return "";
}

}  // namespace soilcal::web
