// What a user-model library says about its models (DescribeUserModel),
// turned into the entries of the parameter table that the TOML reader, the
// report, the JSON summary and the Python module read. Descriptions are read
// once per library file and model and kept for the process, like the
// libraries themselves; a library without the function describes nothing.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "models/parameter_table.hpp"

namespace soilcal::models::udsm {

struct StateVariableInfo {
  std::string name;          // "e"
  params::Quantity quantity = params::Quantity::kNone;
  std::string meaning;       // "void ratio"
};

struct DescribedModel {
  std::string library;       // as a material name gives it: "hypoplastic_sand.dll"
  std::string path;          // the file that describes it
  int iMod = 0;              // 1..10; the model number is 20 + iMod
  params::Model model;       // name, display and parameters as the library declares them
  std::vector<params::Parameter> parameters;  // model.parameters views these
  std::vector<StateVariableInfo> stateVariables;
  std::deque<std::string> texts;              // the parameters' texts
};

// Model iMod of the library a material name gives ("usermod.dll"), found in
// the folders of a user-model library relative to `programFolder` (empty:
// the program's folder). nullptr when the library is not found, cannot be
// loaded, has no DescribeUserModel or does not describe iMod (a description
// that breaks the rules of soilcal/user_model.h counts as none; see
// DescriptionProblem).
const DescribedModel* DescribeLibraryModel(std::string_view library, int iMod,
                                           const std::string& programFolder = "");

// The model a library declares under `name`, looked for in every library of
// the user-model folders whose file name ends in "64" (libX64.so, X64.so),
// in the order the program searches the folders (../udsm/, its own, ../lib/,
// udsm/); the first one wins. nullptr when no library declares it.
const DescribedModel* FindDescribedModel(std::string_view name,
                                         const std::string& programFolder = "");

// Every model the libraries of those folders declare, in search order.
std::vector<const DescribedModel*> DescribedModels(const std::string& programFolder = "");

// Why the description of model iMod in the library file `path` was refused
// ("" when it was taken or never read).
std::string DescriptionProblem(const std::string& path, int iMod);

// The refused descriptions among the libraries of the user-model folders,
// one sentence each: "libX64.so, model 1: \"E\" is declared twice".
std::vector<std::string> RefusedDescriptions(const std::string& programFolder = "");

// "libhypoplastic_sand64.so" -> "hypoplastic_sand.dll": the material name
// that finds a library file; "" for a file that no material name finds
// (its stem does not end in "64").
std::string LibraryNameOfFile(std::string_view fileName);

}  // namespace soilcal::models::udsm
