// Per-evaluation state of the user-defined soil models (models 21..30): the
// link of each material set to its library, the extra information the
// libraries gave, the run-wide matrix attributes, the stiffness the library
// returned last and the state-variable usage codes. One Session belongs to
// one simulation context, so evaluations on several threads never share it;
// the loaded libraries themselves are cached process-wide (library_cache).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "models/tensor.hpp"
#include "services/errors.hpp"
#include "soilcal/user_model.h"

namespace soilcal::models::udsm {

inline constexpr int kMaxSets = 1000;
inline constexpr int kNameRecordSize = 256;
inline constexpr int kExtraTextLength = 255;
inline constexpr int kExtraValues = 10;

struct LoadedLibrary;

// Library name of a set as the program hands it on: byte 0 the length n
// (1..255), bytes 1..n the characters.
using NameRecord = std::array<char, kNameRecordSize>;

// Link of one material set, empty until LoadUserModelLibrary fills it.
struct SetLink {
  std::shared_ptr<const LoadedLibrary> library;
  SoilcalUserModFunc* entry = nullptr;  // nullptr: served through the bridge
  bool linked = false;
  std::string name;                     // current library name (messages)
};

// What getdllextrainfo gave for a set.
struct ExtraInfo {
  std::string text = std::string(kExtraTextLength, ' ');
  std::array<std::int32_t, kExtraValues> ints{};
  std::array<double, kExtraValues> reals{};
};

// Run-wide matrix attributes: an answer 1 of any library sets the flag;
// nothing sets it back.
struct MatrixAttributes {
  int NonSym = 0;
  int iStrsDep = 0;
  int iTimeDep = 0;
  int iTang = 0;
};

struct Session {
  std::vector<SetLink> links;        // index = set number, allocated at the first link
  std::vector<ExtraInfo> extra;      // same indexing, allocated at the first link
  MatrixAttributes attributes;
  Mat6 savedStiffness{};             // last D of task 3 or 6, handed in with task 2
  std::vector<std::int32_t> stVarUsageList;  // usage code per state variable
  std::shared_ptr<const LoadedLibrary> bridge;
  bool parallelCalls = false;        // toggle USE_PARALLEL_UDSM_STRESS_INTEGRATION
  int linkCount = 0;                 // clusters linked so far ("Call Set_DLL_Name" lines)
  int maxNStat = 0;                  // largest state-variable count of the linked sets
  double refPressure = 100.0;        // 100 kPa in the job's units (setdllextrainfo)
  // Folder the libraries are looked for from; empty means the program folder.
  std::string programFolder;
  // Extra message texts when the caller gave no place for them.
  services::KernelMessageTexts texts;
  // Work copies of the state variables for the stiffness tasks, sized at link.
  std::vector<double> scratch0;
  std::vector<double> scratch;
};

// A fresh session; reads the toggle "USE_PARALLEL_UDSM_STRESS_INTEGRATION".
std::shared_ptr<Session> MakeSession();

}  // namespace soilcal::models::udsm
