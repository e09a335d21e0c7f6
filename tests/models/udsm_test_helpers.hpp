// Helpers of the user-model tests: a material set linked to one of the
// test libraries built beside the tests, and access to what the probe
// library recorded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "models/material.hpp"
#include "models/udsm/library_cache.hpp"
#include "models/udsm/link.hpp"
#include "models/udsm/modusr3d.hpp"
#include "models/udsm/names.hpp"
#include "models/udsm/session.hpp"
#include "models/udsm/testlibs/probe_record.h"
#include "services/errors.hpp"
#include "test_support.hpp"

namespace soilcal::models::udsm::testing {

// Probe parameters (user parameters 1..10 in slots 31..40).
inline constexpr double kE = 10000.0, kNu = 0.25;
// G = E / (2 (1 + nu)) = 4000, lambda = E nu / ((1 + nu)(1 - 2 nu)) = 4000.
inline constexpr double kD11 = 12000.0, kD12 = 4000.0, kG = 4000.0;

// The probe's stiffness matrix.
inline Mat6 ProbeStiffness() {
  Mat6 D{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) D[i][j] = i == j ? kD11 : kD12;
    D[i + 3][i + 3] = kG;
  }
  return D;
}

// The four matrix attributes in the order of the link's answers.
inline std::array<int, 4> Flags(const MatrixAttributes& a) {
  return {a.NonSym, a.iStrsDep, a.iTimeDep, a.iTang};
}

struct ProbeSettings {
  int nStat = 0;
  double bulkW = 0.0;
  int nonSym = 0, strsDep = 0, timeDep = 0, tang = 0;
  int failure = 0;         // 1 iAbort, 2 NaN, 3 exception
  int abortValue = 0;
};

inline MaterialSet ProbeSet(const std::string& name, int modelCode, const ProbeSettings& s = {}) {
  MaterialSet set;
  set.modelCode = modelCode;
  set.name = name;
  const std::pair<int, double> propSlots[] = {
      {31, kE}, {32, kNu}, {33, s.nStat}, {34, s.bulkW}, {35, s.nonSym}, {36, s.strsDep},
      {37, s.timeDep}, {38, s.tang}, {39, s.failure}, {40, s.abortValue}};
  for (const auto& [slot, value] : propSlots) set.prop[slot] = value;
  for (int i = 41; i <= 80; ++i) set.prop[i] = 0.5 * i;  // recognisable filler
  return set;
}

// A session whose libraries are looked for from the build folder (the
// fixture libraries in its "udsm/" folder).
inline Session BuildFolderSession() {
  Session session;
  session.programFolder = soilcal::testing::BuildPath("");
  return session;
}

// What the probe library `file` (e.g. "libudsm_probe64.so") has recorded.
class Probe {
 public:
  explicit Probe(const std::string& dllName) {
    lib_ = LoadLibraryOnce(ResolveLibraryFile(soilcal::testing::FixturePath(dllName)), nullptr);
    if (!lib_) return;
    count_ = reinterpret_cast<int (*)()>(lib_->lib.Symbol("ProbeCallCount"));
    call_ = reinterpret_cast<int (*)(int, ProbeRecord*)>(lib_->lib.Symbol("ProbeCall"));
    reset_ = reinterpret_cast<void (*)()>(lib_->lib.Symbol("ProbeReset"));
    extra_ = reinterpret_cast<int (*)(SoilcalUdsmRealInfo*, SoilcalUdsmIntInfo*)>(
        lib_->lib.Symbol("ProbeExtraInfo"));
  }
  bool ok() const { return count_ && call_ && reset_ && extra_; }
  void Reset() const { reset_(); }
  std::vector<ProbeRecord> Calls() const {
    std::vector<ProbeRecord> calls(static_cast<std::size_t>(count_()));
    for (int k = 0; k < static_cast<int>(calls.size()); ++k) call_(k, &calls[static_cast<std::size_t>(k)]);
    return calls;
  }
  int ExtraInfo(SoilcalUdsmRealInfo* r, SoilcalUdsmIntInfo* i) const { return extra_(r, i); }

 private:
  std::shared_ptr<const LoadedLibrary> lib_;
  int (*count_)() = nullptr;
  int (*call_)(int, ProbeRecord*) = nullptr;
  void (*reset_)() = nullptr;
  int (*extra_)(SoilcalUdsmRealInfo*, SoilcalUdsmIntInfo*) = nullptr;
};

// The task numbers of the first `n` recorded calls (all of them by default).
inline std::vector<int> Tasks(const std::vector<ProbeRecord>& calls, std::size_t n = SIZE_MAX) {
  std::vector<int> tasks;
  for (std::size_t k = 0; k < calls.size() && k < n; ++k) tasks.push_back(calls[k].IDTask);
  return tasks;
}

// A ModUsr3D call of `task` for set 1 of `set`.
inline UserCall Call(const MaterialSet& set, int task, int mChk = kCheckStress) {
  UserCall c;
  c.iSet = 1;
  c.IDTask = task;
  c.modelCode = set.modelCode;
  c.mChk = mChk;
  c.prop = &set.prop;
  return c;
}

}  // namespace soilcal::models::udsm::testing
