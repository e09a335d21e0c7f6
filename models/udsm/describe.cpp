#include "models/udsm/describe.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "models/udsm/library_cache.hpp"
#include "models/udsm/names.hpp"
#include "services/diag.hpp"
#include "services/paths.hpp"

namespace soilcal::models::udsm {
namespace {

constexpr int kMaxModels = 10;

// Read descriptions by (library file, iMod); an entry without a model holds
// the reason it was refused. Entries are never removed, so the pointers
// handed out stay valid for the process.
struct Entry {
  std::unique_ptr<DescribedModel> model;
  std::string problem;
};

struct Cache {
  std::mutex mutex;
  std::map<std::pair<std::string, int>, Entry> entries;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool IsIdentifier(const char* text) {
  if (text == nullptr || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_') return false;
  }
  return true;
}

std::string TextOr(const char* text, const char* fallback) {
  return text != nullptr ? std::string(text) : std::string(fallback);
}

// The rules of soilcal/user_model.h for a description; "" when it keeps them.
std::string CheckDescription(const SoilcalUdsmModelInfo& info) {
  if (info.version != SOILCAL_UDSM_DESCRIPTION_VERSION) {
    return "description version " + std::to_string(info.version) + " (this program reads " +
           std::to_string(SOILCAL_UDSM_DESCRIPTION_VERSION) + ")";
  }
  if (!IsIdentifier(info.name)) return "the model name is not letters, digits and '_'";
  if (info.nParameters < 0 || info.nParameters > SOILCAL_UDSM_NPROPS ||
      (info.nParameters > 0 && info.parameters == nullptr)) {
    return "it declares " + std::to_string(info.nParameters) + " parameters (0 to 50)";
  }
  std::set<std::string> names;
  for (int i = 0; i < info.nParameters; ++i) {
    const SoilcalUdsmParameter& p = info.parameters[i];
    const std::string which = "parameter " + std::to_string(i + 1);
    if (!IsIdentifier(p.name)) return which + ": the name is not letters, digits and '_'";
    if (!names.insert(p.name).second) return which + ": \"" + p.name + "\" is declared twice";
    if (p.slot < 1 || p.slot > SOILCAL_UDSM_NPROPS) {
      return which + " (\"" + p.name + "\"): slot " + std::to_string(p.slot) + " is not 1..50";
    }
    if (p.unit < SOILCAL_UDSM_UNIT_NONE || p.unit > SOILCAL_UDSM_UNIT_PERCENT) {
      return which + " (\"" + p.name + "\"): unknown unit kind " + std::to_string(p.unit);
    }
    if (std::isnan(p.low) || std::isnan(p.high) || p.low > p.high) {
      return which + " (\"" + p.name + "\"): its range is empty";
    }
  }
  if (info.nStateVariables < 0 || (info.nStateVariables > 0 && info.stateVariables == nullptr)) {
    return "it declares " + std::to_string(info.nStateVariables) + " state variables";
  }
  for (int i = 0; i < info.nStateVariables; ++i) {
    if (info.stateVariables[i].name == nullptr) {
      return "state variable " + std::to_string(i + 1) + " has no name";
    }
  }
  return "";
}

params::Quantity QuantityOf(int32_t unit) {
  switch (unit) {
    case SOILCAL_UDSM_UNIT_STRESS: return params::Quantity::kStress;
    case SOILCAL_UDSM_UNIT_STRESS_PER_LENGTH: return params::Quantity::kStressPerLength;
    case SOILCAL_UDSM_UNIT_LENGTH: return params::Quantity::kLength;
    case SOILCAL_UDSM_UNIT_TIME: return params::Quantity::kTime;
    case SOILCAL_UDSM_UNIT_PER_TIME: return params::Quantity::kPerTime;
    case SOILCAL_UDSM_UNIT_ANGLE: return params::Quantity::kAngle;
    case SOILCAL_UDSM_UNIT_PERCENT: return params::Quantity::kPercent;
    default: return params::Quantity::kNone;
  }
}

std::unique_ptr<DescribedModel> Convert(const SoilcalUdsmModelInfo& info, const std::string& path,
                                        int iMod) {
  auto m = std::make_unique<DescribedModel>();
  m->iMod = iMod;
  m->path = path;
  m->library = LibraryNameOfFile(std::filesystem::path(path).filename().string());
  auto keep = [&m](std::string text) -> std::string_view {
    return m->texts.emplace_back(std::move(text));
  };
  m->model.number = 20 + iMod;
  m->model.name = keep(info.name);
  m->model.display = keep(TextOr(info.display, info.name));
  for (int i = 0; i < info.nParameters; ++i) {
    const SoilcalUdsmParameter& p = info.parameters[i];
    params::Parameter q;
    q.name = keep(p.name);
    q.slot = 30 + p.slot;
    q.symbol = keep(TextOr(p.symbol, p.name));
    q.words = keep(TextOr(p.meaning, ""));
    q.quantity = QuantityOf(p.unit);
    q.stored = params::Stored::kAsGiven;  // a library receives its values as given
    q.range = params::Range{p.low, p.high, p.lowOpen != 0, p.highOpen != 0};
    m->parameters.push_back(q);
  }
  for (const params::Parameter& q : params::SetParameters()) {
    const bool declared = std::any_of(m->parameters.begin(), m->parameters.end(),
                                      [&](const params::Parameter& p) { return p.name == q.name; });
    if (!declared) m->parameters.push_back(q);
  }
  m->model.parameters = m->parameters;
  for (int i = 0; i < info.nStateVariables; ++i) {
    const SoilcalUdsmStateVariable& v = info.stateVariables[i];
    m->stateVariables.push_back({v.name, QuantityOf(v.unit), TextOr(v.meaning, "")});
  }
  return m;
}

// Reads (once) the description of model iMod from the library file `path`.
const DescribedModel* Describe(const std::string& path, int iMod) {
  Cache& cache = TheCache();
  {
    std::lock_guard lock(cache.mutex);
    if (auto it = cache.entries.find({path, iMod}); it != cache.entries.end()) {
      return it->second.model.get();
    }
  }
  std::string why;
  const auto library = LoadLibraryOnce(path, &why);
  Entry entry;
  if (library == nullptr) {
    entry.problem = "the library cannot be loaded: " + why;
  } else if (library->describe != nullptr) {
    std::int32_t mod = iMod;
    const SoilcalUdsmModelInfo* info = nullptr;
    try {
      info = library->describe(&mod);
    } catch (...) {
      entry.problem = "DescribeUserModel failed";
    }
    if (info != nullptr) {
      entry.problem = CheckDescription(*info);
      if (entry.problem.empty()) entry.model = Convert(*info, path, iMod);
    }
  }
  if (!entry.problem.empty() && services::Diag().on()) {
    services::Diag().Line("description of model " + std::to_string(iMod) + " in " + path +
                          " refused: " + entry.problem);
  }
  std::lock_guard lock(cache.mutex);
  auto [it, fresh] = cache.entries.emplace(std::make_pair(path, iMod), std::move(entry));
  (void)fresh;  // another thread may have read it meanwhile: both read the same
  return it->second.model.get();
}

std::string Folder(const std::string& programFolder) {
  return programFolder.empty() ? services::ProgramFolder() : programFolder;
}

// Library files of one folder that a material name can find, by name.
std::vector<std::string> LibraryFilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  const std::filesystem::path dir = services::ResolvePath(folder);
  for (const auto& item : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = item.path().filename().string();
    if (!LibraryNameOfFile(name).empty() && item.is_regular_file(ec)) {
      files.push_back(item.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Library files of the user-model folders in search order.
std::vector<std::string> LibraryFiles(const std::string& programFolder) {
  const std::string folder = Folder(programFolder);
  std::vector<std::string> files;
  for (const std::string sub : {"..\\udsm\\", "", "..\\lib\\", "udsm\\"}) {
    for (const std::string& file : LibraryFilesIn(folder + sub)) files.push_back(file);
  }
  return files;
}

}  // namespace

std::string LibraryNameOfFile(std::string_view fileName) {
  std::string stem(fileName);
  const std::string upper = services::ToUpperCase(stem);
  bool shared = false;
  if (upper.ends_with(".SO")) {
    stem.erase(stem.size() - 3);
    shared = true;
  } else if (upper.ends_with(".DLL")) {
    stem.erase(stem.size() - 4);
  } else {
    return "";
  }
  if (shared && stem.starts_with("lib")) stem.erase(0, 3);
  if (stem.size() < 3 || !stem.ends_with("64")) return "";
  return stem.substr(0, stem.size() - 2) + ".dll";
}

const DescribedModel* DescribeLibraryModel(std::string_view library, int iMod,
                                           const std::string& programFolder) {
  if (iMod < 1 || iMod > kMaxModels || library.empty()) return nullptr;
  const std::string name = Insert64(std::string(library));
  const std::string path = FindUserModelLibrary(Folder(programFolder), name);
  if (!LibraryFileExists(path)) return nullptr;
  return Describe(ResolveLibraryFile(path), iMod);
}

std::vector<const DescribedModel*> DescribedModels(const std::string& programFolder) {
  std::vector<const DescribedModel*> found;
  for (const std::string& file : LibraryFiles(programFolder)) {
    for (int iMod = 1; iMod <= kMaxModels; ++iMod) {
      const DescribedModel* m = Describe(file, iMod);
      if (m != nullptr) found.push_back(m);
    }
  }
  return found;
}

const DescribedModel* FindDescribedModel(std::string_view name, const std::string& programFolder) {
  for (const DescribedModel* m : DescribedModels(programFolder)) {
    if (m->model.name == name) return m;
  }
  return nullptr;
}

std::vector<std::string> RefusedDescriptions(const std::string& programFolder) {
  std::vector<std::string> refused;
  for (const std::string& file : LibraryFiles(programFolder)) {
    for (int iMod = 1; iMod <= kMaxModels; ++iMod) {
      if (Describe(file, iMod) != nullptr) continue;
      const std::string problem = DescriptionProblem(file, iMod);
      if (!problem.empty() && !problem.starts_with("the library cannot be loaded")) {
        refused.push_back(std::filesystem::path(file).filename().string() + ", model " +
                          std::to_string(iMod) + ": " + problem);
      }
    }
  }
  return refused;
}

std::string DescriptionProblem(const std::string& path, int iMod) {
  Cache& cache = TheCache();
  std::lock_guard lock(cache.mutex);
  const auto it = cache.entries.find({path, iMod});
  return it == cache.entries.end() ? "" : it->second.problem;
}

}  // namespace soilcal::models::udsm
