// Linux layer for the program's Windows-style paths: both '/' and '\'
// separate folders, and a component that does not exist under its exact name
// is looked up case-insensitively (exact match first). "nul" (any case, in any
// folder) is always /dev/null, whether or not a file of that name exists.
#pragma once

#include <string>

namespace soilcal::services {

// Turns lower-case ASCII letters a..z into upper case; nothing else changes.
std::string ToUpperCase(const std::string& text);
// Index just past the last '\' or '/' of `path` (0 when there is none).
std::size_t FolderLength(const std::string& path);
// The folder part of `path` including its last separator ("" when none).
std::string FolderOf(const std::string& path);
// The part of `path` after its last separator.
std::string BareName(const std::string& path);
// Maps a program path to an existing file-system path: separators become '/',
// a name "nul" becomes /dev/null, and each component that does not exist exactly is
// matched case-insensitively in its folder. Components that match nothing are
// kept as written (so a file about to be created keeps its name).
std::string ResolvePath(const std::string& path);
// True when the file exists (after ResolvePath).
bool FileExists(const std::string& path);
// Folder of the running program, with a trailing '/'; for the engine linked
// into a shared object (the Python module), the folder of that object.
std::string ProgramFolder();
// True when the (resolved) path names the null device.
bool IsNullDevice(const std::string& resolvedPath);
// `text` without trailing blanks (and tabs, CR, LF).
std::string TrimRight(const std::string& text);

}  // namespace soilcal::services
