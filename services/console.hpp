// The console of a run: what the program prints on standard output (the
// "Header line" echo, the "ERROR = ..." lines of the search) and on standard
// error (notices, warnings, message boxes). A run started by the program
// prints to its streams; a run started from another front end (the Python
// module) can bind a sink that captures the lines or passes them on.
#pragma once

#include <string_view>

namespace soilcal::services {

enum class ConsoleStream { kOut, kErr };

// Receives the console text of the runs bound to it, from any thread that
// works for them: an implementation serialises its own writes.
class ConsoleSink {
 public:
  virtual ~ConsoleSink() = default;
  virtual void Write(ConsoleStream stream, std::string_view text) = 0;
};

// Writes `text` (whole lines, newline included) to the sink of the run bound
// to this thread, or to stdout / stderr, flushed, when it binds none.
void ConsoleWrite(ConsoleStream stream, std::string_view text);

}  // namespace soilcal::services
