// Loading the program's libraries by their Windows names on Linux.
#include "services/library.hpp"

#include <dlfcn.h>

#include <utility>

#include "services/diag.hpp"
#include "services/paths.hpp"

namespace soilcal::services {
namespace {

constexpr int kNameVariants = 3;

// The name without a ".dll" extension (any case).
std::string Stem(const std::string& name) {
  const std::string upper = ToUpperCase(name);
  if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DLL") == 0) {
    return name.substr(0, name.size() - 4);
  }
  return name;
}

std::string LastDlError() {
  const char* text = ::dlerror();
  return text ? std::string(text) : std::string("unknown dlopen error");
}

}  // namespace

std::string LibraryCandidates(const std::string& dllName, int which) {
  const std::string stem = Stem(dllName);
  switch (which) {
    case 0: return stem + ".dll";
    case 1: return "lib" + stem + ".so";
    case 2: return stem + ".so";
    default: return {};
  }
}

SharedLibrary::~SharedLibrary() {
  if (handle_) ::dlclose(handle_);
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      error_(std::move(other.error_)),
      path_(std::move(other.path_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_) ::dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool SharedLibrary::LoadByName(const std::string& dllName) {
  const std::string bare = BareName(dllName);
  // Beside the program first: an explicit path is never searched elsewhere.
  if (LoadPath(ProgramFolder() + bare)) return true;
  std::string errors = error_;
  // Then ../lib, where an installed program keeps its libraries.
  if (LoadPath(ProgramFolder() + "../lib/" + bare)) return true;
  errors += "; " + error_;
  // Then the normal search path of the dynamic loader.
  for (int k = 0; k < kNameVariants; ++k) {
    const std::string candidate = LibraryCandidates(bare, k);
    if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      handle_ = h;
      path_ = candidate;
      error_.clear();
      return true;
    }
    errors += "; " + LastDlError();
  }
  error_ = errors;
  return false;
}

bool SharedLibrary::LoadPath(const std::string& path) {
  if (handle_) {
    ::dlclose(handle_);
    handle_ = nullptr;
  }
  const std::string folder = FolderOf(path);
  const std::string bare = BareName(path);
  std::string errors;
  // The exact name first, then its .so variants in the same folder.
  for (int k = -1; k < kNameVariants; ++k) {
    std::string candidate = ResolvePath(k < 0 ? path : folder + LibraryCandidates(bare, k));
    // A name without a folder would send dlopen to the search path.
    if (FolderLength(candidate) == 0) candidate = "./" + candidate;
    if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      handle_ = h;
      path_ = candidate;
      error_.clear();
      if (Diag().on()) Diag().Line("Loaded library " + candidate);
      return true;
    }
    if (!errors.empty()) errors += "; ";
    errors += LastDlError();
  }
  error_ = errors;
  return false;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  ::dlerror();
  return ::dlsym(handle_, name);
}

}  // namespace soilcal::services
