// Paths a request names, kept inside the served folder, and the uploads a
// workbench refuses to store.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace soilcal::web {

// The file `relative` (as the request names it, already percent-decoded)
// inside `root` (canonical), with every symbolic link followed; none when
// it is absolute, climbs with "..", holds a backslash, a NUL or a percent
// sign left over from a second encoding, or leads out of `root` through a
// link.
std::optional<std::filesystem::path> ResolveInside(const std::filesystem::path& root,
                                                   std::string_view relative);

// `path` relative to `root` with '/' separators (both canonical).
std::string RelativeName(const std::filesystem::path& root, const std::filesystem::path& path);

// The reason an upload named `name` with content `bytes` is refused, or ""
// when it may be stored: names with separators or a leading dot, shared
// libraries and executables by name or by their first bytes.
std::string UploadRefusal(std::string_view name, std::string_view bytes);

}  // namespace soilcal::web
