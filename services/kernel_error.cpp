// Kernel errors: problems found inside a simulated test.
//
// In virtual-lab mode (set once the lab-test simulation is initialised) a
// kernel error becomes KernelAbort with the "ZIrez" message box text, and the
// run ends without a result section. Outside it (while the input is read) the
// error is looked up by MyStop, recorded in the ".itp" file, and its number
// decides: 0 and 100..200 return to the caller (warnings), every other number
// ends the run (KernelAbort without a message box).
#include <cstring>
#include <mutex>

#include "services/channels.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/message_state.hpp"

namespace soilcal::services {
namespace {

constexpr int kFirstRecordUnit = 30;

// Serialises MyStop and the record file between threads that fail at once.
std::mutex& KernelErrorSection() {
  static std::mutex section;
  return section;
}

// Main text, then the second text on its own line when that is longer than
// one character.
std::string TwoLineText(const KernelMessageTexts& texts) {
  const std::string main = texts.main.substr(0, kExtraTextLength);
  if (texts.second.size() > 1) return TrimRightBlanks(main) + "\r\n" + texts.second;
  return main;
}

void WriteKernelRecord(int number) {
  const int unit = FindFreeUnit(kFirstRecordUnit);
  if (!OpenWithRetry(unit, KernelRecordPath(), OpenMode::kWrite)) return;
  if (std::FILE* f = UnitFile(unit)) {
    // Calculation state before and after the number: no calculation phase
    // runs in a calibration, so both are 0.
    std::fprintf(f, " %d %d %d\n", 0, number, 0);
    std::fflush(f);
  }
  CloseUnit(unit);
}

bool StopsTheRun(int s) {
  if (s == 0) return false;
  if (s > 0 && StopOnError() == 1) return true;
  if (s > 200) return true;
  if (s >= 100) return false;  // 100..200: warning, the caller goes on
  return true;                 // 1..99 and negative numbers
}

}  // namespace

std::string KernelMessage(int n, const KernelMessageTexts& texts) {
  switch (n) {
    case 25: return "The water weight is zero.";
    case 26: return "Unable to load dll.";
    case 32: return "Allocation memory error.";
    case 33: return "Internal error.";
    case 37: return "DeAllocation memory error.";
    case 38: return "Invalid plate material table";
    case 41: return "K0-nc ~= 0 in Sekiguchi-Ohta model, please correct";
    case 47: return "Invalid material set.";
    case 56: return "Invalid geotextile material table";
    case 246: return "Programmer abort request !";
    case 247: return TwoLineText(texts);
    case 254: return "Cancelled by user.";
    default: return "Unknown error";
  }
}

MyStopResult MyStop(int n, const KernelMessageTexts& texts) {
  if (Diag().on()) {
    Diag().Line("MyStop", n);
    if (const int warnings = WarningCount(); warnings > 0) {
      Diag().Line(std::to_string(warnings) + " warnings given");
    }
  }
  return MyStopResult{n, KernelMessage(n, texts)};
}

void KernelError(int n, const KernelMessageTexts& texts) {
  if (VirtualLabMode() == 1) {
    const std::string message =
        n == 247 ? TwoLineText(texts) : " Error " + std::to_string(n) + " in program";
    throw KernelAbort(n, "ZIrez", message);
  }
  MyStopResult stop;
  {
    std::lock_guard lock(KernelErrorSection());
    stop = MyStop(n, texts);
    WriteKernelRecord(stop.number);
  }
  if (Diag().on()) TimerReport();
  if (StopsTheRun(stop.number)) throw KernelAbort(stop.number, "", stop.message);
}

void KernelErrorWithTexts(const std::string& main, const std::string& second) {
  KernelMessageTexts texts;
  texts.main = main.substr(0, kExtraTextLength);
  if (!second.empty()) texts.second = second.substr(0, kExtraTextLength);
  KernelError(247, texts);
  throw KernelAbort(247, "", KernelMessage(247, texts));  // 247 always stops
}

void KernelErrorWithNote(int n, const std::string& note) {
  SetLastMessageText(note);
  KernelError(n);
}

void CheckAssertion(bool condition, int n, const std::string& message) {
  if (condition) return;
  if (Diag().on()) {
    Diag().Flush();
    Diag().Line("Assertion error: " + message);
    Diag().Flush();
  }
  std::string kept = TrimRightBlanks(message.substr(0, kLastMessageLength));
  for (char& c : kept) {
    if (c == ' ') c = '_';
  }
  SetLastMessageText(kept);
  KernelError(n);
  throw KernelAbort(n, "", message);
}

namespace {

void ReportReleaseOrAllocation(const char* what, int position, int status) {
  if (!Diag().on()) return;
  Diag().Line(std::string(what) + std::to_string(status) + " from position " +
              std::to_string(position));
  Diag().Line(std::string("msg : ") + std::strerror(status));
}

}  // namespace

void ReportAllocationError(int position, int status) {
  if (status == 0) return;
  ReportReleaseOrAllocation("Allocation error, ", position, status);
  KernelMessageTexts texts;
  texts.main = FillIntegerPlaceholder("Memory allocation error, position %I", position);
  texts.second = "Probably the problem is too big to fit in memory";
  KernelError(32, texts);
  throw KernelAbort(32, "", texts.main);  // 32 always stops
}

void ReportDeallocationError(int position, int status) {
  if (status == 0) return;
  ReportReleaseOrAllocation("DeAllocation error, ", position, status);
  KernelError(37);
  throw KernelAbort(37, "", KernelMessage(37));  // 37 always stops
}

}  // namespace soilcal::services
