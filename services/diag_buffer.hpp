// Diagnostic lines held in memory: while a DiagBuffer lives, the diagnostic
// lines of the calling thread are kept in it instead of going to unit 2,
// and Take() hands them over (to be appended to unit 2 once it is open).
// The run uses it while it reads the optimisation file, before it knows
// whether opening the log "file2" could replace one of the job's files.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "services/diag.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {

class DiagBuffer {
 public:
  DiagBuffer();
  ~DiagBuffer();
  DiagBuffer(const DiagBuffer&) = delete;
  DiagBuffer& operator=(const DiagBuffer&) = delete;

  // The lines written so far; the thread's channel is given back.
  std::string Take();

 private:
  void Close();

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_ = nullptr;
  DiagChannel channel_;
  std::optional<DiagRedirect> redirect_;
};

}  // namespace soilcal::services
