// Channels: small unit numbers naming open text files. Unit 2 is the
// diagnostic channel; other files take the first free unit from 10 upward.
#pragma once

#include <cstdio>
#include <string>

namespace soilcal::services {

enum class OpenMode { kRead, kWrite, kAppend };

// First unit from `start` that is not open; stops at 99 even when 99 is open.
int FindFreeUnit(int start);
bool IsUnitOpen(int unit);
// Stream of an open unit, or nullptr.
std::FILE* UnitFile(int unit);
// Closes the unit (no-op when closed). False when the close failed (the
// stream's last data could not be written; errno says why).
bool CloseUnit(int unit);
// Opens `name` on `unit` with up to five attempts; after a failed attempt k it
// writes "Problem to opening <name> ios = <status>" to unit 2, sleeps 100*k ms
// and closes the unit. Returns false when all attempts failed (unit closed);
// `lastError` then gets the errno of the last attempt.
// Unit 2 itself is bound to the diagnostic channel when opened here.
bool OpenWithRetry(int unit, const std::string& name, OpenMode mode, int* lastError = nullptr);
// Test hook: the delay unit in milliseconds (default 100).
void SetRetryDelayUnitMs(int ms);
// Closes every open unit (end of a run).
void CloseAllUnits();

}  // namespace soilcal::services
