// Clocks and the run-time report.
#pragma once

#include <string>

namespace soilcal::services {

// Milliseconds since local midnight.
int WallClockMs();
// CPU seconds used by the process (user + system).
double CpuTime();
// Replaces the first "%I" of `text` by `value` written without blanks.
std::string FillIntegerPlaceholder(const std::string& text, long long value);
// Writes the free physical memory ("... MB (free) physical memory") to unit 2.
void ReportFreeMemory();
// Timer table: reset (report level) and the run-time report to unit 2.
void TimerReset(int reportLevel);
void TimerReport();
// Starts timer `id` (1..64), stopping the running one; stops the running one.
void TimerStart(int id);
void TimerStop();
// Looks for a toggle file in <program>/toggles/ then <program>/../toggles/.
bool CheckToggle(const std::string& name, std::string* path = nullptr);
// The same search from `programFolder` (with its trailing separator).
bool CheckToggleIn(const std::string& programFolder, const std::string& name,
                   std::string* path = nullptr);
// Modal message box: one line "caption: text" on standard error.
void ShowMessageBox(const std::string& caption, const std::string& text);
// Message box with the caption "TrkW3D", or "TrkW3DF" when `variant` is 1.
void OK_MessageBox(const std::string& text, int variant = 0);
// Sets flush-to-zero and denormals-are-zero for this thread.
void SetFlushToZero();
// This thread's floating-point control word (rounding, flush-to-zero), and
// setting it: a worker thread takes the word of the thread it works for, so
// it computes bit for bit the same numbers.
unsigned long FpControlWord();
void SetFpControlWord(unsigned long word);

}  // namespace soilcal::services
