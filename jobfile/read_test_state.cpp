// A test's own start state: `e0` (or `n0`) in a [[tests]] table gives the
// void ratio (porosity) of that test's specimen, which in a series of tests
// differs from specimen to specimen. It sets the set's porosity (slot 20)
// for that test and, when the model declares a start void ratio or porosity
// of its own (a user-model library's e0, n0), that slot too.
#include <cmath>

#include "jobfile/reader_parts.hpp"
#include "models/parameter_table.hpp"
#include "services/diag.hpp"

namespace soilcal::jobfile::reader {
namespace {

namespace params = models::params;

// The calibration frees `slot`: a test cannot also fix it.
bool Free(const NativeJob& out, int slot) {
  for (int i : out.job.settings.index) {
    if (i == slot) return true;
  }
  return false;
}

}  // namespace

void ReadTestState(const State& s, const toml::table& t, const std::string& what,
                   NativeJob& out) {
  std::vector<input::TestSlot> own;
  const std::optional<double> e0 = s.file.Number(t, "e0");
  const std::optional<double> n0 = s.file.Number(t, "n0");
  if (e0 && n0) {
    s.file.Fail(kJobFileUnreadable, *t.get("n0"),
                what + " gives e0 and n0: give its start void ratio e0 or its porosity n0, not both");
  }
  if (e0 || n0) {
    const char* key = e0 ? "e0" : "n0";
    const double v = e0 ? *e0 : *n0;
    if (e0 && !(std::isfinite(v) && v > 0.0 && v < 100.0)) {
      s.file.Fail(kBadParameterValue, *t.get(key),
                  what + ": e0 = " + services::FormatReal(v) +
                      " is no void ratio; give a positive value such as 0.85");
    }
    if (n0 && !(v > 0.0 && v < 1.0)) {
      s.file.Fail(kBadParameterValue, *t.get(key),
                  what + ": n0 = " + services::FormatReal(v) +
                      " is no porosity; give a value between 0 and 1 such as 0.46");
    }
    const double e = e0 ? v : v / (1.0 - v);
    const double n = e0 ? v / (1.0 + v) : v;
    auto add = [&](int slot, double value, const char* name) {
      if (Free(out, slot)) {
        s.file.Fail(kJobFileUnreadable, *t.get(key),
                    what + " gives its own " + key + ", but [calibrate] frees " + name +
                        " (slot " + std::to_string(slot) +
                        "): a value calibrated for all tests cannot also be fixed per test; "
                        "remove one of them");
      }
      for (const input::TestSlot& o : own) {
        if (o.slot == slot) return;
      }
      own.push_back({slot, value, key});
    };
    add(20, n, "the porosity n0");
    if (s.table != nullptr) {
      const params::Parameter* eSlot = params::FindParameter(*s.table, "e0");
      const params::Parameter* nSlot = params::FindParameter(*s.table, "n0");
      if (eSlot != nullptr && eSlot->slot != 20) add(eSlot->slot, e, "e0");
      if (nSlot != nullptr && nSlot->slot != 20) add(nSlot->slot, n, "n0");
    }
  }
  out.language.testSlots.push_back(std::move(own));
}

}  // namespace soilcal::jobfile::reader
