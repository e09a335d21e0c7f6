// What the library says of its model: the names, symbols, slots, units and
// physical ranges of the parameters and the state variables.
#include <cmath>

#include "parameters.hpp"
#include "soilcal/user_model.h"

namespace hypoplastic {
namespace {

constexpr double kInf = HUGE_VAL;
constexpr int32_t kNone = SOILCAL_UDSM_UNIT_NONE;
constexpr int32_t kStress = SOILCAL_UDSM_UNIT_STRESS;
constexpr int32_t kAngle = SOILCAL_UDSM_UNIT_ANGLE;

constexpr SoilcalUdsmParameter kParameters[] = {
    {"phi_c", "φc", kPhiC, kAngle, 0.0, 90.0, 1, 1, "critical friction angle"},
    {"hs", "hs", kHs, kStress, 0.0, kInf, 1, 0, "granular hardness"},
    {"n", "n", kN, kNone, 0.0, 1.0, 1, 0, "exponent of the compression law"},
    {"ed0", "ed0", kEd0, kNone, 0.0, kInf, 1, 0, "smallest void ratio at zero pressure"},
    {"ec0", "ec0", kEc0, kNone, 0.0, kInf, 1, 0, "critical void ratio at zero pressure"},
    {"ei0", "ei0", kEi0, kNone, 0.0, kInf, 1, 0, "largest void ratio at zero pressure"},
    {"alpha", "α", kAlpha, kNone, 0.0, kInf, 0, 0, "exponent of the peak friction (density factor)"},
    {"beta", "β", kBeta, kNone, 0.0, kInf, 0, 0, "exponent of the stiffness (density factor)"},
    {"mR", "mR", kMR, kNone, 0.0, kInf, 0, 0,
     "stiffness factor on a reversal (0 switches the intergranular strain off)"},
    {"mT", "mT", kMT, kNone, 0.0, kInf, 0, 0, "stiffness factor on a 90° turn of the strain path"},
    {"R", "R", kR, kNone, 0.0, kInf, 1, 0, "size of the elastic range (strain)"},
    {"beta_r", "βr", kBetaR, kNone, 0.0, kInf, 0, 0,
     "exponent of the evolution of the intergranular strain"},
    {"chi", "χ", kChi, kNone, 0.0, kInf, 1, 0, "exponent of the stiffness interpolation"},
    {"e0", "e0", kE0, kNone, 0.0, kInf, 0, 0, "start void ratio (0: from n0)"},
    {"n0", "n0", kN0, kNone, 0.0, 1.0, 0, 1, "start porosity, used when e0 is 0"},
    {"p_t", "pt", kPt, kStress, 0.0, kInf, 0, 0, "shift of the mean stress (a small cohesion)"},
    {"tolerance", "tol", kTolerance, kNone, 0.0, 0.1, 0, 0,
     "relative error of a substep (0: 1e-4)"},
    {"rho0", "ρ0", kRho0, kNone, 0.0, 1.0, 0, 0,
     "start intergranular strain / R along the start stress (1: after a consolidation)"},
};

constexpr SoilcalUdsmStateVariable kStateVariables[] = {
    {"e", kNone, "void ratio"},
    {"delta_xx", kNone, "intergranular strain xx"},
    {"delta_yy", kNone, "intergranular strain yy"},
    {"delta_zz", kNone, "intergranular strain zz"},
    {"delta_xy", kNone, "intergranular strain xy (tensor component)"},
    {"delta_yz", kNone, "intergranular strain yz (tensor component)"},
    {"delta_zx", kNone, "intergranular strain zx (tensor component)"},
    {"last_deps_xx", kNone, "strain increment of the last step xx"},
    {"last_deps_yy", kNone, "strain increment of the last step yy"},
    {"last_deps_zz", kNone, "strain increment of the last step zz"},
    {"last_deps_xy", kNone, "strain increment of the last step xy (engineering)"},
    {"last_deps_yz", kNone, "strain increment of the last step yz (engineering)"},
    {"last_deps_zx", kNone, "strain increment of the last step zx (engineering)"},
    {"substeps", kNone, "substeps of the last step"},
};

constexpr SoilcalUdsmModelInfo kModel{
    SOILCAL_UDSM_DESCRIPTION_VERSION,
    "hypoplastic_sand",
    "hypoplastic sand with intergranular strain",
    sizeof kParameters / sizeof kParameters[0],
    kParameters,
    sizeof kStateVariables / sizeof kStateVariables[0],
    kStateVariables};

}  // namespace
}  // namespace hypoplastic

extern "C" SOILCAL_UDSM_EXPORT const SoilcalUdsmModelInfo* DescribeUserModel(int32_t* iMod) {
  return iMod != nullptr && *iMod == 1 ? &hypoplastic::kModel : nullptr;
}
