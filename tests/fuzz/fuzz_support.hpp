// Shared by the fuzz targets: the input bytes as a file of the job, and a
// reader call that may end with a run error or a kernel error but with
// nothing else.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "services/errors.hpp"

namespace soilcal::fuzz {

// A scratch folder of this process, made once, with a trailing '/'.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    char name[] = "/tmp/soilcal_fuzz_XXXXXX";
    const char* made = ::mkdtemp(name);
    return std::string(made != nullptr ? made : "/tmp") + "/";
  }();
  return folder;
}

// Writes the bytes to `path` (replacing it).
inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Runs `read`; the ways a reader may legitimately end are caught, anything
// else (another exception, a sanitizer report, a crash) is a finding.
template <class Read>
void Guarded(Read&& read) {
  try {
    read();
  } catch (const services::RunError&) {
  } catch (const services::KernelAbort&) {
  }
}

}  // namespace soilcal::fuzz
