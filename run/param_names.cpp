// Names of exit codes and of material-parameter slots in the result file.
#include <array>
#include <string>
#include <string_view>

#include "run/result_file.hpp"

namespace soilcal::run {
namespace {

struct SlotName {
  int index;
  std::string_view name;
};

constexpr std::array<std::string_view, 20> kExitCodeNames = {
    "",
    "INTERNAL_ERROR_INVALID_MODEL",
    "OPTIMIZATION_FILE_NOT_INDICATED",
    "COULD_NOT_LOAD_ZARIRUDE_DLL",
    "ZARIRUDE_DLL_IS_CORRUPT",
    "UKNOWN_SEARCH_INTENSITY_GIVEN",
    "COULD_NOT_ALLOCATE_MEMORY",
    "INTERNAL_ERROR_PSWARM",
    "COULD_NOT_INITIALIZE_POINTS",
    "NO_FEASIBLE_POINTS_FOUND",
    "CURVE_FILE_NOT_FOUND",
    "INTERNAL_INCONSIST_TEST_CURVE",
    "NO_OPTIMIZATION_INPUT_FILE",
    "MAT_PARAM_INDEX_OUTSIDE_RANGE",
    "MAT_PRM_UPPER_BOUND_ABOVE_LOWER",
    "NO_INPUT_VLC_FILE",
    "ERROR_IN_VLC_PARAMETER",
    "WRONG_MAT_PARAM_IN_CURVE_FILE",
    "USER_ABORT",
    "SMALL_OVERLAP_CURVES",
};

// Slots named alike for every model.
constexpr SlotName kGeneralNames[] = {
    {1, "Gref"}, {2, "nu"}, {3, "phi"}, {4, "Cref"}, {5, "psi"}, {6, "vert_ref"},
    {7, "cincr"}, {8, "K0"}, {9, "GAMMAunsat"}, {10, "GAMMAsat"},
    {11, "perm_primary_horizontal_axis"}, {12, "perm_vertical_axis"}, {13, "Rinter"},
    {14, "perm_secondary_horizontal_axis"}, {15, "TensileStrength"}, {16, "TensionCutOff"},
    {17, "UDPower"}, {18, "verticalinc"}, {19, "Ginc"}, {20, "ninit"}, {21, "nmin"},
    {22, "nmax"}, {23, "GAMMApore"}, {24, "NUinter"}, {25, "RayleighAlpha"},
    {26, "RayleighBeta"}, {27, "Ck"}, {28, "NUu"}, {29, "UDPRef"}, {71, "Cs"},
    {72, "lambda"}, {73, "RHOs"}, {78, "BETAdt_x"}, {79, "BETAdt_y"}, {80, "BETAdt_z"},
    {81, "BETAs_t"}, {82, "Dv"}, {83, "F_tv"}, {101, "K0Primary"}, {102, "K0Secondary"},
    {103, "OCR"}, {104, "POP"}, {106, "PsiK"}, {107, "PsiS"}, {110, "PsiUnsat"},
    {111, "Ssat"}, {112, "Sres"}, {113, "ga"}, {114, "gn"}, {115, "gl"},
};

// Model-specific slots 31..50.
constexpr SlotName kModel3Names[] = {{33, "delta"}, {34, "Powerm"}, {35, "pref"}};
constexpr SlotName kSoftSoilNames[] = {  // models 4 and 8
    {31, "M"}, {32, "LambdaKappa"}, {34, "Powerm"}, {37, "K0nc"},
    {38, "kappaModified"}, {39, "lambdaModified"}, {40, "MuModified"}};
constexpr SlotName kCamClayNames[] = {  // model 5
    {31, "M"}, {32, "LambdaKappa"}, {34, "Powerm"}, {35, "pref"},
    {37, "K0nc"}, {38, "kappaModified"}, {39, "lambdaModified"}};
constexpr SlotName kHardeningSoilNames[] = {  // models 6 and 19
    {31, "M"}, {32, "Ks/Kc"}, {33, "delta"}, {34, "Powerm"}, {35, "pref"},
    {36, "G50ref"}, {37, "Rf"}, {38, "EOedRef"}, {39, "K0nc"}, {40, "E50ref"},
    {48, "FailureCriterion"}, {49, "G0ref"}, {50, "gamma07"}};
constexpr SlotName kModel7Names[] = {
    {31, "GVE"}, {32, "VNUIVE"}, {33, "ETAVE"}, {34, "ETAVP"}, {36, "APEX"}};

template <std::size_t N>
const std::string_view* Find(const SlotName (&table)[N], int index) {
  for (const SlotName& entry : table) {
    if (entry.index == index) return &entry.name;
  }
  return nullptr;
}

const std::string_view* FindModelName(int baseModel, int index) {
  switch (baseModel) {
    case 3: return Find(kModel3Names, index);
    case 4:
    case 8: return Find(kSoftSoilNames, index);
    case 5: return Find(kCamClayNames, index);
    case 6:
    case 19: return Find(kHardeningSoilNames, index);
    case 7: return Find(kModel7Names, index);
    default: return nullptr;
  }
}

}  // namespace

std::string ExitCodeName(int code) {
  if (code >= 1 && code < static_cast<int>(kExitCodeNames.size())) {
    return std::string(kExitCodeNames[static_cast<std::size_t>(code)]);
  }
  return "Unknown error";
}

std::string ParamName(int index, int baseModel) {
  std::string name = "ProLay" + std::to_string(index);
  if (const auto* general = Find(kGeneralNames, index)) name = *general;
  if (const auto* own = FindModelName(baseModel, index)) name = *own;
  const auto first = name.find_first_not_of(' ');
  name = first == std::string::npos ? std::string() : name.substr(first);
  return name.substr(0, 40);
}

}  // namespace soilcal::run
