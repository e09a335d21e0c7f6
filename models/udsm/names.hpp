// File-name rules of user-model libraries: the name record of a set, the
// "64" insertion and the folders the library is looked for in.
#pragma once

#include <array>
#include <string>

#include "models/udsm/session.hpp"

namespace soilcal::models::udsm {

// Record of a material name: length byte, then at most 255 characters.
NameRecord MakeNameRecord(const std::string& name);

// Name used in messages: the record's characters with every byte that is not
// above the blank (control characters, bytes 128 and up) turned into a blank.
std::string MessageName(const NameRecord& record);

// Name used for loading: the characters of the record with codes 1..127 kept
// at their positions, blanks elsewhere, trailing blanks removed.
std::string LibraryName(const NameRecord& record);

// "usermod.dll" -> "usermod64.dll": "64" goes before the last ".DLL" (any
// letter case) unless the name already contains "64.DLL". A name without
// ".DLL" is returned unchanged.
std::string Insert64(const std::string& name);

// File names that serve the library "X.dll": X.dll, libX.so, X.so (a name
// without ".dll" is tried as written, then as libX.so and X.so).
std::array<std::string, 3> LibraryFileNames(const std::string& bareName);
// True when the library `path` ("folder\X.dll") exists as X.dll, libX.so or
// X.so in its folder (letter case resolved by the Linux layer).
bool LibraryFileExists(const std::string& path);
// The existing file that serves `path` (first of X.dll, libX.so, X.so), or
// `path` unchanged when none exists.
std::string ResolveLibraryFile(const std::string& path);

// Path of the library `name` (after Insert64) relative to `programFolder`
// (with its trailing separator): "..\udsm\" + name when it exists there,
// else name in the folder itself, else "..\lib\" + name (an installed
// program) when it exists, else "udsm\" + name taken without a further test.
std::string FindUserModelLibrary(const std::string& programFolder, const std::string& name);

}  // namespace soilcal::models::udsm
