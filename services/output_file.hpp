// Output files that never show a reader half a file, and failures that are
// always said.
//
// WriteFileAtomically writes the whole text into a temporary file in the
// target's own folder, checks every write, syncs the data to the disk,
// closes the file (checked) and renames it over the target. A reader sees
// the old file or the new one, never a part of either; on any failure the
// temporary file is removed and the target is left as it was.
//
// ReportOutputFailure puts one line on standard error that names the file
// and the cause, and counts the failure for the run (each run has its own
// count, services/run_services.hpp), so that --exit-status can turn a run
// whose outputs were not all written into a non-zero status.
#pragma once

#include <string>
#include <string_view>

namespace soilcal::services {

// The outcome of a write: ok, or the cause in words ("No space left on
// device").
struct WriteStatus {
  bool ok = true;
  std::string cause;
  explicit operator bool() const { return ok; }
};

// Replaces the file at `path` (a file-system path, already resolved) by
// `text`, through a temporary file in the same folder.
WriteStatus WriteFileAtomically(const std::string& path, std::string_view text);

// Writes all of `data` to the descriptor (short writes and EINTR retried).
// Returns 0, or the errno of the failed write.
int WriteAll(int fd, std::string_view data);

// The system's text for an errno value.
std::string ErrorText(int errnum);

// "soilcal: cannot write <path>: <cause>" on standard error, and one more
// failure counted for the run.
void ReportOutputFailure(const std::string& path, const std::string& cause);
// "soilcal: <sentence>" for any other output the run could not make or
// clear as it should, counted the same way.
void ReportFileFailure(const std::string& sentence);
// Failures reported by this run so far.
int OutputFailures();

}  // namespace soilcal::services
