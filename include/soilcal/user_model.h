/*
 * soilcal/user_model.h -- the calling contract of user-defined soil models.
 *
 * A user-defined soil model is a shared library that soilcal loads when a
 * material set has a model number from 21 to 30. The model number minus 20
 * is the model index iMod (1 to 10), so one library can hold up to ten
 * models. The library is named in the material name of the laboratory-test
 * file, for example "usermod.dll".
 *
 * Finding the library. The name gets "64" before its last ".dll" (any letter
 * case) unless it already contains "64.dll": "usermod.dll" becomes
 * "usermod64.dll", "UserMod.DLL" becomes "UserMod64.DLL". The program then
 * looks, relative to the folder of the soilcal program, in
 *     ../udsm/<name>,   then   <name>,   then   udsm/<name>
 * and takes the first folder that holds the library. On Linux a name
 * "X.dll" is found as the file X.dll, libX.so or X.so, and every folder and
 * file name is matched without regard to letter case when the exact name
 * does not exist. So a library built as libusermod64.so and placed beside
 * the program (or in ../udsm/) serves the material name "usermod.dll".
 *
 * A library may also describe its models (DescribeUserModel, below); a
 * TOML job then finds it by the model name it declares, for example
 * [model] name = "hypoplastic_sand", among the libraries in those folders
 * whose file name ends in "64" (libX64.so, X64.so, X64.dll).
 *
 * Entry point. The program looks up User_Mod, then USER_MOD, then user_mod.
 * Fortran authors export one of these names with
 *     BIND(C, NAME='User_Mod')
 * and receive every argument by reference. A library that exports none of
 * the three names is served through the bridge library "UqUsrMod.DLL"
 * (libUqUsrMod.so), which calls the library's UserModelEntry instead (see
 * the bridge section at the end).
 *
 * Rules for every function a library exports:
 *   - C calling convention, every argument passed by reference (pointer),
 *     except the hidden text length of getdllextrainfo;
 *   - no C++ exception may leave the function: catch everything inside and
 *     report failures through iAbort;
 *   - do not keep per-point data in static variables: all state of a stress
 *     point belongs in StVar. Calls may come from several threads at once
 *     when the program runs evaluations in parallel; the program serialises
 *     the calls into one library unless the toggle file
 *     "USE_PARALLEL_UDSM_STRESS_INTEGRATION" is present.
 *
 * Conventions: stress and strain vectors have six components in the order
 * xx, yy, zz, xy, yz, zx; tension is positive, compression negative; shear
 * strains are engineering strains (gamma = 2 eps). Indices below are C
 * (0-based) indices of the arrays.
 */
#ifndef SOILCAL_USER_MODEL_H
#define SOILCAL_USER_MODEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define SOILCAL_UDSM_EXPORT __declspec(dllexport)
#else
#define SOILCAL_UDSM_EXPORT __attribute__((visibility("default")))
#endif

/* Task numbers (argument IDTask). The program calls them in this order:
 * 4 and 5 once when it links the material set before a test, 1 once per
 * stress point at the start of the test, then for every load step 3 (the
 * stiffness of the step), 2 once per equilibrium iteration (the stresses)
 * and 6 after the step has been accepted. */
enum {
  SOILCAL_UDSM_INITIALISE = 1,       /* initial state variables (and stresses) */
  SOILCAL_UDSM_STRESS = 2,           /* stresses at the end of the step */
  SOILCAL_UDSM_STIFFNESS = 3,        /* stiffness matrix D for the step */
  SOILCAL_UDSM_STATE_COUNT = 4,      /* number of state variables nStat */
  SOILCAL_UDSM_ATTRIBUTES = 5,       /* matrix attributes */
  SOILCAL_UDSM_STIFFNESS_AFTER = 6   /* stiffness after an accepted step */
};

/* Array lengths of the call. */
#define SOILCAL_UDSM_NPROPS 50  /* Props */
#define SOILCAL_UDSM_NSIG0 20   /* Sig0 */
#define SOILCAL_UDSM_NDEPS 12   /* dEps */
#define SOILCAL_UDSM_NSIG 6     /* Sig */

/* The 31 arguments of a user-model call, in this order.
 *
 *  1 IDTask   in   task number (see above).
 *  2 iMod     in   model index 1..10 (model number minus 20).
 *  3 IsUndr   in   1 for an undrained set (drainage type 2), else 0.
 *  4 iStep    in   load-step number of the test (0 outside a step).
 *  5 iTer     in   equilibrium iteration number of the step.
 *  6 iEl      in   element number (1 in a laboratory test).
 *  7 Int      in   stress-point number within the element (1).
 *  8 X        in   x coordinate of the stress point (0 in a laboratory test).
 *  9 Y        in   y coordinate (vertical).
 * 10 Z        in   z coordinate.
 * 11 Time0    in   time at the start of the step.
 * 12 dTime    in   time increment of the step for tasks 2, 3 and 6, else 0.
 * 13 Props    in   50 model parameters: Props[i-1] is user parameter i, held in
 *                  material-parameter slot 30 + i (slots 31 to 80). These are
 *                  the values a calibration optimises: free parameter index
 *                  30 + i in the optimisation input file.
 * 14 Sig0     in   20 values: [0..5] effective stresses at the start of the
 *                  step; [9] and [10] degree of saturation at the end and at
 *                  the start of the step (1.0); [11] and [12] suction at the
 *                  end and at the start (0). Others are 0. For task 1 the
 *                  library may overwrite [0..5] with the initial stresses.
 * 15 Swp0     in   pore-water pressure at the start of the step.
 * 16 StVar0   in   nStat state variables at the start of the step. For task 1
 *                  the library writes the initial values here.
 * 17 dEps     in   12 values: [0..5] the strain increment of the step.
 * 18 D        in/out  6x6 stiffness matrix, column-major: D[i + 6*j] is the
 *                  change of stress component i per unit strain component j.
 *                  Out for tasks 3 and 6 (zero on entry). In for task 2: the
 *                  last matrix the library returned for task 3 or 6.
 * 19 BulkW    in/out  bulk stiffness of the pore water. For tasks 3 and 6 it
 *                  is 0 on entry; a library may return the value it wants for
 *                  an undrained set. Left at 0 for an undrained set, the
 *                  program takes 100 times the mean of the nine normal-normal
 *                  entries D(i,j), i,j = 0..2.
 * 20 Sig      out  6 effective stresses at the end of the step (task 2).
 * 21 Swp      in/out  pore-water pressure at the end of the step.
 * 22 StVar    out  nStat state variables at the end of the step; the program
 *                  fills it with StVar0 before a task-2 call.
 * 23 ipl      out  plasticity indicator: 0 elastic, any other value plastic
 *                  (the program counts the point as plastic).
 * 24 nStat    in/out  number of state variables; out for task 4 (0 to 991).
 * 25 NonSym   out  task 5: 1 when D is not symmetric.
 * 26 iStrsDep out  task 5: 1 when D depends on the stress state.
 * 27 iTimeDep out  task 5: 1 when D depends on time.
 * 28 iTang    out  task 5: 1 when D is a tangent matrix.
 * 29 iReserved1, 30 iReserved2   in   always 0.
 * 31 iAbort   out  0 on success; any other value asks the program to stop
 *                  the calculation ("Abort request from USER-subroutine !").
 *
 * A task-2 answer that holds NaN among the six stresses stops the
 * calculation as well ("Abort request from MODUSR3D-subroutine !").
 */
#define SOILCAL_UDSM_ARGUMENTS                                                              \
  int32_t *IDTask, int32_t *iMod, int32_t *IsUndr, int32_t *iStep, int32_t *iTer,          \
      int32_t *iEl, int32_t *Int, double *X, double *Y, double *Z, double *Time0,          \
      double *dTime, double *Props, double *Sig0, double *Swp0, double *StVar0,            \
      double *dEps, double *D, double *BulkW, double *Sig, double *Swp, double *StVar,     \
      int32_t *ipl, int32_t *nStat, int32_t *NonSym, int32_t *iStrsDep, int32_t *iTimeDep, \
      int32_t *iTang, int32_t *iReserved1, int32_t *iReserved2, int32_t *iAbort

/* Type of the user-model entry point. A library defines it as
 *     SOILCAL_UDSM_EXPORT void User_Mod(SOILCAL_UDSM_ARGUMENTS) { ... }
 * (or under one of the other two names). */
typedef void SoilcalUserModFunc(SOILCAL_UDSM_ARGUMENTS);

SOILCAL_UDSM_EXPORT SoilcalUserModFunc User_Mod;

/* Optional: usage code of state variable iVar (1..nStat) of model iMod,
 * written to *usage. The program asks once per variable at the start of a
 * test and keeps the codes with the point; their meaning is the library's. */
typedef void SoilcalStateVarUsageFunc(int32_t *iMod, int32_t *iVar, int32_t *usage);
SOILCAL_UDSM_EXPORT SoilcalStateVarUsageFunc GETSTATEVARUSAGE;

/* Optional: information the library gives about model iMod when the set is
 * linked. text has textLength (255) characters, blank on entry; the program
 * keeps text[1..254] (text[0] is skipped: write a blank or a length byte
 * there) and writes it to the diagnostic file. iValues and rValues hold 10
 * values each, zero on entry. */
typedef void SoilcalGetExtraInfoFunc(int32_t *iMod, char *text, int32_t *iValues,
                                     double *rValues, size_t textLength);
SOILCAL_UDSM_EXPORT SoilcalGetExtraInfoFunc getdllextrainfo;

/* Optional: settings the program hands to the library once per link. */
typedef struct SoilcalUdsmRealInfo {
  double refPressure;  /* 100 kPa in the units of the project (100 for kN, m) */
  double reserved[15]; /* 0 */
} SoilcalUdsmRealInfo;

typedef struct SoilcalUdsmIntInfo {
  int32_t iSet;          /* material set number */
  int32_t iMod;          /* model index 1..10 */
  int32_t drainageType;  /* model code / 100 (2 = undrained) */
  int32_t modelCode;     /* full model code of the set */
  int32_t nIntPoints;    /* stress points per element (1 in a laboratory test) */
  int32_t nDim;          /* 3: every calculation is three-dimensional */
  int32_t virtualLab;    /* 1 during a laboratory-test simulation */
  int32_t reserved[9];   /* 0 */
} SoilcalUdsmIntInfo;

typedef void SoilcalSetExtraInfoFunc(SoilcalUdsmRealInfo *realInfo, SoilcalUdsmIntInfo *intInfo);
SOILCAL_UDSM_EXPORT SoilcalSetExtraInfoFunc setdllextrainfo;

/*
 * Optional: the library describes its models, so that a TOML job, the report,
 * the JSON summary and the Python module name the parameters as the library
 * does (phi_c, hs, ...) instead of by slot (slot_31, ...).
 *
 *     SOILCAL_UDSM_EXPORT const SoilcalUdsmModelInfo *
 *     DescribeUserModel(int32_t *iMod);
 *
 * returns the description of model iMod (1..10), or a null pointer when the
 * library has no such model. The program asks for iMod = 1 to 10 when it
 * looks for a model by name ([model] name = "..." in a TOML job) and for the
 * set's iMod when it shows a job's parameters. Everything the description
 * points to must stay valid and unchanged while the library is loaded (the
 * program never unloads it): static constant tables are the natural choice.
 * The function may be called from several threads at once and must not throw.
 * A library without the function works as before; its parameters are then
 * addressed by slot (slot_31 is user parameter 1).
 */
#define SOILCAL_UDSM_DESCRIPTION_VERSION 1

/* Kind of unit of a parameter or state variable. The program turns the kind
 * into the unit text of the job (kPa for stresses in kN and m) and expects
 * the values in those units: a stress in the job's stress unit, an angle in
 * degrees (handed to the library as given, not as a sine). */
enum {
  SOILCAL_UDSM_UNIT_NONE = 0,              /* dimensionless (also strains) */
  SOILCAL_UDSM_UNIT_STRESS = 1,            /* force/length^2 of the job */
  SOILCAL_UDSM_UNIT_STRESS_PER_LENGTH = 2, /* increase of a stress with depth */
  SOILCAL_UDSM_UNIT_LENGTH = 3,
  SOILCAL_UDSM_UNIT_TIME = 4,
  SOILCAL_UDSM_UNIT_PER_TIME = 5,          /* a rate */
  SOILCAL_UDSM_UNIT_ANGLE = 6,             /* degrees */
  SOILCAL_UDSM_UNIT_PERCENT = 7
};

/* One parameter of a model. */
typedef struct SoilcalUdsmParameter {
  const char *name;    /* name in a TOML job: letters, digits and '_', starting
                          with a letter ("phi_c", "hs", "beta_r"); unique in
                          the model */
  const char *symbol;  /* symbol shown in reports, UTF-8 ("φc", "hs", "βr") */
  int32_t slot;        /* user parameter number 1..50: Props[slot-1], material
                          slot 30 + slot (what udsmparm and OPTIM.TXT call it) */
  int32_t unit;        /* SOILCAL_UDSM_UNIT_... */
  double low, high;    /* physical range in the units given; use +-HUGE_VAL
                          for an open end */
  int32_t lowOpen;     /* 1: the value must lie above low (a modulus > 0) */
  int32_t highOpen;    /* 1: the value must lie below high */
  const char *meaning; /* one line in words: "critical friction angle" */
} SoilcalUdsmParameter;

/* One state variable of a model, StVar[index] with index 0..nStat-1 in the
 * order of the array. */
typedef struct SoilcalUdsmStateVariable {
  const char *name;    /* "e", "delta_xx" */
  int32_t unit;        /* SOILCAL_UDSM_UNIT_... */
  const char *meaning; /* "void ratio" */
} SoilcalUdsmStateVariable;

/* The description of one model. */
typedef struct SoilcalUdsmModelInfo {
  int32_t version;     /* SOILCAL_UDSM_DESCRIPTION_VERSION; the program ignores
                          a description of another version */
  const char *name;    /* model name in a TOML job ([model] name = "..."):
                          letters, digits and '_'; unique among the libraries
                          the program finds */
  const char *display; /* name in words for reports ("hypoplastic sand") */
  int32_t nParameters; /* entries of parameters (at most 50) */
  const SoilcalUdsmParameter *parameters;
  int32_t nStateVariables; /* entries of stateVariables (the nStat of task 4) */
  const SoilcalUdsmStateVariable *stateVariables;
} SoilcalUdsmModelInfo;

typedef const SoilcalUdsmModelInfo *SoilcalDescribeFunc(int32_t *iMod);
SOILCAL_UDSM_EXPORT SoilcalDescribeFunc DescribeUserModel;

/*
 * Bridge library "UqUsrMod.DLL" (libUqUsrMod.so beside the program). The
 * program uses it for a library that exports none of User_Mod, USER_MOD and
 * user_mod. It first calls Set_DLL_Name with the set number and the set's
 * library name as a 256-byte record (byte 0 the length n, bytes 1..n the
 * characters), then Uq_Usr_Mod for every call: the set number, the 31
 * arguments above and a result code. The bridge shipped with soilcal loads
 * the named library (same "64" and folder rules as the program, relative to
 * the bridge's own folder) and calls its entry point UserModelEntry, which
 * has the type SoilcalUserModFunc. Result codes:
 *   0 success, 1 the library could not be loaded, 2 the entry point is
 *   missing, 3 the call failed (the library raised an exception).
 */
typedef void SoilcalSetDllNameFunc(int32_t *iSet, const char *nameRecord);
typedef void SoilcalUqUsrModFunc(int32_t *iSet, SOILCAL_UDSM_ARGUMENTS, int32_t *iResult);

SOILCAL_UDSM_EXPORT SoilcalSetDllNameFunc Set_DLL_Name;
SOILCAL_UDSM_EXPORT SoilcalUqUsrModFunc Uq_Usr_Mod;
/* Entry point of a library served through the bridge. */
SOILCAL_UDSM_EXPORT SoilcalUserModFunc UserModelEntry;

#ifdef __cplusplus
}
#endif

#endif /* SOILCAL_USER_MODEL_H */
