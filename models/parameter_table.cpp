// The parameter names of the built-in models, their slots, symbols, units,
// physical ranges and what the completion does to them (see the README's
// material-slot tables for the models' own use of each slot).
#include "models/parameter_table.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "models/degrees.hpp"
#include "models/udsm/describe.hpp"

// The table rows leave the derivation fields of plain parameters to their
// defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace soilcal::models::params {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Range kPositive{0.0, kInf, true, false};
constexpr Range kNonNegative{0.0, kInf, false, false};
constexpr Range kAny{-kInf, kInf, false, false};
constexpr Range kPoisson{0.0, 0.5, false, true};
constexpr Range kFriction{0.0, 90.0, false, false};
constexpr Range kDilatancy{-90.0, 90.0, false, false};
constexpr Range kUnitInterval{0.0, 1.0, false, false};
constexpr Range kFraction{0.0, 1.0, true, false};      // (0, 1]
constexpr Range kPorosity{0.0, 1.0, false, true};      // [0, 1)
constexpr Range kRatio{0.0, kInf, true, false};

using Q = Quantity;
using S = Stored;
using D = Derivation;

// Building blocks shared by several models.
constexpr Parameter kShear{"G", 1, "G", "shear modulus", Q::kStress, S::kAsGiven, "", kPositive};
constexpr Parameter kYoung{"E", 1, "E", "Young's modulus", Q::kStress, S::kShearFromYoung, "nu",
                           kPositive};
constexpr Parameter kNu{"nu", 2, "ν", "Poisson's ratio", Q::kNone, S::kAsGiven, "", kPoisson};
constexpr Parameter kNuUr{"nu_ur", 2, "νur", "Poisson's ratio of unloading and reloading",
                          Q::kNone, S::kAsGiven, "", kPoisson};
constexpr Parameter kPhi{"phi", 3, "φ", "friction angle", Q::kAngle, S::kSine, "", kFriction};
constexpr Parameter kCohesion{"c", 4, "c", "cohesion", Q::kStress, S::kAsGiven, "", kNonNegative};
constexpr Parameter kPsi{"psi", 5, "ψ", "dilatancy angle", Q::kAngle, S::kSine, "", kDilatancy};
constexpr Parameter kTension{"tension", 16, "σt", "tensile strength", Q::kStress, S::kAsGiven, "",
                             kNonNegative};
constexpr Parameter kN0{"n0", 20, "n0", "initial porosity", Q::kNone, S::kAsGiven, "", kPorosity};
constexpr Parameter kE0{"e0", 20, "e0", "initial void ratio", Q::kNone,
                        S::kPorosityFromVoidRatio, "", kNonNegative};
constexpr Parameter kOcr{"OCR", 103, "OCR", "over-consolidation ratio", Q::kNone, S::kAsGiven, "",
                         kNonNegative};
constexpr Parameter kPop{"POP", 104, "POP", "pre-overburden pressure", Q::kStress, S::kAsGiven, "",
                         kNonNegative};
constexpr Parameter kPref{"pref", 35, "pref", "reference pressure", Q::kStress, S::kAsGiven, "",
                          kPositive, D::kWhenNotPositive,
                          "as 100 kPa in the job's units when not positive"};
constexpr Parameter kPowerM{"m", 34, "m", "power of the stress dependency of the stiffness",
                            Q::kNone, S::kAsGiven, "", kUnitInterval};
// The soft-soil family takes a power of 0 as 1.
constexpr Parameter kSoftSoilPowerM{"m", 34, "m", "power of the stress dependency of the stiffness",
                                    Q::kNone, S::kAsGiven, "", kUnitInterval, D::kWhenNotPositive,
                                    "as 1 when not positive"};
constexpr Parameter kKappaStar{"kappa_star", 38, "κ*", "modified swelling index", Q::kNone,
                               S::kAsGiven, "", kFraction};
constexpr Parameter kLambdaStar{"lambda_star", 39, "λ*", "modified compression index", Q::kNone,
                                S::kAsGiven, "", kFraction};

constexpr Parameter kLinearElastic[] = {kShear, kYoung, kNu, kN0, kE0};

constexpr Parameter kMohrCoulomb[] = {
    kShear, kYoung, kNu, kPhi, kCohesion, kPsi, kTension, kN0, kE0,
    {"y_ref", 6, "y_ref", "reference level of the cohesion", Q::kLength, S::kAsGiven, "", kAny},
    {"c_inc", 7, "c_inc", "increase of the cohesion with depth", Q::kStressPerLength, S::kAsGiven,
     "", kNonNegative}};

// Slot 1 of the soft-soil family follows from kappa* before every test.
constexpr Parameter kSoftSoilShear{
    "G", 1, "G", "shear modulus", Q::kStress, S::kAsGiven, "", kPositive, D::kOverwritten,
    "from kappa_star, nu_ur and pref before every test"};
constexpr Parameter kSoftSoilM{"M", 31, "M", "critical stress ratio", Q::kNone, S::kAsGiven, "",
                               kRatio, D::kOverwritten,
                               "from K0nc, nu_ur and lambda_star/kappa_star before every test"};
constexpr Parameter kK0ncSoft{"K0nc", 37, "K0nc", "earth pressure at rest, normally consolidated",
                              Q::kNone, S::kAsGiven, "", kFraction};
constexpr Parameter kLambdaOverKappa{"lambda_over_kappa", 32, "λ*/κ*",
                                     "compression over swelling index", Q::kNone, S::kAsGiven, "",
                                     kRatio, D::kOverwritten,
                                     "as lambda_star/kappa_star before every test"};
constexpr Parameter kKappa{"kappa", 40, "κ", "swelling index (1 + e0) κ*", Q::kNone, S::kAsGiven,
                           "", kRatio, D::kOverwritten,
                           "as (1 + e0) kappa_star before every test"};

// Dilatancy cut-off of the Hardening Soil models: ψ acts as 0 while the
// porosity lies outside [n_min, n_max] (a TOML job gives n_max = 1, no
// cut-off, unless told otherwise).
constexpr Parameter kNMin{"n_min", 21, "n_min", "porosity below which the dilatancy is cut off",
                          Q::kNone, S::kAsGiven, "", kUnitInterval};
constexpr Parameter kNMax{"n_max", 22, "n_max",
                          "porosity above which the dilatancy is cut off (1: no cut-off)",
                          Q::kNone, S::kAsGiven, "", kUnitInterval};
constexpr Parameter kEMin{"e_min", 21, "e_min", "void ratio below which the dilatancy is cut off",
                          Q::kNone, S::kPorosityFromVoidRatio, "", kNonNegative};
constexpr Parameter kEMax{"e_max", 22, "e_max", "void ratio above which the dilatancy is cut off",
                          Q::kNone, S::kPorosityFromVoidRatio, "", kNonNegative};
// Modified Cam-Clay: slot 3 is read by the admissibility rules only
// (K0nc at least (1 − sin φ)/(1 + sin φ)); the model's strength is M.
constexpr Parameter kCamClayPhi{"phi", 3, "φ", "friction angle (admissibility of K0nc only)",
                                Q::kAngle, S::kSine, "", kFriction};

constexpr Parameter kSoftSoil[] = {kSoftSoilShear,  kNuUr,       kPhi,        kCohesion, kPsi,
                                   kTension,        kSoftSoilM,  kSoftSoilPowerM, kPref, kK0ncSoft,
                                   kKappaStar,      kLambdaStar, kOcr,        kPop,      kN0,
                                   kE0,             kLambdaOverKappa, kKappa};

constexpr Parameter kCamClay[] = {
    kSoftSoilShear, kNuUr, {"M", 31, "M", "critical stress ratio", Q::kNone, S::kAsGiven, "", kRatio},
    kCamClayPhi,
    kSoftSoilPowerM, kPref, kK0ncSoft, kKappaStar, kLambdaStar, kOcr, kPop, kN0, kE0,
    kLambdaOverKappa, kKappa};

constexpr Parameter kCreep[] = {
    kSoftSoilShear, kNuUr, kPhi, kCohesion, kPsi, kTension, kSoftSoilM, kSoftSoilPowerM, kPref,
    kK0ncSoft, kKappaStar, kLambdaStar,
    {"mu_star", 40, "μ*", "modified creep index", Q::kNone, S::kAsGiven, "", kFraction},
    {"tau", 42, "τ", "reference time of the creep rate", Q::kTime, S::kAsGiven, "", kPositive},
    kOcr, kPop, kN0, kE0, kLambdaOverKappa,
    {"lambda_minus_kappa", 48, "λ* − κ*", "compression less swelling index", Q::kNone,
     S::kAsGiven, "", kRatio, D::kOverwritten, "as lambda_star − kappa_star before every test"},
    {"mu_over_tau", 49, "μ*/τ", "creep rate at the reference time", Q::kPerTime, S::kAsGiven, "",
     kRatio, D::kOverwritten, "as mu_star/tau before every test"},
    {"creep_ratio", 50, "(λ* − κ*)/μ*", "creep exponent", Q::kNone, S::kAsGiven, "", kRatio,
     D::kOverwritten, "as (lambda_star − kappa_star)/mu_star before every test"}};

// Hardening Soil: slot 1 holds G of unloading, given as Gurref or Eurref.
constexpr Parameter kHardeningSoilBase[] = {
    {"Gurref", 1, "Gurref", "shear modulus of unloading at pref", Q::kStress, S::kAsGiven, "",
     kPositive},
    {"Eurref", 1, "Eurref", "Young's modulus of unloading at pref", Q::kStress,
     S::kShearFromYoung, "nu_ur", kPositive},
    kNuUr, kPhi, kCohesion, kPsi, kTension, kPowerM, kPref,
    {"Rf", 37, "Rf", "failure ratio", Q::kNone, S::kAsGiven, "", kFraction},
    {"Eoedref", 38, "Eoedref", "oedometer modulus at pref", Q::kStress, S::kAsGiven, "", kPositive},
    {"K0nc", 39, "K0nc", "earth pressure at rest, normally consolidated", Q::kNone, S::kAsGiven, "",
     kFraction, D::kWhenNotPositive, "as 1 − sin φ when below 0"},
    {"E50ref", 40, "E50ref", "secant modulus at half the failure deviator, at pref", Q::kStress,
     S::kAsGiven, "", kPositive},
    {"alpha", 31, "α", "cap shape", Q::kNone, S::kAsGiven, "", kRatio, D::kOverwritten,
     "by the cap fit to Eoedref and K0nc before every test"},
    {"Ks_over_Kc", 32, "Ks/Kc", "cap stiffness ratio", Q::kNone, S::kAsGiven, "", kRatio,
     D::kOverwritten, "by the cap fit to Eoedref and K0nc before every test"},
    {"Giref", 36, "Giref", "initial shear modulus of the hyperbola", Q::kStress, S::kAsGiven, "",
     kPositive, D::kOverwritten, "by the cap fit before every test"},
    kOcr, kPop, kN0, kE0, kNMin, kNMax, kEMin, kEMax};

constexpr Parameter kSmallStrainExtra[] = {
    {"failure_criterion", 48, "FailureCriterion", "0 Mohr-Coulomb failure, 1 hyperbola only",
     Q::kNone, S::kAsGiven, "", kUnitInterval},
    {"G0ref", 49, "G0ref", "small-strain shear modulus at pref", Q::kStress, S::kAsGiven, "",
     kPositive},
    {"gamma07", 50, "γ0.7", "shear strain at which G has decayed to 0.7 G0", Q::kNone,
     S::kAsGiven, "", kFraction}};

template <std::size_t A, std::size_t B>
constexpr std::array<Parameter, A + B> Join(const Parameter (&a)[A], const Parameter (&b)[B]) {
  std::array<Parameter, A + B> out{};
  for (std::size_t i = 0; i < A; ++i) out[i] = a[i];
  for (std::size_t i = 0; i < B; ++i) out[A + i] = b[i];
  return out;
}
constexpr auto kHardeningSoilSmall = Join(kHardeningSoilBase, kSmallStrainExtra);

constexpr Parameter kNgiAdp[] = {
    {"G", 1, "Gur", "unloading shear modulus", Q::kStress, S::kAsGiven, "", kPositive,
     D::kOverwritten, "as Gur_over_suA times suA before every test"},
    kNu,
    {"phi", 3, "φ", "friction angle", Q::kAngle, S::kSine, "", kFriction, D::kOverwritten,
     "as 0 before every test: the model works in total stresses"},
    {"tension", 16, "σt", "tensile strength", Q::kStress, S::kAsGiven, "", kNonNegative,
     D::kOverwritten, "as 1e10 before every test: the model has no tension cut-off"},
    {"Gur_inc", 19, "Gur,inc", "increase of Gur with depth", Q::kStressPerLength, S::kAsGiven, "",
     kNonNegative, D::kOverwritten, "as Gur_over_suA times suA_inc before every test"},
    {"suA", 4, "s_u^A", "active (plane-strain compression) undrained shear strength", Q::kStress,
     S::kAsGiven, "", kPositive},
    {"y_ref", 6, "y_ref", "reference depth", Q::kLength, S::kAsGiven, "", kAny},
    {"suA_inc", 7, "s_u,inc^A", "increase of s_u^A with depth", Q::kStressPerLength, S::kAsGiven, "",
     kNonNegative},
    {"nu_u", 28, "νu", "undrained Poisson's ratio", Q::kNone, S::kAsGiven, "", kPoisson},
    {"Gur_over_suA", 31, "Gur/s_u^A", "unloading shear modulus over s_u^A", Q::kNone, S::kAsGiven,
     "", kPositive},
    {"suP", 33, "s_u^P", "passive (triaxial extension) undrained shear strength", Q::kStress,
     S::kAsGiven, "", kNonNegative},
    {"suDSS", 34, "s_u^DSS", "direct simple shear undrained shear strength", Q::kStress,
     S::kAsGiven, "", kNonNegative},
    {"suP_over_suA", 36, "s_u^P/s_u^A", "passive over active strength", Q::kNone, S::kAsGiven, "",
     kPositive, D::kOverwritten, "from suP and suA before every test when suP is given", 33},
    {"suDSS_over_suA", 37, "s_u^DSS/s_u^A", "simple-shear over active strength", Q::kNone,
     S::kAsGiven, "", kPositive, D::kOverwritten,
     "from suDSS and suA before every test when suDSS is given", 34},
    {"gammaf_C", 38, "γf^C", "shear strain at failure in triaxial compression", Q::kPercent,
     S::kAsGiven, "", kPositive},
    {"gammaf_E", 39, "γf^E", "shear strain at failure in triaxial extension", Q::kPercent,
     S::kAsGiven, "", kPositive},
    {"gammaf_DSS", 40, "γf^DSS", "shear strain at failure in direct simple shear", Q::kPercent,
     S::kAsGiven, "", kPositive},
    {"tau0_over_suA", 41, "τ0/s_u^A", "initial shear stress over s_u^A", Q::kNone, S::kAsGiven, "",
     kAny},
    {"suC_over_suA", 44, "s_u^C,TX/s_u^A", "triaxial over plane-strain compression strength",
     Q::kNone, S::kAsGiven, "", kNonNegative},
    kN0, kE0};

constexpr Parameter kHoekBrown[] = {
    kShear, kYoung, kNu,
    {"sigma_ci", 31, "σci", "uniaxial compressive strength of the intact rock", Q::kStress,
     S::kAsGiven, "", kPositive},
    {"mi", 32, "mi", "intact rock constant", Q::kNone, S::kAsGiven, "", kPositive,
     D::kIgnoredOnceDerived, "only to derive mb and s when they are not given; the set keeps them"},
    {"GSI", 33, "GSI", "geological strength index", Q::kNone, S::kAsGiven, "", {0.0, 100.0},
     D::kIgnoredOnceDerived,
     "only to derive mb, s and a when they are not given; the set keeps them"},
    {"D", 36, "D", "disturbance factor", Q::kNone, S::kAsGiven, "", kUnitInterval,
     D::kIgnoredOnceDerived, "only to derive mb and s when they are not given; the set keeps them"},
    {"tension_factor", 41, "tension factor", "tensile cut-off over s σci/mb", Q::kNone,
     S::kAsGiven, "", kNonNegative},
    {"mb", 45, "mb", "rock-mass constant", Q::kNone, S::kAsGiven, "", kPositive,
     D::kWhenNotPositive, "from mi, GSI and D when not positive"},
    {"s", 46, "s", "rock-mass constant", Q::kNone, S::kAsGiven, "", kUnitInterval,
     D::kWhenNotPositive, "from GSI and D when not positive"},
    {"a", 47, "a", "rock-mass exponent", Q::kNone, S::kAsGiven, "", {0.0, 1.0, true, false},
     D::kWhenNotPositive, "from GSI when not positive"},
    {"psi", 48, "ψ", "dilatancy angle at zero confinement", Q::kAngle, S::kAsGiven, "",
     {0.0, 90.0}},
    {"sigma_psi", 49, "σψ", "confining stress at which dilatancy has faded", Q::kStress,
     S::kAsGiven, "", kPositive},
    {"tensile_strength", 58, "s σci/mb", "tensile strength", Q::kStress, S::kAsGiven, "", kAny,
     D::kOverwritten, "as s sigma_ci/mb before every test"},
    kN0, kE0};

constexpr Parameter kSekiguchiOhtaBase[] = {
    {"G", 1, "G", "shear modulus", Q::kStress, S::kAsGiven, "", kPositive, D::kOverwritten,
     "from kappa_star, nu and pref before every test"},
    kNu, kN0, kE0,
    {"M", 31, "M", "critical stress ratio", Q::kNone, S::kAsGiven, "", kRatio},
    {"D", 33, "D", "dilatancy coefficient (λ* − κ*)/M", Q::kNone, S::kAsGiven, "", kAny,
     D::kOverwritten, "from lambda_star, kappa_star and M"},
    {"m", 34, "m", "power of the stress dependency of the stiffness", Q::kNone, S::kAsGiven, "",
     kNonNegative, D::kWhenNotPositive, "as 1 when not positive"},
    kPref,
    {"eta0", 36, "η0", "stress ratio of K0 consolidation", Q::kNone, S::kAsGiven, "", kAny,
     D::kOverwritten, "from K0nc"},
    {"K0nc", 37, "K0nc", "earth pressure at rest, normally consolidated", Q::kNone, S::kAsGiven, "",
     kFraction},
    kKappaStar, kLambdaStar, kOcr, kPop};
constexpr Parameter kViscidExtra[] = {
    {"alpha", 40, "α", "secondary compression coefficient", Q::kNone, S::kAsGiven, "", kPositive},
    {"v0", 41, "v0", "initial volumetric strain rate", Q::kPerTime, S::kAsGiven, "", kPositive}};
constexpr auto kSekiguchiOhtaViscid = Join(kSekiguchiOhtaBase, kViscidExtra);

// UBC3D sand: modulus numbers and exponents of the stress-dependent
// stiffness, friction angles in degrees (slot 3 takes sin(phi_p)), the
// densification and post-liquefaction factors; moduli, phi_p and Rf not
// given follow from (N1)60.
constexpr Parameter kUbcSand[] = {
    {"phi", 3, "φp", "peak friction angle (as its sine)", Q::kAngle, S::kSine, "", kFriction,
     D::kOverwritten, "as sin(phi_p) before every test"},
    kCohesion,
    kN0, kE0,
    {"KGe", 31, "K_G^e", "elastic shear modulus number", Q::kNone, S::kAsGiven, "", kPositive,
     D::kWhenNotPositive, "from N160 when not positive"},
    {"KBe", 32, "K_B^e", "elastic bulk modulus number", Q::kNone, S::kAsGiven, "", kPositive,
     D::kWhenNotPositive, "as 0.7 KGe when not positive and N160 is given"},
    {"KGp", 33, "K_G^p", "plastic shear modulus number", Q::kNone, S::kAsGiven, "", kPositive,
     D::kWhenNotPositive, "from KGe and N160 when not positive"},
    {"ne", 34, "ne", "exponent of the elastic shear modulus", Q::kNone, S::kAsGiven, "",
     kUnitInterval},
    kPref,
    {"me", 36, "me", "exponent of the elastic bulk modulus", Q::kNone, S::kAsGiven, "",
     kUnitInterval},
    {"np", 37, "np", "exponent of the plastic shear modulus", Q::kNone, S::kAsGiven, "",
     kUnitInterval},
    {"phi_cv", 38, "φcv", "constant-volume friction angle", Q::kAngle, S::kAsGiven, "", kFriction},
    {"phi_p", 39, "φp", "peak friction angle", Q::kAngle, S::kAsGiven, "", kFriction,
     D::kWhenNotPositive, "from phi_cv and N160 when not positive"},
    {"Rf", 40, "Rf", "failure ratio", Q::kNone, S::kAsGiven, "", kFraction, D::kWhenNotPositive,
     "from N160, else 0.9, when not positive"},
    {"fdens", 41, "f_dens", "densification factor", Q::kNone, S::kAsGiven, "", kPositive,
     D::kWhenNotPositive, "from N160, else 1, when not positive"},
    {"fEpost", 42, "f_Epost", "post-liquefaction stiffness factor", Q::kNone, S::kAsGiven, "",
     kPositive, D::kWhenNotPositive, "1 when not positive"},
    {"N160", 43, "(N1)60", "normalised SPT blow count", Q::kNone, S::kAsGiven, "", kNonNegative},
    {"tension", 44, "σt", "tensile strength", Q::kStress, S::kAsGiven, "", kNonNegative},
    {"fabric_scale", 45, "z_f", "fabric of cyclic mobility that halves the dilatancy",
     Q::kNone, S::kAsGiven, "", kPositive, D::kWhenNotPositive, "4 when not positive"}};

constexpr Model kModels[] = {
    {1, "linear_elastic", "linear elastic", kLinearElastic},
    {2, "mohr_coulomb", "Mohr-Coulomb", kMohrCoulomb},
    {4, "soft_soil", "soft soil", kSoftSoil},
    {5, "modified_cam_clay", "modified Cam-Clay", kCamClay},
    {6, "hardening_soil", "Hardening Soil", kHardeningSoilBase},
    {8, "soft_soil_creep", "soft-soil creep", kCreep},
    {12, "ngi_adp", "NGI-ADP", kNgiAdp},
    {15, "hoek_brown", "Hoek-Brown", kHoekBrown},
    {19, "hardening_soil_small", "Hardening Soil with small-strain stiffness",
     kHardeningSoilSmall},
    {31, "sekiguchi_ohta", "Sekiguchi-Ohta (inviscid)", kSekiguchiOhtaBase},
    {32, "sekiguchi_ohta_viscid", "Sekiguchi-Ohta (viscid)", kSekiguchiOhtaViscid},
    {34, "ubc3d_sand", "UBC3D sand", kUbcSand},
    {35, "ngi_adp_35", "NGI-ADP", kNgiAdp},
};

// The example user-model library (examples/udsm): model 21 is Mohr-Coulomb
// with its angles in degrees as given (no sine), model 22 linear elastic.
constexpr Parameter kUserYoung{"E", 31, "E", "Young's modulus", Q::kStress, S::kAsGiven, "",
                               kPositive};
constexpr Parameter kUserNu{"nu", 32, "ν", "Poisson's ratio", Q::kNone, S::kAsGiven, "", kPoisson};
constexpr Parameter kUserMohrCoulomb[] = {
    kUserYoung, kUserNu,
    {"c", 33, "c", "cohesion", Q::kStress, S::kAsGiven, "", kNonNegative},
    {"phi", 34, "φ", "friction angle", Q::kAngle, S::kAsGiven, "", kFriction},
    {"psi", 35, "ψ", "dilatancy angle (used as min(ψ, φ))", Q::kAngle, S::kAsGiven, "",
     kDilatancy},
    {"tension", 36, "σt", "tensile strength (at most c cot φ)", Q::kStress, S::kAsGiven, "",
     kNonNegative},
    kN0, kE0};
constexpr Parameter kUserElastic[] = {kUserYoung, kUserNu, kN0, kE0};

constexpr UserModel kUserModels[] = {
    {"usermod.dll", {21, "usermod_mohr_coulomb", "Mohr-Coulomb of the example user library",
                     kUserMohrCoulomb}},
    {"usermod.dll", {22, "usermod_linear_elastic", "linear elastic of the example user library",
                     kUserElastic}},
};

// "libUserMod64.so" -> "usermod": the part of a library name that names it.
std::string LibraryStem(std::string_view name) {
  std::string s;
  for (char c : name) s += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const std::size_t slash = s.find_last_of("/\\");
  if (slash != std::string::npos) s.erase(0, slash + 1);
  const bool shared = s.ends_with(".so");
  for (std::string_view ending : {".dll", ".so"}) {
    if (s.size() > ending.size() && s.ends_with(ending)) s.erase(s.size() - ending.size());
  }
  if (s.ends_with("64")) s.erase(s.size() - 2);
  if (shared && s.starts_with("lib")) s.erase(0, 3);
  return s;
}

constexpr Parameter kSetParameters[] = {kN0, kE0};

}  // namespace

std::span<const Parameter> SetParameters() { return kSetParameters; }

std::span<const UserModel> UserModels() { return kUserModels; }

const Model* FindUserModel(std::string_view library, int number) {
  // What the library says of itself comes first; the table below names the
  // example library's parameters where its file is not at hand.
  if (const udsm::DescribedModel* d = udsm::DescribeLibraryModel(library, number - 20)) {
    return &d->model;
  }
  const std::string stem = LibraryStem(library);
  for (const UserModel& u : kUserModels) {
    if (u.model.number == number && LibraryStem(u.library) == stem) return &u.model;
  }
  return nullptr;
}

std::span<const Model> Models() { return kModels; }

const Model* FindModel(int number) {
  for (const Model& m : kModels) {
    if (m.number == number) return &m;
  }
  return nullptr;
}

const Model* FindModel(std::string_view name) {
  for (const Model& m : kModels) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

const Parameter* FindParameter(const Model& model, std::string_view name) {
  for (const Parameter& p : model.parameters) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

const Parameter* FindParameterForSlot(const Model& model, int slot) {
  const Parameter* converted = nullptr;
  for (const Parameter& p : model.parameters) {
    if (p.slot != slot) continue;
    if (p.stored == Stored::kAsGiven) return &p;
    if (converted == nullptr) converted = &p;
  }
  return converted;
}

double ToStored(const Parameter& p, double given, double partnerValue) {
  switch (p.stored) {
    case Stored::kAsGiven: return given;
    case Stored::kSine: return SineOfDegrees(given);
    case Stored::kShearFromYoung: return given / (2.0 * (1.0 + partnerValue));
    case Stored::kPorosityFromVoidRatio: return given / (1.0 + given);
  }
  return given;
}

double FromStored(const Parameter& p, double stored, double partnerValue) {
  switch (p.stored) {
    case Stored::kAsGiven: return stored;
    case Stored::kSine: return std::asin(stored) * 180.0 / std::numbers::pi;
    case Stored::kShearFromYoung: return stored * 2.0 * (1.0 + partnerValue);
    case Stored::kPorosityFromVoidRatio: return stored / (1.0 - stored);
  }
  return stored;
}

std::optional<double> ExactGiven(const Parameter& p, double stored, double partnerValue) {
  if (p.stored == Stored::kAsGiven) return stored;
  const double given = FromStored(p, stored, partnerValue);
  if (!std::isfinite(given)) return std::nullopt;
  // Short decimals first, then the neighbouring doubles of the inverse.
  std::vector<double> candidates;
  for (int digits = 1; digits <= 17; ++digits) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, given);
    candidates.push_back(std::strtod(buffer, nullptr));
  }
  candidates.push_back(given);
  double up = given, down = given;
  for (int k = 0; k < 64; ++k) {
    up = std::nextafter(up, std::numeric_limits<double>::infinity());
    down = std::nextafter(down, -std::numeric_limits<double>::infinity());
    candidates.push_back(up);
    candidates.push_back(down);
  }
  auto digits = [](double v) {
    char buffer[64];
    for (int d = 1; d <= 17; ++d) {
      std::snprintf(buffer, sizeof buffer, "%.*g", d, v);
      if (std::strtod(buffer, nullptr) == v) return d;
    }
    return 17;
  };
  std::optional<double> best;
  for (double c : candidates) {
    if (ToStored(p, c, partnerValue) != stored) continue;
    if (!best || digits(c) < digits(*best) ||
        (digits(c) == digits(*best) && std::abs(c - given) < std::abs(*best - given))) {
      best = c;
    }
  }
  return best;
}

std::string StressUnitText(std::string_view force, std::string_view length) {
  struct Short {
    std::string_view force, length, text;
  };
  static constexpr Short kShort[] = {
      {"N", "m", "Pa"},     {"kN", "m", "kPa"},  {"MN", "m", "MPa"},  {"N", "mm", "MPa"},
      {"kN", "mm", "GPa"},  {"lbf", "in", "psi"}, {"kip", "in", "ksi"}, {"lbf", "ft", "psf"},
      {"kip", "ft", "ksf"}, {"N", "cm", "N/cm²"}};
  for (const Short& s : kShort) {
    if (s.force == force && s.length == length) return std::string(s.text);
  }
  return std::string(force) + "/" + std::string(length) + "²";
}

std::string UnitText(Quantity q, std::string_view force, std::string_view length,
                     std::string_view time) {
  switch (q) {
    case Quantity::kNone: return "";
    case Quantity::kStress: return StressUnitText(force, length);
    case Quantity::kStressPerLength:
      return StressUnitText(force, length) + "/" + std::string(length);
    case Quantity::kLength: return std::string(length);
    case Quantity::kTime: return std::string(time);
    case Quantity::kPerTime: return "1/" + std::string(time);
    case Quantity::kAngle: return "°";
    case Quantity::kPercent: return "%";
  }
  return "";
}

JobDefault JobDefaultOf(int model, int slot) {
  if ((model == 6 || model == 19) && slot == 22) return JobDefault::kOne;
  if ((model == 6 || model == 19) && slot == 39) return JobDefault::kK0ncFromSine;
  if (model == 5 && slot == 3) return JobDefault::kSineFromM;
  if ((model == 4 || model == 8) && slot == 3) return JobDefault::kSineFromK0nc;
  return JobDefault::kNone;
}

std::optional<SlotDisplay> DisplayOfSlot(int model, int slot, std::string_view library) {
  const bool user = model >= 21 && model <= 30;
  const Model* m = user ? FindUserModel(library, model) : FindModel(model);
  if (m == nullptr) return std::nullopt;
  const Parameter* p = FindParameterForSlot(*m, slot);
  if (p == nullptr) return std::nullopt;
  return SlotDisplay{std::string(p->symbol), std::string(p->words), p->quantity,
                     p->stored == Stored::kSine};
}

}  // namespace soilcal::models::params
