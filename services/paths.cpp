// Windows-style program paths on a case-sensitive Linux file system.
#include "services/paths.hpp"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

namespace soilcal::services {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` ignoring ASCII case. Several
// matches (only possible on a case-sensitive system) resolve to the smallest
// name, so the choice does not depend on the directory order.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> matches;
  while (const dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (EqualsIgnoreCase(candidate, name)) matches.push_back(std::move(candidate));
  }
  ::closedir(dir);
  if (matches.empty()) return std::nullopt;
  return *std::min_element(matches.begin(), matches.end());
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

}  // namespace

std::string ToUpperCase(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string TrimRight(const std::string& text) {
  const auto end = text.find_last_not_of(" \t\r\n");
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::size_t FolderLength(const std::string& path) {
  const auto last = path.find_last_of("\\/");
  return last == std::string::npos ? 0 : last + 1;
}

std::string FolderOf(const std::string& path) { return path.substr(0, FolderLength(path)); }

std::string BareName(const std::string& path) { return path.substr(FolderLength(path)); }

std::string ResolvePath(const std::string& path) {
  const std::string written = TrimRight(path);
  std::string unixPath = written;
  std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
  if (unixPath.empty()) return unixPath;
  // "nul" is the null device in any folder and any case, even where a file
  // of that name exists: such a file is never opened.
  if (EqualsIgnoreCase(BareName(unixPath), "nul")) return "/dev/null";
  if (PathExists(unixPath)) return unixPath;
  const bool backslash = written.find('\\') != std::string::npos;
  // A Linux folder or file whose name holds a backslash is that name.
  if (backslash && PathExists(written)) return written;

  const bool absolute = unixPath.front() == '/';
  const bool trailingSlash = unixPath.back() == '/';
  std::string resolved = absolute ? "/" : "";
  bool resolving = true;
  auto step = [&](const std::string& part) {
    std::string name = part;
    if (resolving && part != "." && part != ".." && !PathExists(resolved + part)) {
      if (auto match = FindIgnoringCase(resolved, part)) {
        name = *match;
      } else {
        resolving = false;  // the rest does not exist yet: keep it as written
      }
    }
    resolved += name;
    resolved += '/';
  };
  // Split at '/' first; a piece that holds a backslash is kept whole when a
  // name of that spelling exists, and is split at its backslashes otherwise.
  for (const std::string& piece : SplitComponents(written)) {
    if (piece.find('\\') == std::string::npos) {
      step(piece);
      continue;
    }
    if (resolving && (PathExists(resolved + piece) || FindIgnoringCase(resolved, piece))) {
      step(piece);
      continue;
    }
    std::string split = piece;
    std::replace(split.begin(), split.end(), '\\', '/');
    for (const std::string& part : SplitComponents(split)) step(part);
  }
  if (!trailingSlash && resolved.size() > 1) resolved.pop_back();
  return resolved;
}

bool FileExists(const std::string& path) {
  const std::string resolved = ResolvePath(path);
  if (resolved.empty()) return false;
  struct stat st {};
  return ::stat(resolved.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsNullDevice(const std::string& resolvedPath) {
  if (resolvedPath == "/dev/null") return true;
  struct stat st {};
  struct stat null {};
  return ::stat(resolvedPath.c_str(), &st) == 0 && ::stat("/dev/null", &null) == 0 &&
         S_ISCHR(st.st_mode) && st.st_rdev == null.st_rdev;
}

namespace {

// Something that lives in the binary holding this code.
const char kWhereThisCodeLives = 0;

// The folder of the shared object holding this code when the engine is
// linked into one (the Python module); "" when it is the program itself.
std::string SharedObjectFolder() {
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(&kWhereThisCodeLives, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ==
          0 ||
      map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
    return {};
  }
  char resolved[PATH_MAX];
  if (::realpath(map->l_name, resolved) == nullptr) return {};
  return FolderOf(resolved);
}

}  // namespace

std::string ProgramFolder() {
  // A module that links the engine keeps the program's libraries beside
  // itself, as the program does.
  if (std::string folder = SharedObjectFolder(); !folder.empty()) return folder;
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "./";
  buffer.resize(static_cast<std::size_t>(n));
  const std::string folder = FolderOf(buffer);
  return folder.empty() ? "./" : folder;
}

}  // namespace soilcal::services
