// A native job held in memory before it is written: the records the engine's
// readers would fill from the files, plus what only the files carry (the
// header line of each lab-test file) and the job's language.
#pragma once

#include <string>
#include <vector>

#include "input/records.hpp"

namespace soilcal::jobfile {

struct NativeJob {
  // Settings, tests (bare file names, descriptions, curves with their codes
  // and points in the files' column order), material set 1 and the model.
  input::Job job;
  std::vector<std::string> titles;  // header line of each lab-test file
  input::JobLanguage language;
  bool thorough = false;            // the flag file of the thorough search
  // The flag file that lets the lab tests simulate Sekiguchi-Ohta (31, 32).
  bool extendedModels = false;
  // The files the job was read from (the TOML file, its CSV files): the
  // native job is never written over one of them.
  std::vector<std::string> inputFiles;
  // What the readers of laboratory files chose for the job's `from` tests
  // (stage, drainage, start, columns, units), written as sources.txt.
  std::string sources;
};

// Exit codes of the job-file errors, the closest native failures.
inline constexpr int kJobFileUnreadable = 12;  // syntax, keys, types, tests
inline constexpr int kCsvMissing = 10;         // a CSV file of a curve is missing
inline constexpr int kCsvUnusable = 11;        // a column is missing, a cell is no number
inline constexpr int kUnknownParameter = 13;   // a name or slot that is not a parameter
inline constexpr int kBadBounds = 14;          // bounds reversed or outside the physical range
inline constexpr int kBadParameterValue = 16;  // a value outside the physical range
inline constexpr int kBadIntensity = 5;        // search intensity not 1, 2 or 3

}  // namespace soilcal::jobfile
