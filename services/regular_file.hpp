// Inputs are read only from regular files. A FIFO, a socket, a device or a
// folder named as an input is refused with a sentence instead of being
// opened: a FIFO would block the run in open() for ever, a folder reads as
// nothing. The file is opened without waiting (O_NONBLOCK) and then looked
// at, so a FIFO put in place after a check never blocks either.
#pragma once

#include <cstdio>
#include <string>

namespace soilcal::services {

// Why the file-system path `path` cannot be read as an input file, in words
// that follow its name ("is a folder, not a file"), or "" when it names a
// regular file, the null device or nothing at all (a missing file is the
// caller's own message).
std::string NotARegularFile(const std::string& path);

// " (it is a FIFO (a named pipe), not a regular file)" for a program path
// that names no regular file, "" otherwise: the end of a sentence that says
// a file cannot be opened.
std::string KindInParentheses(const std::string& programPath);

// Opens the file-system path `path` for reading when it is a regular file
// (or the null device); nullptr otherwise, with `why` set as by
// NotARegularFile or to the system's reason.
std::FILE* OpenRegularFile(const std::string& path, std::string* why = nullptr);

// The whole content of a regular file. False, with `why` set, when it is no
// regular file or cannot be read.
bool ReadRegularFile(const std::string& path, std::string& text, std::string* why = nullptr);

}  // namespace soilcal::services
