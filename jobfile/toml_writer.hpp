// A native job written as a TOML job with CSV files: named parameters where
// the model's table names them exactly, slot_N otherwise, template tests
// where a template gives exactly the test's loading, general tests
// elsewhere. Every number is written so that the TOML job's native job reads
// back to the same values, bit for bit.
#pragma once

#include <string>
#include <vector>

#include "input/records.hpp"

namespace soilcal::jobfile {

struct TomlJobText {
  std::string toml;                     // the job file
  struct Csv {
    std::string name;                   // file name beside the job file
    std::string text;
  };
  std::vector<Csv> csv;                 // one per curve
};

// The TOML job of a native job read by the engine's readers (curves read);
// `source` is named in the file's first comment. Throws services::RunError
// (exit code 12) for a job no TOML job can express (tests of different base
// models, a slot freed twice).
TomlJobText NativeToToml(const input::Job& job, bool thorough, const std::string& source);

// Writes it: the job to `path`, the CSV files beside it.
void WriteTomlJob(const TomlJobText& text, const std::string& path);

}  // namespace soilcal::jobfile
